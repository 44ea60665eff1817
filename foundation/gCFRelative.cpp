#include "gCFRelative.h"

#include "AppHost.h"
#include "FileOps.h"
#include "PathSplit.h"

namespace {

gCResult ResourceFormToPath(const gCString& text, gCString& out)
{
    QV_RETURN_IF_FAILED(out.SetString(text));
    out.ReplaceChar(L':', L'\\');
    return kOk;
}

} // namespace

gCFRelative::gCFRelative() : gCFPath(gCString(), kPathKindRelative), m_baseSelector(0) {}

gCFRelative::gCFRelative(const gCString& text, int32_t baseSelector) : gCFRelative()
{
    m_baseSelector = baseSelector;
    // Short of memory the path stays unset, which is not valid.
    (void)SetPath(text);
}

gCFRelative gCFRelative::gCFRelativeFromString(const gCString& text, int32_t baseSelector)
{
    return gCFRelative(text, baseSelector);
}

void gCFRelative::Clear()
{
    gCFPath::Clear();
    m_baseSelector = 0;
}

bool gCFRelative::Exists() const
{
    return RelativeFileExists(*this);
}

gCResult gCFRelative::SetPath(const gCString& text)
{
    gCString converted;
    QV_RETURN_IF_FAILED(ResourceFormToPath(text, converted));
    return StoreText(converted);
}

gCString gCFRelative::BaseFolder() const
{
    const IAppHost* host = GetAppHost();
    if (!host)
        return gCString(L"");
    return m_baseSelector == 0 ? host->GetProgramFolder() : host->GetSecondFolder();
}

gCString gCFRelative::GetPath() const
{
    if (!IsValid())
        return gCString(L"");
    return JoinTexts(BaseFolder(), StoredText());
}

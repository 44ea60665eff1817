#include "gCBasePath.h"

#include "gCFPath.h"

gCBasePath::gCBasePath(const gCString& text, int32_t kind) : m_kind(kind)
{
    // A path made without text asks for no memory; it reads as the empty text all the same.
    if (!text.IsUnset())
        (void)m_text.SetString(text); // a constructor cannot report: a path left empty is not valid
}

bool gCBasePath::IsValid() const
{
    return !m_text.IsEmpty();
}

void gCBasePath::Clear()
{
    // Short of memory the text stays unset: still not valid.
    (void)m_text.SetText(L"");
}

bool gCBasePath::Exists() const
{
    return false;
}

gCResult gCBasePath::Create()
{
    return kNotImplemented;
}

gCResult gCBasePath::SetPath(const gCString& text)
{
    return StoreText(text);
}

gCString gCBasePath::GetPath() const
{
    return m_text;
}

gCFPath& gCBasePath::AssignFrom(gCFPath& target, const gCFPath& source)
{
    gCBasePath& base = target;
    base.m_kind = source.GetKind();
    // A copy short of memory must not keep the previous path: it is left unset, so not valid.
    if (base.StoreText(source.GetPath()) != kOk)
        base.m_text.Clear();
    target.SetTypeCode(source.GetTypeCode());
    target.SetCreatorCode(source.GetCreatorCode());
    return target;
}

gCResult gCBasePath::SetPathFromString(gCBasePath& path, const gCString& text)
{
    return path.SetPath(text);
}

gCString gCBasePath::CopyText(const gCBasePath& path)
{
    return path.m_text;
}

gCString gCBasePath::GetName(const gCFPath& path)
{
    return path.GetName();
}

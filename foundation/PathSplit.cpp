#include "PathSplit.h"

#include <initializer_list>
#include <utility>

namespace {

gCResult SetPart(gCString* out, const gCString& text, int32_t start, int32_t end)
{
    if (!out)
        return kOk;
    return out->SetTextN(text.Text() + start, end - start);
}

} // namespace

gCResult SplitPath(const gCString& text, gCString* drive, gCString* folder, gCString* name, gCString* extension)
{
    if (text.IsEmpty())
        return kBadParameter;
    for (gCString* out : {drive, folder, name, extension})
        if (out)
            QV_RETURN_IF_FAILED(out->SetText(L""));

    const int32_t length = text.Length();
    const int32_t driveEnd = length >= 2 && text[1] == L':' ? 2 : 0;
    int32_t folderEnd = driveEnd;
    for (int32_t i = driveEnd; i < length; ++i)
        if (IsPathSeparator(text[i]))
            folderEnd = i + 1;
    int32_t nameEnd = length;
    for (int32_t i = folderEnd; i < length; ++i)
        if (text[i] == L'.')
            nameEnd = i;

    QV_RETURN_IF_FAILED(SetPart(drive, text, 0, driveEnd));
    QV_RETURN_IF_FAILED(SetPart(folder, text, driveEnd, folderEnd));
    QV_RETURN_IF_FAILED(SetPart(name, text, folderEnd, nameEnd));
    return SetPart(extension, text, nameEnd, length);
}

gCResult JoinPath(const gCString& drive, const gCString& folder, const gCString& name, const gCString& extension,
                  gCString& out)
{
    const int64_t parts = static_cast<int64_t>(drive.Length()) + folder.Length() + name.Length() + extension.Length();
    if (parts >= kMakePathLimit)
        return kBadParameter;
    // The ':', separator and dot added below need room too; reserve it all so no append fails.
    gCString result;
    QV_RETURN_IF_FAILED(result.Reserve(static_cast<int32_t>(parts) + 3));
    QV_RETURN_IF_FAILED(result.SetText(L""));
    if (!drive.IsEmpty()) {
        QV_RETURN_IF_FAILED(result.AppendChar(drive[0]));
        QV_RETURN_IF_FAILED(result.AppendChar(L':'));
    }
    QV_RETURN_IF_FAILED(result.Append(folder));
    if (!folder.IsEmpty() && !IsPathSeparator(folder[folder.Length() - 1]))
        QV_RETURN_IF_FAILED(result.AppendChar(L'\\'));
    QV_RETURN_IF_FAILED(result.Append(name));
    if (!extension.IsEmpty() && extension[0] != L'.')
        QV_RETURN_IF_FAILED(result.AppendChar(L'.'));
    QV_RETURN_IF_FAILED(result.Append(extension));
    out = std::move(result);
    return kOk;
}

gCString MakePath(const gCString& drive, const gCString& folder, const gCString& name, const gCString& extension)
{
    gCString result;
    if (JoinPath(drive, folder, name, extension, result) != kOk)
        result.Clear();
    return result;
}

gCString JoinTexts(const gCString& a, const gCString& b)
{
    gCString result;
    if (result.Reserve(a.Length() + b.Length()) != kOk || result.SetString(a) != kOk || result.Append(b) != kOk)
        result.Clear();
    return result;
}

gCResult JoinFolderAndName(const gCString& folder, const gCString& name, gCString& out)
{
    if (folder.IsUnset() || name.IsUnset())
        return kOutOfMemory;
    if (folder.IsEmpty())
        return kBadParameter;
    gCString joined = JoinTexts(folder, name);
    if (joined.IsUnset())
        return kOutOfMemory;
    out = std::move(joined);
    return kOk;
}

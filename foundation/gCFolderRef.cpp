#include "gCFolderRef.h"

#include <direct.h>

#include <initializer_list>

#include "FileOps.h"
#include "PathSplit.h"
#include "gCArray.h"
#include "gCFPath.h"

namespace {

constexpr gCResult kNoParent = 2;
// No folder text longer than this can name a folder.
constexpr int32_t kLongestSystemPath = 32767;

} // namespace

gCResult SplitFolderPath(const gCString& text, gCString* drive, gCString* folder)
{
    if (text.IsEmpty())
        return kBadParameter;
    gCString rest;
    const bool trailing = IsPathSeparator(text[text.Length() - 1]);
    QV_RETURN_IF_FAILED(rest.SetTextN(text.Text(), text.Length() - (trailing ? 1 : 0)));
    if (rest.IsEmpty()) {
        for (gCString* out : {drive, folder})
            if (out)
                QV_RETURN_IF_FAILED(out->SetText(L""));
        return kOk;
    }
    return SplitPath(rest, drive, folder, nullptr, nullptr);
}

gCFolderRef::gCFolderRef() : gCBasePath(gCString(), kPathKindFolder) {}

bool gCFolderRef::Exists() const
{
    // The stored text is the full one: tested without a copy.
    return FolderTextExists(GetStoredText());
}

gCResult gCFolderRef::SetPath(const gCString& text)
{
    gCString stored;
    QV_RETURN_IF_FAILED(stored.SetString(text));
    if (stored.IsEmpty() || !IsPathSeparator(stored[stored.Length() - 1]))
        QV_RETURN_IF_FAILED(stored.AppendChar(L'\\'));
    return StoreText(stored);
}

gCResult gCFolderRef::GetParent(gCFolderRef& out) const
{
    gCString drive, folder;
    const gCResult split = SplitFolderPath(GetPath(), &drive, &folder);
    if (split == kOutOfMemory)
        return split;
    if (split != kOk || (drive.IsEmpty() && folder.IsEmpty()))
        return kNoParent;
    gCString parent = JoinTexts(drive, folder);
    if (parent.IsEmpty())
        return kOutOfMemory;
    return out.SetPath(parent);
}

gCResult gCFolderRef::SetToFolderOf(const gCFPath& file)
{
    return SetPath(file.GetFolder());
}

gCResult gCFolderRef::BuildFilePath(const gCString& fileName, gCFPath& out) const
{
    gCString full = JoinTexts(GetPath(), fileName);
    if (full.IsUnset())
        return kOutOfMemory;
    return out.SetFilePath(full);
}

gCResult gCFolderRef::Create()
{
    if (Exists())
        return kOk;
    const gCString own = GetPath();
    // A text cut short by an embedded 0 would make another folder.
    if (own.Length() > kLongestSystemPath || !IsWholePathText(own))
        return kCreateFailure;
    // Walked without recursion, as a hostile text can hold thousands of levels. Every missing
    // folder on the way is this text or a parent with a folder part, so a prefix of this
    // text: its length is all that needs keeping.
    gCArray<int32_t> missing;
    gCFolderRef current(*this);
    for (;;) {
        gCFolderRef parent;
        gCResult result = current.GetParent(parent);
        // The root of a missing drive is its own parent: nothing further up can be made.
        if (result == kOk && parent.GetPath().Length() >= current.GetPath().Length())
            result = kCreateFailure;
        if (result != kOk) {
            if (missing.Count() == 0)
                return result;
            break;
        }
        QV_RETURN_IF_FAILED(missing.Add(current.GetPath().Length()));
        if (parent.Exists())
            break;
        current = parent;
    }
    // Outermost first; only the result of this folder itself counts.
    gCResult result = 0;
    for (int32_t i = missing.Count() - 1; i >= 0; --i) {
        gCString level = own.Left(missing[i]);
        result = level.Length() == missing[i] && _wmkdir(level.Text()) == 0 ? 0 : kCreateFailure;
    }
    return result;
}

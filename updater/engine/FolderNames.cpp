#include "FolderNames.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "ArchiveNames.h"
#include "PathSplit.h"
#include "WinHandle.h"

namespace {

// Appends the folder's text and a name, failing rather than keeping a text lost to memory.
gCResult AddPath(gCStringArray& texts, const gCString& folder, const wchar_t* name)
{
    gCString path;
    QV_RETURN_IF_FAILED(JoinFolderAndName(folder, gCString(name), path));
    return texts.AddWhole(std::move(path));
}

} // namespace

gCResult CFolderNames::SurelyAbsent(const gCString& path, bool& absent)
{
    absent = false;
    if (path.IsUnset())
        return kOk;
    const int32_t length = path.Length();
    int32_t folderEnd = length;
    while (folderEnd > 0 && !IsPathSeparator(path[folderEnd - 1]))
        --folderEnd;
    // A short name that the system made of a long one is found by a look, not in a listing.
    if (folderEnd == 0 || folderEnd == length || wcschr(path.Text() + folderEnd, L'~'))
        return kOk;
    bool read = IsRead(path.Text(), folderEnd);
    if (!read)
        QV_RETURN_IF_FAILED(Read(path.Text(), folderEnd, read));
    absent = read && !Holds(path.Text(), length);
    return kOk;
}

void CFolderNames::Forget()
{
    m_folders.Release();
    m_paths.Release();
    m_order.Free();
}

bool CFolderNames::IsRead(const wchar_t* folder, int32_t length) const
{
    for (int32_t k = 0; k < m_folders.Count(); ++k)
        if (SameArchiveName(m_folders[k].Text(), m_folders[k].Length(), folder, length))
            return true;
    return false;
}

gCResult CFolderNames::Read(const wchar_t* folder, int32_t length, bool& read)
{
    read = false;
    const int32_t before = m_paths.Count();
    gCString folderText;
    QV_RETURN_IF_FAILED(folderText.SetTextN(folder, length));
    gCString pattern;
    QV_RETURN_IF_FAILED(JoinFolderAndName(folderText, gCString(L"*"), pattern));
    WIN32_FIND_DATAW data;
    CFindHandle find(FindFirstFileW(pattern.Text(), &data));
    if (find.IsValid()) {
        do {
            const gCResult added = AddPath(m_paths, folderText, data.cFileName);
            if (added != kOk) {
                Forget(); // a folder read in part would answer for names it did not see
                return added;
            }
        } while (FindNextFileW(find.Get(), &data));
        if (GetLastError() != ERROR_NO_MORE_FILES) {
            Forget();
            return kOk;
        }
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND) {
        return kOk; // a folder that is not there holds nothing; any other refusal tells nothing
    }
    gCResult kept = m_folders.AddWhole(std::move(folderText));
    if (kept == kOk)
        kept = OrderAdded(before);
    if (kept != kOk) {
        Forget();
        return kept;
    }
    read = true;
    return kOk;
}

// The names of the folders read before are in order already: only the names added since are
// sorted, then merged in. The merge has a block of its own, so that no hidden allocation can
// fail unnoticed.
gCResult CFolderNames::OrderAdded(int32_t before)
{
    const int32_t count = m_paths.Count();
    CMemBlockT<int32_t> merged;
    QV_RETURN_IF_FAILED(m_order.Resize(count + 1));
    QV_RETURN_IF_FAILED(merged.Resize(count + 1));
    int32_t* const first = m_order.Data();
    for (int32_t k = before; k < count; ++k)
        first[k] = k;
    const auto isBefore = [this](int32_t a, int32_t b) {
        return ArchiveNameBefore(m_paths[a].Text(), m_paths[a].Length(), m_paths[b].Text(), m_paths[b].Length());
    };
    std::sort(first + before, first + count, isBefore);
    std::merge(first, first + before, first + before, first + count, merged.Data(), isBefore);
    m_order.Swap(merged);
    return kOk;
}

bool CFolderNames::Holds(const wchar_t* path, int32_t length) const
{
    const int32_t* const first = m_order.Data();
    const int32_t* const last = first + m_paths.Count();
    const int32_t* found = std::lower_bound(first, last, 0, [&](int32_t at, int) {
        return ArchiveNameBefore(m_paths[at].Text(), m_paths[at].Length(), path, length);
    });
    return found != last && SameArchiveName(m_paths[*found].Text(), m_paths[*found].Length(), path, length);
}

#include "FileIndexes.h"

#include <windows.h>

#include <cstddef>
#include <utility>

#include "ArchiveNames.h"
#include "CMemBlockT.h"
#include "PathSplit.h"
#include "WinHandle.h"

namespace {
const DWORD kListingBlock = 64 * 1024;
} // namespace

gCResult CFileIndexes::Find(const gCString& path, uint64_t& index, uint64_t& size, bool& found)
{
    found = false;
    int32_t cut = path.Length();
    while (cut > 0 && !IsPathSeparator(path[cut - 1]))
        --cut;
    if (cut == 0 || cut == path.Length())
        return kOk;
    int32_t folder = -1;
    for (int32_t k = 0; k < m_folders.Count() && folder < 0; ++k)
        if (SameArchiveName(m_folders[k].Text(), m_folders[k].Length(), path.Text(), cut))
            folder = k;
    if (folder < 0) {
        folder = m_folders.Count();
        QV_RETURN_IF_FAILED(Read(path.Text(), cut));
    }
    const wchar_t* name = path.Text() + cut;
    const int32_t length = path.Length() - cut;
    for (int32_t e = 0; e < m_entries.Count(); ++e) {
        const Entry& entry = m_entries[e];
        if (entry.folder == folder &&
            SameArchiveName(m_names.Text() + entry.nameStart, entry.nameLength, name, length)) {
            index = entry.index;
            size = entry.size;
            found = true;
            return kOk;
        }
    }
    return kOk;
}

gCResult CFileIndexes::Read(const wchar_t* folder, int32_t length)
{
    gCString text;
    QV_RETURN_IF_FAILED(text.SetTextN(folder, length));
    const int32_t id = m_folders.Count();
    QV_RETURN_IF_FAILED(m_folders.AddWhole(std::move(text)));
    CFileHandle handle(CreateFileW(m_folders[id].Text(), FILE_LIST_DIRECTORY,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.IsValid())
        return kOk; // an unreadable folder holds no name that can be found
    CMemBlockT<char> block;
    QV_RETURN_IF_FAILED(block.Resize(static_cast<int32_t>(kListingBlock)));
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
         GetFileInformationByHandleEx(handle.Get(), kind, block.Data(), kListingBlock);
         kind = FileIdBothDirectoryInfo) {
        for (DWORD at = 0;;) {
            const FILE_ID_BOTH_DIR_INFO* item = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(block.Data() + at);
            if (!(item->FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                const Entry entry = {id, m_names.Length(), static_cast<int32_t>(item->FileNameLength / 2),
                                     static_cast<uint64_t>(item->FileId.QuadPart),
                                     static_cast<uint64_t>(item->EndOfFile.QuadPart)};
                gCString name;
                QV_RETURN_IF_FAILED(name.SetTextN(item->FileName, entry.nameLength));
                QV_RETURN_IF_FAILED(m_names.Append(name));
                QV_RETURN_IF_FAILED(m_entries.Add(entry));
            }
            if (item->NextEntryOffset == 0)
                break;
            at += item->NextEntryOffset;
        }
    }
    return kOk;
}

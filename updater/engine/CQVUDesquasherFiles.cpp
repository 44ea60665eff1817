// The installer's file steps: the write-access check, writing the new files, keeping the old
// ones, moving the new ones in, deleting the old ones, and putting everything back.
#include <io.h>
#include <sys/stat.h>

#include "AppHost.h"
#include "ArchiveFormat.h"
#include "CQVUDesquasher.h"
#include "FileDialogs.h"
#include "CSpanReader.h"
#include "CheckEffectiveRights.h"
#include "FileOperationHook.h"
#include "FileOps.h"
#include "MessageBoxHook.h"
#include "gCFile.h"

using namespace QVUArchive;

namespace {

const int kWriteAccess = 2;

gCString Joined(const gCString& a, const gCString& b)
{
    return gCString::Concat(a, b);
}

gCString Joined(const gCString& a, const wchar_t* b)
{
    return gCString::Concat(a, gCString(b));
}

// Deletes a file; 16 when it is still there afterwards.
gCResult DeleteAndCheck(const gCFRef& file, FileOperation operation)
{
    QV_RETURN_IF_FAILED(DeletePath(file));
    NoteFileOperation(operation, file.GetPathString());
    return file.Exists() ? kStreamFailure : kOk;
}

gCResult Move(const gCFRef& from, const gCFRef& to, FileOperation operation)
{
    QV_RETURN_IF_FAILED(MovePathFile(from.GetPathString(), to.GetPathString()));
    NoteFileOperation(operation, to.GetPathString());
    return kOk;
}

bool IsFolder(const gCString& path)
{
    const DWORD attributes = GetFileAttributesW(path.Text());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

void CQVUDesquasher::TickEntry(int32_t i)
{
    // Progress and the window's tick are best effort, like a status line.
    (void)m_host.SetProgress(static_cast<float>(i + 1) / static_cast<float>(m_targetPaths.Count()), 1);
    (void)m_host.TickNow();
}

// A left-over ".old" beside a missing target is the only copy of the original (an earlier run
// stopped between keeping it and moving the new file in): it goes back, it is not deleted.
// A folder of such a name is the user's, not ours: it is neither restored nor removed.
gCResult CQVUDesquasher::RemoveStaleFiles(int32_t i)
{
    const gCFRef& target = m_targetPaths[i];
    const gCFRef& old = m_oldPaths[i];
    const gCFRef& temp = m_tempPaths[i];
    if (IsFolder(old.GetPathString()) || IsFolder(temp.GetPathString()))
        return kStreamFailure;
    if (old.Exists()) {
        if (!target.Exists()) {
            QV_RETURN_IF_FAILED(Move(old, target, FileOperation::RestoreStale));
            LogLine(Joined(gCString(L"Restored from its .old file: "), target.GetPathString()));
        } else {
            QV_RETURN_IF_FAILED(DeleteAndCheck(old, FileOperation::RemoveStale));
        }
    }
    if (temp.Exists())
        QV_RETURN_IF_FAILED(DeleteAndCheck(temp, FileOperation::RemoveStale));
    return kOk;
}

gCResult CQVUDesquasher::CheckWriteAccess()
{
    PostLine(Text(27), kLineBlack);
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        const gCFRef& target = m_targetPaths[i];
        LogLine(Joined(Text(28), target.GetFileName()));
        QV_RETURN_IF_FAILED(RemoveStaleFiles(i));
        if (!target.Exists())
            continue;
        m_entryFlags[i] = kTargetExisted;

        const gCString path = target.GetPathString();
        // A folder would be moved aside whole, with every file below it.
        if (IsFolder(path)) {
            PostLine(Joined(Text(40), path), kLineRed);
            return kGenericFailure;
        }
        if (_waccess(path.Text(), kWriteAccess) != 0) {
            int changed = _wchmod(path.Text(), _S_IREAD | _S_IWRITE);
            m_entryFlags[i] |= kMadeWritable;
            NoteFileOperation(FileOperation::MakeWritable, path);
            if (changed != 0 || _waccess(path.Text(), kWriteAccess) != 0) {
                PostLine(Joined(Text(40), path), kLineRed);
                return kGenericFailure;
            }
        }
        if (CheckEffectiveRights(target, *this) != 0 && CheckEffectiveRights(target, *this) != 0) {
            gCString line = Joined(Text(57), L" ");
            // Short of memory the line is shorter.
            (void)line.Append(path);
            PostLine(line, kLineRed);
            IAppHost* app = GetAppHost();
            ShowMessageBox(app ? app->GetMainWindowHandle() : nullptr, line.Text(), Text(72).Text(), MB_OK);
            return kGenericFailure;
        }
    }
    return kOk;
}

gCResult CQVUDesquasher::WriteNewFiles()
{
    PostLine(Text(26), kLineBlack);
    uint64_t position = static_cast<uint64_t>(m_headerSize) + kRecordsGap;
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        TickEntry(i);
        QV_RETURN_IF_FAILED(WriteRecord(i, position));
        position += m_sizes[i] + kRecordOverhead;
    }
    return kOk;
}

gCResult CQVUDesquasher::WriteRecord(int32_t i, uint64_t position)
{
    const uint64_t total = static_cast<uint64_t>(m_unpacked.Count());
    const uint64_t start = position < total ? position : total;
    const uint64_t end = start + m_sizes[i] + kRecordOverhead;
    CSpanReader reader(reinterpret_cast<const uint8_t*>(m_unpacked.Data()) + start,
                       (end < total ? end : total) - start);

    uint32_t index = 0;
    uint64_t size = 0;
    uint32_t unused32 = 0;
    uint16_t unused16 = 0;
    QV_RETURN_IF_FAILED(reader.ReadTags(kEntryTag1, kEntryTag2));
    QV_RETURN_IF_FAILED(reader.ReadU32(index));
    if (index != static_cast<uint32_t>(i))
        return kStreamFailure;
    QV_RETURN_IF_FAILED(reader.ReadTags(kEntryTag1, kEntryTag2));
    QV_RETURN_IF_FAILED(reader.ReadU64(size));
    if (size > kMaxFileSize)
        return kOutOfRange;
    if (size != m_sizes[i])
        return kStreamFailure;
    QV_RETURN_IF_FAILED(reader.ReadTags(kEntryTag1, kEntryTag2));
    QV_RETURN_IF_FAILED(reader.ReadU32(unused32));
    QV_RETURN_IF_FAILED(reader.ReadU32(unused32));
    QV_RETURN_IF_FAILED(reader.ReadU16(unused16));
    QV_RETURN_IF_FAILED(reader.ReadTags(kEntryTag1, kEntryTag2));
    const uint8_t* bytes = nullptr;
    QV_RETURN_IF_FAILED(reader.Take(size, bytes));
    QV_RETURN_IF_FAILED(reader.ReadTags(kTableTag1, kTableTag2));

    const gCFRef& temp = m_tempPaths[i];
    LogLine(Joined(Text(29), temp.GetFileName()));
    QV_RETURN_IF_FAILED(MakeFolderOf(temp));
    gCFile file(kAccessWrite);
    gCFRef target(temp);
    QV_RETURN_IF_FAILED(OpenFileForSave(file, target, nullptr, kAccessWrite));
    NoteFileOperation(FileOperation::CreateNew, temp.GetPathString());
    if (size > 0)
        QV_RETURN_IF_FAILED(file.WriteBytes(bytes, static_cast<uint32_t>(size)));
    QV_RETURN_IF_FAILED(file.Close());
    NoteFileOperation(FileOperation::FinishNew, temp.GetPathString());
    return kOk;
}

// Creates the file's folder with every missing parent, remembering what it made.
gCResult CQVUDesquasher::MakeFolderOf(const gCFRef& file)
{
    gCFolderRef folder;
    QV_RETURN_IF_FAILED(folder.SetToFolderOf(file));
    if (folder.Exists())
        return kOk;
    gCArray<gCString> missing; // innermost first
    gCFolderRef walk;
    QV_RETURN_IF_FAILED(walk.SetPath(folder.GetPath()));
    while (!walk.Exists() && missing.Count() < 256) {
        QV_RETURN_IF_FAILED(missing.Add(walk.GetPath()));
        gCFolderRef parent;
        if (walk.GetParent(parent) != 0 || parent.GetPath().EqualsNoCase(walk.GetPath().Text()))
            break;
        QV_RETURN_IF_FAILED(walk.SetPath(parent.GetPath()));
    }
    gCResult made = folder.Create();
    for (int32_t k = missing.Count() - 1; k >= 0; --k) {
        gCFolderRef check;
        gCResult noted = check.SetPath(missing[k]);
        if (noted == kOk && check.Exists()) {
            noted = m_madeFolders.Add(missing[k]);
            NoteFileOperation(FileOperation::CreateFolder, missing[k]);
        }
        // A made folder that cannot be noted would outlive a roll-back: the step fails instead.
        if (made == kOk)
            made = noted;
    }
    return made;
}

gCResult CQVUDesquasher::KeepOldFiles()
{
    PostLine(Text(33), kLineBlack);
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        TickEntry(i);
        const gCFRef& target = m_targetPaths[i];
        if (!target.Exists())
            continue;
        LogLine(Joined(Text(34), target.GetFileName()));
        if (m_oldPaths[i].Exists())
            QV_RETURN_IF_FAILED(DeleteAndCheck(m_oldPaths[i], FileOperation::RemoveStale));
        QV_RETURN_IF_FAILED(Move(target, m_oldPaths[i], FileOperation::KeepOld));
        if (target.Exists())
            return kStreamFailure;
    }
    return kOk;
}

gCResult CQVUDesquasher::MoveNewFiles()
{
    PostLine(Text(30), kLineBlack);
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        TickEntry(i);
        const gCFRef& temp = m_tempPaths[i];
        // Every entry's new file was written: one that has gone since fails the move.
        LogLine(Joined(Text(31), temp.GetFileName()));
        QV_RETURN_IF_FAILED(Move(temp, m_targetPaths[i], FileOperation::MoveNew));
        m_entryFlags[i] |= kMovedIn;
        if (temp.Exists())
            return kStreamFailure;
    }
    return kOk;
}

gCResult CQVUDesquasher::DeleteOldFiles()
{
    PostLine(Text(35), kLineBlack);
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        TickEntry(i);
        const gCFRef& old = m_oldPaths[i];
        if (!old.Exists())
            continue;
        gCString line = Joined(Text(36), old.GetFileName());
        LogLine(line);
        // Whether it went is looked at just below.
        (void)DeletePath(old);
        NoteFileOperation(FileOperation::DeleteOld, old.GetPathString());
        if (old.Exists()) {
            PostLine(line, kLineDimmed);
            PostLine(Text(43), kLineRed);
        }
    }
    return kOk;
}

void CQVUDesquasher::RollBack()
{
    LogLine(gCString(L"Putting the installation back as it was before this update."));
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i)
        RollBackEntry(i);
    for (int32_t k = m_madeFolders.Count() - 1; k >= 0; --k) {
        if (RemoveDirectoryW(m_madeFolders[k].Text())) {
            NoteFileOperation(FileOperation::RollBack, m_madeFolders[k]);
            LogLine(Joined(gCString(L"Removed the new folder "), m_madeFolders[k]));
        }
    }
    m_madeFolders.Release();
}

void CQVUDesquasher::RollBackEntry(int32_t i)
{
    const gCFRef& target = m_targetPaths[i];
    const gCFRef& old = m_oldPaths[i];
    const gCFRef& temp = m_tempPaths[i];
    if (temp.Exists() && DeleteAndCheck(temp, FileOperation::RollBack) == 0)
        LogLine(Joined(gCString(L"Removed "), temp.GetPathString()));
    if (m_entryFlags[i] & kTargetExisted) {
        if (old.Exists()) {
            bool cleared = !target.Exists() || DeleteAndCheck(target, FileOperation::RollBack) == 0;
            if (!cleared || Move(old, target, FileOperation::RollBack) != 0) {
                LogLine(Joined(gCString(L"Could not restore "), target.GetPathString()));
                return;
            }
            LogLine(Joined(gCString(L"Restored "), target.GetPathString()));
        }
        RestoreReadOnly(i);
    } else if ((m_entryFlags[i] & kMovedIn) && target.Exists() &&
               DeleteAndCheck(target, FileOperation::RollBack) == 0) {
        LogLine(Joined(gCString(L"Removed "), target.GetPathString()));
    }
}

void CQVUDesquasher::RestoreReadOnly(int32_t i)
{
    if (!(m_entryFlags[i] & kMadeWritable))
        return;
    const gCString path = m_targetPaths[i].GetPathString();
    if (_wchmod(path.Text(), _S_IREAD) == 0)
        m_entryFlags[i] &= ~kMadeWritable;
}

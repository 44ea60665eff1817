// The installer's file steps: the write-access check, writing the new files, keeping the old
// ones, moving the new ones in, deleting the old ones, and putting everything back. The paths
// are used through their stored texts, so no file operation and no existence test depends on
// memory; the rollback asks for none.
#include <direct.h>
#include <io.h>
#include <sys/stat.h>
#include <winternl.h>

#include <cstddef>
#include <cstring>
#include <utility>

#include "AppHost.h"
#include "ArchiveNames.h"
#include "ArchiveFormat.h"
#include "ArchiveLimits.h"
#include "CQVUDesquasher.h"
#include "CSpanReader.h"
#include "CheckEffectiveRights.h"
#include "Checksum.h"
#include "FileDialogs.h"
#include "FileIndexes.h"
#include "FileOperationHook.h"
#include "FileOps.h"
#include "FolderNames.h"
#include "LocalTextIds.h"
#include "MessageBoxHook.h"
#include "PathSplit.h"
#include "gCFile.h"

using namespace QVUArchive;

namespace {

const int kWriteAccess = 2;

// a followed by b; unset when either is unset (a text lost to memory) or memory runs out.
gCString Joined(const gCString& a, const gCString& b)
{
    return a.IsUnset() || b.IsUnset() ? gCString() : JoinTexts(a, b);
}

gCString Joined(const gCString& a, const wchar_t* b)
{
    return Joined(a, gCString(b));
}

// The name and extension of a path's stored text; unset when memory runs out.
gCString NameOf(const gCFRef& path)
{
    const gCString& text = path.GetStoredText();
    int32_t start = text.Length();
    while (start > 0 && !IsPathSeparator(text[start - 1]))
        --start;
    gCString name;
    if (name.SetTextN(text.Text() + start, text.Length() - start) != kOk)
        name.Clear();
    return name;
}

// Deletes a file; 16 when it is still there afterwards.
gCResult DeleteAndCheck(const gCFRef& file, FileOperation operation)
{
    QV_RETURN_IF_FAILED(DeletePathFile(file.GetStoredText()));
    NoteFileOperation(operation, file.GetStoredText());
    return file.Exists() ? kStreamFailure : kOk;
}

// Every move of the installation lasts through a power cut before the next step relies on it.
gCResult Move(const gCFRef& from, const gCFRef& to, FileOperation operation)
{
    QV_RETURN_IF_FAILED(MovePathFile(from.GetStoredText(), to.GetStoredText(), MoveDurability::kWriteThrough));
    NoteFileOperation(operation, to.GetStoredText());
    return kOk;
}

// Puts a file in the place of another in one step: at no moment is the target missing.
gCResult Replace(const gCFRef& from, const gCFRef& to, FileOperation operation)
{
    QV_RETURN_IF_FAILED(ReplacePathFile(from.GetStoredText(), to.GetStoredText(), MoveDurability::kWriteThrough));
    NoteFileOperation(operation, to.GetStoredText());
    return kOk;
}

// Every refusal of the replace but a missing source.
bool Refused(gCResult replaced)
{
    return replaced == kFileOpenFailure || replaced == kTargetExists || replaced == kStreamFailure;
}

// True when no one holds the file open: only then can it be replaced in one step. A file that
// someone holds open, sharing delete or not, is refused as a whole by the replace.
bool NobodyHolds(const gCString& path)
{
    CFileHandle file(
        CreateFileW(path.Text(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file.IsValid();
}

// The system's form of a path, released with it.
class CSystemPath {
public:
    explicit CSystemPath(const gCString& path)
    {
        m_made = RtlDosPathNameToNtPathName_U(path.Text(), &m_name, nullptr, nullptr) != FALSE;
    }
    ~CSystemPath()
    {
        if (m_made)
            RtlFreeUnicodeString(&m_name);
    }
    CSystemPath(const CSystemPath&) = delete;
    CSystemPath& operator=(const CSystemPath&) = delete;
    const UNICODE_STRING* Get() const { return m_made ? &m_name : nullptr; }

private:
    UNICODE_STRING m_name{};
    bool m_made = false;
};

// A second name of a file, made through the one open that proves no one else holds it: the
// test and the link would otherwise open the file twice. 5 when memory runs out; 14 when
// someone holds the file or the name cannot be made.
gCResult LinkUnheld(const gCString& path, const gCString& link)
{
    // Reading, with no sharing, is what tells whether someone holds it; some file systems link
    // only through a handle that may write attributes.
    CFileHandle file(CreateFileW(path.Text(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.IsValid())
        return kFileOpenFailure;
    const CSystemPath name(link);
    if (!name.Get())
        return kOutOfMemory; // the path is whole: only memory can fail its conversion
    const ULONG bytes = offsetof(FILE_LINK_INFORMATION, FileName) + name.Get()->Length;
    CMemBlockT<char> block;
    QV_RETURN_IF_FAILED(block.Resize(static_cast<int32_t>(bytes)));
    FILE_LINK_INFORMATION* info = reinterpret_cast<FILE_LINK_INFORMATION*>(block.Data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = name.Get()->Length;
    std::memcpy(info->FileName, name.Get()->Buffer, name.Get()->Length);
    IO_STATUS_BLOCK io{};
    return NT_SUCCESS(NtSetInformationFile(file.Get(), &io, info, bytes, FileLinkInformation)) ? kOk : kFileOpenFailure;
}

// True when the file can be moved now: no one holds it without sharing its deletion.
bool CanMove(const gCFRef& file)
{
    const gCString& path = file.GetStoredText();
    if (!IsWholePathText(path))
        return false;
    CFileHandle handle(CreateFileW(path.Text(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle.IsValid();
}

// Keeps the target under its old name while the target stays in place: a second name of the
// same file, or for a program a copy (a program that runs after a kill cannot lose a name of
// its own file, and the rollback must be able to remove the old one). Where neither can be made
// (a file system without links, a file that someone holds open) the target is moved aside, and
// its move gives the refusal of a locked file; movedAside says so.
gCResult KeepBeside(const gCFRef& target, const gCFRef& old, const gCFRef& temp, bool& movedAside)
{
    movedAside = false;
    const gCString& path = target.GetStoredText();
    const gCString& oldPath = old.GetStoredText();
    if (!IsWholePathText(path) || !IsWholePathText(oldPath))
        return kBadParameter;
    gCResult kept = kFileOpenFailure;
    if (!IsProgramName(path.Text(), path.Length()))
        kept = LinkUnheld(path, oldPath);
    else if (NobodyHolds(path) && CopyFileW(path.Text(), oldPath.Text(), TRUE))
        kept = kOk;
    if (kept == kOutOfMemory)
        return kept;
    if (kept == kOk) {
        NoteFileOperation(FileOperation::KeepOld, oldPath);
        return kOk;
    }
    // A new file that someone holds could not follow a target moved aside: the target stays.
    if (!CanMove(temp))
        return kFileOpenFailure;
    QV_RETURN_IF_FAILED(Move(target, old, FileOperation::KeepOld));
    movedAside = true;
    return kOk;
}

// Puts a target that was moved aside back in its place: it must never stay missing.
gCResult PutBack(const gCFRef& old, const gCFRef& target)
{
    return Move(old, target, FileOperation::RollBack);
}

// Deletes a file that no one else holds open, by closing the only handle to it: then it is gone
// without a look for its name, which costs a search of its folder once the name is not there.
// False when someone holds it or it cannot be opened so; it is then as it was.
bool DeleteUnheld(const gCString& path)
{
    if (!IsWholePathText(path))
        return false;
    CFileHandle file(CreateFileW(path.Text(), DELETE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file.IsValid() && file.Close();
}

// What is at a path: nothing, a file or a folder, from one look. A name that is not there
// costs a search of its folder on some systems, so each path is looked at once where one
// look answers both questions.
enum class PathKind { None, File, ReadOnlyFile, Folder };

PathKind KindOf(const gCString& path)
{
    if (!IsWholePathText(path))
        return PathKind::None;
    const DWORD attributes = GetFileAttributesW(path.Text());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::None;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return PathKind::Folder;
    // The runtime's write test is this attribute: the look answers it as well.
    return (attributes & FILE_ATTRIBUTE_READONLY) ? PathKind::ReadOnlyFile : PathKind::File;
}

PathKind KindOf(const gCFRef& path)
{
    return KindOf(path.GetStoredText());
}

// The same, without a look where the folder's names already tell that the path is missing.
gCResult KindOf(const gCFRef& path, CFolderNames& folders, PathKind& kind)
{
    bool absent = false;
    QV_RETURN_IF_FAILED(folders.SurelyAbsent(path.GetStoredText(), absent));
    kind = absent ? PathKind::None : KindOf(path);
    return kOk;
}

} // namespace

void CQVUDesquasher::TickEntry(int32_t i)
{
    (void)m_host.SetProgress(static_cast<float>(i + 1) / static_cast<float>(m_targetPaths.Count()), 1); // display only
    (void)m_host.TickNow(); // the window's own work; its failures are its own
}

// A left-over ".old" beside a missing target is the only copy of the original (an earlier run
// stopped between keeping it and moving the new file in): it goes back, it is not deleted.
// A folder of such a name is the user's, not ours: it is neither restored nor removed.
gCResult CQVUDesquasher::RemoveStaleFiles(int32_t i, CFolderNames& folderNames)
{
    const gCFRef& target = m_targetPaths[i];
    const gCFRef& old = m_oldPaths[i];
    const gCFRef& temp = m_tempPaths[i];
    PathKind oldKind = PathKind::None;
    PathKind tempKind = PathKind::None;
    QV_RETURN_IF_FAILED(KindOf(old, folderNames, oldKind));
    QV_RETURN_IF_FAILED(KindOf(temp, folderNames, tempKind));
    if (oldKind == PathKind::Folder || tempKind == PathKind::Folder)
        return kStreamFailure;
    if (oldKind != PathKind::None) {
        if (!target.Exists()) {
            QV_RETURN_IF_FAILED(Move(old, target, FileOperation::RestoreStale));
            folderNames.Forget();
            LogLine(Joined(gCString(L"Restored from its .old file: "), target.GetStoredText()));
        } else {
            QV_RETURN_IF_FAILED(DeleteAndCheck(old, FileOperation::RemoveStale));
        }
    }
    if (tempKind != PathKind::None)
        QV_RETURN_IF_FAILED(DeleteAndCheck(temp, FileOperation::RemoveStale));
    return kOk;
}

gCResult CQVUDesquasher::CheckWriteAccess()
{
    PostLine(Text(kTextCheckingAccess), kLineBlack);
    QV_RETURN_IF_FAILED(m_readBlock.Resize(kReadBlockSize));
    CFileIndexes indexes;
    CFolderNames folderNames; // read for the check alone: later steps change the folders
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        const gCFRef& target = m_targetPaths[i];
        LogLine(Joined(Text(kTextCheckingFile), NameOf(target)));
        QV_RETURN_IF_FAILED(RemoveStaleFiles(i, folderNames));
        PathKind targetKind = PathKind::None;
        QV_RETURN_IF_FAILED(KindOf(target, folderNames, targetKind));
        if (targetKind == PathKind::None)
            continue;
        m_entryFlags[i] = kTargetExisted;

        const gCString& path = target.GetStoredText();
        // A folder would be moved aside whole, with every file below it.
        if (targetKind == PathKind::Folder) {
            PostLine(Joined(Text(kTextNotWritable), path), kLineRed);
            return kGenericFailure;
        }
        if (targetKind == PathKind::ReadOnlyFile) {
            int changed = _wchmod(path.Text(), _S_IREAD | _S_IWRITE);
            m_entryFlags[i] |= kMadeWritable;
            NoteFileOperation(FileOperation::MakeWritable, path);
            if (changed != 0 || _waccess(path.Text(), kWriteAccess) != 0) {
                PostLine(Joined(Text(kTextNotWritable), path), kLineRed);
                return kGenericFailure;
            }
        }
        // A refusal is asked once more and then shown; a check that ran out of memory knows
        // nothing to show and fails the step.
        gCResult rights = CheckEffectiveRights(target, *this);
        if (rights == kGenericFailure)
            rights = CheckEffectiveRights(target, *this);
        if (rights == kGenericFailure) {
            const gCString line = Joined(Joined(Text(kTextNoRights), L" "), path);
            PostLine(line, kLineRed);
            IAppHost* app = GetAppHost();
            (void)ShowMessageBox(app ? app->GetMainWindowHandle() : nullptr, line.Text(),
                                 Text(kTextRightsBoxCaption).Text(),
                                 MB_OK); // its only button
            return kGenericFailure;
        }
        QV_RETURN_IF_FAILED(rights);
        QV_RETURN_IF_FAILED(ProveOriginal(i, indexes));
    }
    return kOk;
}

gCResult CQVUDesquasher::PrepareFinish()
{
    int32_t longest = 0;
    for (int32_t i = 0; i < m_tempPaths.Count(); ++i)
        if (m_tempPaths[i].GetStoredText().Length() > longest)
            longest = m_tempPaths[i].GetStoredText().Length();
    QV_RETURN_IF_FAILED(m_folderText.Reserve(longest));

    const gCString texts[kFinishLineCount] = {Text(kTextDeletingOldFiles), gCString(L" "), Text(kTextInstalledCaption),
                                              Text(kTextInstallDone)};
    for (int k = 0; k < kFinishLineCount; ++k) {
        if (texts[k].IsUnset())
            return kOutOfMemory;
        QV_RETURN_IF_FAILED(m_finishLines[k].SetString(texts[k]));
    }
    m_deleteLogLines.Release();
    m_deleteFailedLines.Release();
    m_cannotDeleteLines.Release();
    for (int32_t i = 0; i < m_oldPaths.Count(); ++i) {
        QV_RETURN_IF_FAILED(m_deleteLogLines.AddWhole(Joined(Text(kTextDeletingFile), NameOf(m_oldPaths[i]))));
        QV_RETURN_IF_FAILED(m_deleteFailedLines.AddWhole(Joined(Text(kTextDeletingFile), NameOf(m_oldPaths[i]))));
        QV_RETURN_IF_FAILED(m_cannotDeleteLines.AddWhole(Text(kTextOldFileStays)));
    }
    return kOk;
}

gCResult CQVUDesquasher::WriteNewFiles()
{
    PostLine(Text(kTextWritingNewFiles), kLineBlack);
    QV_RETURN_IF_FAILED(PrepareFinish());
    uint64_t position = static_cast<uint64_t>(m_headerSize) + kRecordsGap;
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        TickEntry(i);
        QV_RETURN_IF_FAILED(WriteRecord(i, position));
        position += m_sizes[i] + kRecordOverhead;
    }
    return kOk;
}

// The bytes of the entry's data record at the read position of the unpacked archive.
gCResult CQVUDesquasher::RecordBytes(int32_t i, uint64_t position, const uint8_t*& bytes) const
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
    QV_RETURN_IF_FAILED(CheckSizeMax100M(size));
    if (size != m_sizes[i])
        return kStreamFailure;
    QV_RETURN_IF_FAILED(reader.ReadTags(kEntryTag1, kEntryTag2));
    QV_RETURN_IF_FAILED(reader.ReadU32(unused32));
    QV_RETURN_IF_FAILED(reader.ReadU32(unused32));
    QV_RETURN_IF_FAILED(reader.ReadU16(unused16));
    QV_RETURN_IF_FAILED(reader.ReadTags(kEntryTag1, kEntryTag2));
    QV_RETURN_IF_FAILED(reader.Take(size, bytes));
    return reader.ReadTags(kTableTag1, kTableTag2);
}

// The length and checksum of every new file, for the journal: a record that cannot be read
// fails here, before the first change.
gCResult CQVUDesquasher::ProveNewFiles()
{
    uint64_t position = static_cast<uint64_t>(m_headerSize) + kRecordsGap;
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        const uint8_t* bytes = nullptr;
        QV_RETURN_IF_FAILED(RecordBytes(i, position, bytes));
        m_newProofs[i] = {m_sizes[i], Crc32(0, bytes, static_cast<size_t>(m_sizes[i])), 0, kByContent};
        position += m_sizes[i] + kRecordOverhead;
    }
    return kOk;
}

// The target as it is before the run: its index, which its second name or its move aside
// keeps, found in its folder's listing, and for a program, which is kept as a copy, its checksum.
gCResult CQVUDesquasher::ProveOriginal(int32_t i, CFileIndexes& indexes)
{
    const gCString& path = m_targetPaths[i].GetStoredText();
    FileProof& proof = m_oldProofs[i];
    proof = {0, 0, 0, kByIdentity};
    bool found = false;
    QV_RETURN_IF_FAILED(indexes.Find(path, proof.index, proof.size, found));
    const bool program = IsProgramName(path.Text(), path.Length());
    if (found && !program)
        return kOk;
    // A name that came after its folder was read (a stale ".old" put back) is opened; its
    // identity can be read whoever holds it, and a program is read whole.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    CFileHandle file(CreateFileW(path.Text(), program ? GENERIC_READ : FILE_READ_ATTRIBUTES, share, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid() || (!found && FileIdentity(file.Get(), proof.index, proof.size) != kOk))
        return kFileOpenFailure;
    if (!program)
        return kOk;
    uint64_t size = 0;
    QV_RETURN_IF_FAILED(
        FileChecksum(file.Get(), m_readBlock.Data(), static_cast<uint32_t>(m_readBlock.Count()), size, proof.crc));
    proof.size = size;
    proof.by |= kByContent;
    return kOk;
}

gCResult CQVUDesquasher::WriteRecord(int32_t i, uint64_t position)
{
    const uint8_t* bytes = nullptr;
    QV_RETURN_IF_FAILED(RecordBytes(i, position, bytes));
    const uint64_t size = m_sizes[i];
    gCFRef& temp = m_tempPaths[i];
    LogLine(Joined(Text(kTextWritingFile), NameOf(temp)));
    QV_RETURN_IF_FAILED(MakeFoldersOf(i));
    // The path was made by the parser: never the empty one, for which the open would ask the
    // user for a file.
    if (!temp.IsValid())
        return kBadParameter;
    gCFile file(kAccessWrite);
    QV_RETURN_IF_FAILED(OpenFileForSave(file, temp, nullptr, kAccessWrite));
    NoteFileOperation(FileOperation::CreateNew, temp.GetStoredText());
    if (size > 0)
        QV_RETURN_IF_FAILED(file.WriteBytes(bytes, static_cast<uint32_t>(size)));
    // On the disk whole before the journal's mark says that every new file is.
    QV_RETURN_IF_FAILED(file.Commit());
    QV_RETURN_IF_FAILED(file.Close());
    NoteFileOperation(FileOperation::FinishNew, temp.GetStoredText());
    return kOk;
}

// Every folder below the installation folder that a new file needs and that is missing,
// outermost first and each once: the folders that the run may make and the rollback removes.
gCResult CQVUDesquasher::PlanFolders()
{
    m_madeFolders.Release();
    const int32_t base = m_targetFolder.GetStoredText().Length();
    for (int32_t i = 0; i < m_tempPaths.Count(); ++i) {
        const gCString& file = m_tempPaths[i].GetStoredText();
        for (int32_t end = base; end < file.Length(); ++end) {
            if (!IsPathSeparator(file[end]))
                continue;
            bool planned = false;
            for (int32_t k = 0; k < m_madeFolders.Count() && !planned; ++k) {
                const MadeFolder& made = m_madeFolders[k];
                // Folder names are the same folder whatever their case.
                planned = made.length == end + 1 && SameArchiveName(m_tempPaths[made.entry].GetStoredText().Text(),
                                                                    end + 1, file.Text(), end + 1);
            }
            if (planned)
                continue;
            QV_RETURN_IF_FAILED(m_folderText.SetTextN(file.Text(), end + 1));
            if (KindOf(m_folderText) != PathKind::Folder)
                QV_RETURN_IF_FAILED(m_madeFolders.Add({i, end + 1}));
        }
    }
    return kOk;
}

// Creates the folders that the plan found missing and that this entry's new file is the first
// to need, outermost first; the journal named them before. Every other folder of the file was
// there when the plan looked, or was made for an earlier entry: one gone since fails the write.
gCResult CQVUDesquasher::MakeFoldersOf(int32_t i)
{
    const gCString& file = m_tempPaths[i].GetStoredText();
    for (int32_t k = 0; k < m_madeFolders.Count(); ++k) {
        if (m_madeFolders[k].entry != i)
            continue;
        QV_RETURN_IF_FAILED(m_folderText.SetTextN(file.Text(), m_madeFolders[k].length));
        // One made since the plan looked serves as well.
        if (_wmkdir(m_folderText.Text()) != 0 && KindOf(m_folderText) != PathKind::Folder)
            return kCreateFailure;
        NoteFileOperation(FileOperation::CreateFolder, m_folderText);
    }
    return kOk;
}

// The check removed every stale old file and found which targets exist: neither is looked at
// again. A target gone since, or an old file made since, fails the keep.
gCResult CQVUDesquasher::KeepOldFiles()
{
    PostLine(Text(kTextKeepingOldFiles), kLineBlack);
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        TickEntry(i);
        if (!(m_entryFlags[i] & kTargetExisted))
            continue;
        LogLine(Joined(Text(kTextKeepingFile), NameOf(m_targetPaths[i])));
        QV_RETURN_IF_FAILED(KeepOriginal(i));
    }
    return kOk;
}

gCResult CQVUDesquasher::KeepOriginal(int32_t i)
{
    const gCFRef& target = m_targetPaths[i];
    const gCFRef& temp = m_tempPaths[i];
    bool movedAside = false;
    QV_RETURN_IF_FAILED(KeepBeside(target, m_oldPaths[i], temp, movedAside));
    if (!movedAside)
        return kOk;
    // A target moved aside is missing until its new file is in: that follows at once, or the
    // target goes back. The log says so, as a kill between the two would leave the
    // installation without it.
    const gCResult moved = Move(temp, target, FileOperation::MoveNew);
    if (moved != kOk) {
        (void)PutBack(m_oldPaths[i], target); // the move's failure counts; a kill here is the next start's
        return moved;
    }
    LogLine(Joined(gCString(L"Moved aside and replaced at once: "), NameOf(target)));
    m_entryFlags[i] |= kMovedIn;
    return kOk;
}

// A target that existed is still there, or moved aside: the new file takes its place in one
// step. A new file must not meet a file of its name. The move's own answer says whether the
// new file is in place.
gCResult CQVUDesquasher::MoveIn(int32_t i)
{
    if (!(m_entryFlags[i] & kTargetExisted))
        return Move(m_tempPaths[i], m_targetPaths[i], FileOperation::MoveNew);
    const gCResult replaced = Replace(m_tempPaths[i], m_targetPaths[i], FileOperation::MoveNew);
    // A program that still runs can lose its name only by a move: it goes over its copy. A
    // refusal that comes of the new file itself, held by someone, leaves the target alone.
    if (!Refused(replaced) ||
        !IsProgramName(m_targetPaths[i].GetStoredText().Text(), m_targetPaths[i].GetStoredText().Length()) ||
        !CanMove(m_tempPaths[i]))
        return replaced;
    QV_RETURN_IF_FAILED(Replace(m_targetPaths[i], m_oldPaths[i], FileOperation::KeepOld));
    const gCResult moved = Move(m_tempPaths[i], m_targetPaths[i], FileOperation::MoveNew);
    if (moved != kOk)
        (void)PutBack(m_oldPaths[i], m_targetPaths[i]); // as in the keep
    return moved;
}

gCResult CQVUDesquasher::MoveNewFiles()
{
    PostLine(Text(kTextMovingNewFiles), kLineBlack);
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        TickEntry(i);
        // Every entry's new file was written: one that has gone since fails the move.
        LogLine(Joined(Text(kTextMovingFile), NameOf(m_tempPaths[i])));
        if (!(m_entryFlags[i] & kMovedIn))
            QV_RETURN_IF_FAILED(MoveIn(i));
    }
    return kOk;
}

// Asks for no memory: its lines were made before the first change.
gCResult CQVUDesquasher::DeleteOldFiles()
{
    PostLine(std::move(m_finishLines[kDeletingLine]), kLineBlack);
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        TickEntry(i);
        // This run kept an old file for every target that existed, and for no other.
        if (!(m_entryFlags[i] & kTargetExisted))
            continue;
        const gCFRef& old = m_oldPaths[i];
        if (i < m_deleteLogLines.Count())
            LogLine(std::move(m_deleteLogLines[i]));
        // A delete that succeeds may still leave the name while someone holds the file open.
        const bool gone = DeleteUnheld(old.GetStoredText());
        if (!gone)
            (void)DeletePathFile(old.GetStoredText()); // what counts is whether it is still there
        NoteFileOperation(FileOperation::DeleteOld, old.GetStoredText());
        if (!gone && old.Exists() && i < m_deleteFailedLines.Count()) {
            PostLine(std::move(m_deleteFailedLines[i]), kLineDimmed);
            PostLine(std::move(m_cannotDeleteLines[i]), kLineRed);
        }
    }
    return kOk;
}

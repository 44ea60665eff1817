// Putting an installation back, or finishing it, for a run that failed and for the start after
// one that was killed. Nothing is decided by the journal alone: a file is deleted, replaced or
// marked only where the disk shows what the run did there. A ".tmp" is the run's new file by
// its length and checksum, an ".old" the kept original by its identity or its checksum.
#include <io.h>
#include <sys/stat.h>

#include <cstring>
#include <utility>

#include "AppHost.h"
#include "ArchiveNames.h"
#include "CQVUDesquasher.h"
#include "Checksum.h"
#include "FileOperationHook.h"
#include "FileOps.h"
#include "LocalTextIds.h"
#include "PathSplit.h"

namespace {

// A ".tmp" cut short while it was written has a time of its own: FAT keeps two seconds.
const uint64_t kStampSlack = 2 * 10000000ull;
// The log names this many of a set-aside journal's files, then how many more.
const int32_t kNamesLogged = 200;

gCString Joined(const gCString& a, const gCString& b)
{
    return a.IsUnset() || b.IsUnset() ? gCString() : JoinTexts(a, b);
}

gCString Joined(const wchar_t* a, const gCString& b)
{
    return Joined(gCString(a), b);
}

gCResult Delete(const gCFRef& file, FileOperation operation)
{
    QV_RETURN_IF_FAILED(DeletePathFile(file.GetStoredText()));
    NoteFileOperation(operation, file.GetStoredText());
    return file.Exists() ? kStreamFailure : kOk;
}

bool IsThere(const gCFRef& path)
{
    return IsWholePathText(path.GetStoredText()) &&
           GetFileAttributesW(path.GetStoredText().Text()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

CQVUDesquasher::Found CQVUDesquasher::Look(const gCFRef& path, int32_t i, bool mayBeOriginal, bool mayBeNew)
{
    const gCString& text = path.GetStoredText();
    if (!IsWholePathText(text))
        return Found::kOther;
    const DWORD attributes = GetFileAttributesW(text.Text());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Found::kMissing : Found::kOther;
    }
    // A folder, or a link that may lead anywhere, is never the run's.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        return Found::kOther;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    // Its identity can be read whoever holds it.
    CFileHandle file(CreateFileW(text.Text(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, 0, nullptr));
    uint64_t index = 0, size = 0;
    if (!file.IsValid() || FileIdentity(file.Get(), index, size) != kOk)
        return Found::kOther;
    const FileProof& original = m_oldProofs[i];
    const FileProof& fresh = m_newProofs[i];
    // The three names of an entry lie in one folder, on one volume.
    if (mayBeOriginal && (original.by & kByIdentity) && original.index == index && original.size == size)
        return Found::kOriginal;
    // A new file of the run was written after its journal: a file as old as the journal or older
    // is nobody's new file, whatever its bytes.
    FILE_BASIC_INFO basic = {};
    const bool asNew = mayBeNew && fresh.size == size &&
                       GetFileInformationByHandleEx(file.Get(), FileBasicInfo, &basic, sizeof basic) &&
                       WrittenSinceJournal(static_cast<uint64_t>(basic.LastWriteTime.QuadPart));
    const bool asOriginal = mayBeOriginal && (original.by & kByContent) && original.size == size;
    if (!asNew && !asOriginal)
        return Found::kOther;
    uint64_t read = 0;
    uint32_t crc = 0;
    file.Reset(CreateFileW(text.Text(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid() || m_readBlock.Count() == 0 ||
        FileChecksum(file.Get(), m_readBlock.Data(), static_cast<uint32_t>(m_readBlock.Count()), read, crc) != kOk ||
        read != size)
        return Found::kOther;
    if (asNew && crc == fresh.crc)
        return Found::kNew;
    return asOriginal && crc == original.crc ? Found::kOriginal : Found::kOther;
}

CQVUDesquasher::EntryLook CQVUDesquasher::LookAt(int32_t i)
{
    const bool existed = (m_entryFlags[i] & kTargetExisted) != 0;
    // An ".old" beside a target that was not there is no file of the run's.
    return {Look(m_targetPaths[i], i, existed, true), existed ? Look(m_oldPaths[i], i, true, false) : Found::kMissing,
            Look(m_tempPaths[i], i, false, true)};
}

// The new file that was being written when its run stopped, before every new file was: the
// last ".tmp" of the run, no longer than the new file, written since the journal was.
bool CQVUDesquasher::IsNewFileCutShort(int32_t i) const
{
    if (m_journalWasWritten)
        return false;
    for (int32_t k = i + 1; k < m_tempPaths.Count(); ++k)
        if (IsThere(m_tempPaths[k]))
            return false;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    const gCString& text = m_tempPaths[i].GetStoredText();
    if (!IsWholePathText(text) || !GetFileAttributesExW(text.Text(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    const uint64_t size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const uint64_t written = (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return size <= m_newProofs[i].size && WrittenSinceJournal(written);
}

bool CQVUDesquasher::WrittenSinceJournal(uint64_t fileTime) const
{
    return fileTime + kStampSlack >= m_journalStamp;
}

// The copy of a program's original that was being made when its run stopped: the original is
// in place, and the ".old" holds its first bytes and no more.
bool CQVUDesquasher::IsCopyCutShort(int32_t i)
{
    if (!(m_entryFlags[i] & kTargetExisted) ||
        !IsProgramName(m_targetPaths[i].GetStoredText().Text(), m_targetPaths[i].GetStoredText().Length()) ||
        Look(m_targetPaths[i], i, true, false) != Found::kOriginal)
        return false;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    CFileHandle original(
        CreateFileW(m_targetPaths[i].GetStoredText().Text(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    CFileHandle copy(
        CreateFileW(m_oldPaths[i].GetStoredText().Text(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    const DWORD half = static_cast<DWORD>(m_readBlock.Count() / 2);
    if (!original.IsValid() || !copy.IsValid() || half == 0)
        return false;
    char* const a = m_readBlock.Data();
    char* const b = a + half;
    for (;;) {
        DWORD gotCopy = 0, gotOriginal = 0;
        if (!ReadFile(copy.Get(), b, half, &gotCopy, nullptr) ||
            !ReadFile(original.Get(), a, gotCopy, &gotOriginal, nullptr) || gotOriginal != gotCopy ||
            std::memcmp(a, b, gotCopy) != 0)
            return false;
        if (gotCopy < half)
            return true;
    }
}

CQVUDesquasher::Undo CQVUDesquasher::TurnBack()
{
    // A journal that cannot take the mark still turns the next start back unless every new
    // file was written and is there whole.
    if (m_journalState != JournalState::kTurnedBack)
        (void)MarkJournalBack();
    int32_t unexplained = 0;
    return RollBack(true, unexplained);
}

CQVUDesquasher::Undo CQVUDesquasher::RollBack(bool act, int32_t& unexplained)
{
    if (act)
        LogLine(gCString(L"Putting the installation back as it was before this update."));
    unexplained = 0;
    Undo undo = Undo::kWhole;
    auto notBack = [&](const wchar_t* line, const gCFRef& path) {
        if (act)
            LogLine(Joined(line, path.GetStoredText()));
        undo = Undo::kNotBack;
    };
    // Nothing was kept or moved before every new file was written: the targets are as they
    // were, and must be found so.
    for (int32_t i = 0; !m_journalWasWritten && i < m_targetPaths.Count(); ++i) {
        const bool existed = (m_entryFlags[i] & kTargetExisted) != 0;
        if (Look(m_targetPaths[i], i, existed, false) != (existed ? Found::kOriginal : Found::kMissing)) {
            ++unexplained;
            notBack(L"Not as the record of the installation says, left as it is: ", m_targetPaths[i]);
        }
    }
    for (int32_t i = 0; m_journalWasWritten && i < m_targetPaths.Count(); ++i) {
        const gCFRef& target = m_targetPaths[i];
        const EntryLook look = LookAt(i);
        if (m_entryFlags[i] & kTargetExisted) {
            if (look.target == Found::kOriginal)
                continue;
            if (look.old != Found::kOriginal || look.target == Found::kOther) {
                ++unexplained;
                notBack(L"Not as the record of the installation says, left as it is: ", target);
            } else if (!act) {
                continue;
            } else if (RestoreOriginal(m_oldPaths[i], target) == kOk) {
                LogLine(Joined(L"Restored ", target.GetStoredText()));
            } else {
                notBack(L"Could not restore ", target);
            }
        } else if (look.target == Found::kNew) {
            if (!act)
                continue;
            if (Delete(target, FileOperation::RollBack) == kOk)
                LogLine(Joined(L"Removed ", target.GetStoredText()));
            else
                notBack(L"Could not remove ", target);
        } else if (look.target == Found::kOther) {
            ++unexplained;
            notBack(L"Not as the record of the installation says, left as it is: ", target);
        }
    }
    if (!act) {
        // Beside the targets, only a ".tmp" that is not the run's is more than the run left.
        for (int32_t i = 0; i < m_targetPaths.Count(); ++i)
            if (Look(m_tempPaths[i], i, false, true) == Found::kOther && !IsNewFileCutShort(i))
                ++unexplained;
        return undo;
    }
    // Then what the run made beside them.
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        const bool existed = (m_entryFlags[i] & kTargetExisted) != 0;
        const bool writable = (m_entryFlags[i] & kMadeWritable) != 0;
        const Found old = existed ? Look(m_oldPaths[i], i, true, false) : Found::kMissing;
        const Found target =
            (old == Found::kOriginal || writable) ? Look(m_targetPaths[i], i, true, false) : Found::kMissing;
        Found temp = Look(m_tempPaths[i], i, false, true);
        if (temp == Found::kOther && IsNewFileCutShort(i))
            temp = Found::kNew;
        // A second name or a copy of the original, while the original is in place.
        if ((old == Found::kOriginal && target == Found::kOriginal) || (old == Found::kOther && IsCopyCutShort(i))) {
            if (Delete(m_oldPaths[i], FileOperation::RollBack) == kOk)
                LogLine(Joined(L"Removed ", m_oldPaths[i].GetStoredText()));
            else if (undo == Undo::kWhole)
                undo = Undo::kTargetsBack;
        }
        if (temp == Found::kNew) {
            if (Delete(m_tempPaths[i], FileOperation::RollBack) == kOk) {
                LogLine(Joined(L"Removed ", m_tempPaths[i].GetStoredText()));
            } else {
                // Someone holds it: the journal names it for the next start.
                LogLine(Joined(L"Left for the next start: ", m_tempPaths[i].GetStoredText()));
                if (undo == Undo::kWhole)
                    undo = Undo::kTargetsBack;
            }
        } else if (temp == Found::kOther) {
            ++unexplained;
            LogLine(Joined(L"Not the installation's, left as it is: ", m_tempPaths[i].GetStoredText()));
        }
        if (writable && target == Found::kOriginal)
            RestoreReadOnly(i);
    }
    // Deepest first; a folder that holds anything is not ours alone and stays.
    for (int32_t k = m_madeFolders.Count() - 1; k >= 0; --k) {
        const MadeFolder& made = m_madeFolders[k];
        // The room was reserved before the first folder was made.
        if (m_folderText.SetTextN(m_tempPaths[made.entry].GetStoredText().Text(), made.length) != kOk)
            continue;
        if (RemoveDirectoryW(m_folderText.Text())) {
            NoteFileOperation(FileOperation::RollBack, m_folderText);
            LogLine(Joined(L"Removed the new folder ", m_folderText));
        }
    }
    return undo;
}

gCResult CQVUDesquasher::RestoreOriginal(const gCFRef& from, const gCFRef& to)
{
    QV_RETURN_IF_FAILED(ReplacePathFile(from.GetStoredText(), to.GetStoredText(), MoveDurability::kWriteThrough));
    NoteFileOperation(FileOperation::RollBack, to.GetStoredText());
    return kOk;
}

int32_t CQVUDesquasher::RemoveKeptOriginals(bool act)
{
    int32_t unexplained = 0;
    for (int32_t i = 0; i < m_oldPaths.Count(); ++i) {
        // Every new file is in place.
        if (!act && Look(m_targetPaths[i], i, false, true) != Found::kNew)
            ++unexplained;
        if (!(m_entryFlags[i] & kTargetExisted))
            continue;
        const gCFRef& old = m_oldPaths[i];
        const Found kept = Look(old, i, true, false);
        if (kept == Found::kMissing)
            continue;
        // The original goes only once the new file is in its place.
        if (kept != Found::kOriginal || Look(m_targetPaths[i], i, false, true) != Found::kNew) {
            ++unexplained;
            if (act)
                LogLine(Joined(L"Not as the record of the installation says, left as it is: ", old.GetStoredText()));
        } else if (act && Delete(old, FileOperation::DeleteOld) == kOk) {
            LogLine(Joined(L"Removed ", old.GetStoredText()));
        }
    }
    return unexplained;
}

bool CQVUDesquasher::IsOwnProgram(int32_t i) const
{
    wchar_t self[MAX_PATH] = {};
    return GetOwnProgramPath(self) && m_targetPaths[i].GetStoredText().EqualsNoCase(self);
}

bool CQVUDesquasher::CanRollForward()
{
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        const EntryLook look = LookAt(i);
        if (look.temp != Found::kNew) {
            if (look.target != Found::kNew)
                return false;
            continue;
        }
        // A copy never replaces its own running program.
        if (IsOwnProgram(i))
            return false;
        const bool kept =
            look.target == Found::kOriginal || (look.target == Found::kMissing && look.old == Found::kOriginal);
        if ((m_entryFlags[i] & kTargetExisted) ? !kept : look.target != Found::kMissing)
            return false;
    }
    return true;
}

bool CQVUDesquasher::RollForward()
{
    LogLine(gCString(L"Finishing the installation that was interrupted."));
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        const EntryLook look = LookAt(i);
        if (look.temp != Found::kNew)
            continue; // moved in already
        if ((m_entryFlags[i] & kTargetExisted) && look.old != Found::kOriginal) {
            // A copy cut short gives way to a whole one.
            if (look.old == Found::kOther &&
                (!IsCopyCutShort(i) || Delete(m_oldPaths[i], FileOperation::RollBack) != kOk))
                return false;
            if (KeepOriginal(i) != kOk)
                return false;
        }
        if (!(m_entryFlags[i] & kMovedIn) && MoveIn(i) != kOk)
            return false;
        LogLine(Joined(L"Moved in ", m_targetPaths[i].GetStoredText()));
    }
    return MarkJournalDone() == kOk && RemoveKeptOriginals(true) == 0;
}

bool CQVUDesquasher::SetJournalAside(const wchar_t* reason)
{
    m_journal.Reset();
    IAppHost* app = GetAppHost();
    if (!app)
        return false;
    for (int n = 1; n < 1000; ++n) {
        gCString name;
        gCString path;
        if (name.SetText(L"updatejournal-") != kOk || AppendDecimal(name, static_cast<uint64_t>(n)) != kOk ||
            name.AppendText(L".qvj") != kOk || JoinFolderAndName(app->GetProgramFolder(), name, path) != kOk)
            return false;
        const gCResult moved = MovePathFile(m_journalPath, path, MoveDurability::kWriteThrough);
        // A name taken, by a file or a folder, passes to the next.
        if (moved != kOk && FileTextExists(path))
            continue;
        if (moved != kOk)
            return false;
        m_setAsideName = name;
        gCString line;
        if (line.SetText(L"Set aside the record of an interrupted installation, as ") != kOk ||
            line.Append(name) != kOk || line.AppendText(L": ") != kOk || line.AppendText(reason) != kOk)
            line.Clear();
        LogLine(std::move(line));
        for (int32_t i = 0; i < m_targetPaths.Count() && i < kNamesLogged; ++i)
            LogLine(Joined(L"It names: ", m_targetPaths[i].GetStoredText()));
        if (m_targetPaths.Count() > kNamesLogged) {
            gCString more;
            if (more.SetText(L"It names ") != kOk ||
                AppendDecimal(more, static_cast<uint64_t>(m_targetPaths.Count() - kNamesLogged)) != kOk ||
                more.AppendText(L" files more.") != kOk)
                more.Clear();
            LogLine(std::move(more));
        }
        return true;
    }
    return false;
}

void CQVUDesquasher::RestoreReadOnly(int32_t i)
{
    if (!(m_entryFlags[i] & kMadeWritable))
        return;
    if (_wchmod(m_targetPaths[i].GetStoredText().Text(), _S_IREAD) == 0)
        m_entryFlags[i] &= ~kMadeWritable;
}

CQVUDesquasher::Recovery CQVUDesquasher::RecoverInterrupted()
{
    m_setAsideName.Clear();
    if (JournalPath(m_journalPath) != kOk || RemoveUnfinishedJournal() != kOk)
        return Recovery::kFailed;
    const DWORD attributes = GetFileAttributesW(m_journalPath.Text());
    // Something of the journal's name that is no file is no journal.
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Recovery::kNone;
    ClearParse();
    if (SetTargetFolder() != kOk || m_readBlock.Resize(kReadBlockSize) != kOk)
        return Recovery::kFailed;
    const Recovery recovery = RecoverFromJournal();
    ClearParse();
    m_journal.Reset();
    return recovery;
}

// Decides the direction from the marks and the disk, and acts only when every file that the
// direction touches is as the journal says: a journal that does not match the disk is set
// aside with nothing changed, as the evidence of what happened.
CQVUDesquasher::Recovery CQVUDesquasher::RecoverFromJournal()
{
    const JournalState state = ReadJournal(m_journalPath);
    if (state == JournalState::kUnreadable)
        return Recovery::kFailed;
    if (state == JournalState::kUnusable)
        return SetJournalAside(m_journalReason) ? Recovery::kSetAside : Recovery::kFailed;
    const bool forward = state == JournalState::kWritten && CanRollForward();
    int32_t unexplained = 0;
    if (state == JournalState::kDone)
        unexplained = RemoveKeptOriginals(false);
    else if (!forward)
        (void)RollBack(false, unexplained); // counts only
    if (unexplained > 0)
        return SetJournalAside(L"the files are not as it says") ? Recovery::kSetAside : Recovery::kFailed;

    Recovery recovery = Recovery::kFailed;
    if (state == JournalState::kDone) {
        recovery = RemoveKeptOriginals(true) == 0 ? Recovery::kFinished : Recovery::kFailed;
    } else if (forward) {
        recovery = RollForward() ? Recovery::kFinished : Recovery::kFailed;
    } else if (state != JournalState::kWritten || MarkJournalBack() == kOk) {
        // A roll-back, once begun, stays one.
        recovery = RollBack(true, unexplained) == Undo::kWhole ? Recovery::kUndone : Recovery::kFailed;
    }
    if (recovery != Recovery::kFailed)
        RemoveJournal();
    return recovery;
}

void CQVUDesquasher::PostRecoveryLine(Recovery recovery)
{
    switch (recovery) {
    case Recovery::kUndone:
        PostLine(Text(kTextRecoveryUndone), kLineBlack);
        break;
    case Recovery::kFinished:
        PostLine(Text(kTextRecoveryFinished), kLineBlack);
        break;
    case Recovery::kFailed:
        PostLine(Text(kTextRecoveryFailed), kLineRed);
        break;
    case Recovery::kSetAside:
        PostLine(Joined(Text(kTextRecoverySetAside), m_setAsideName), kLineRed);
        break;
    case Recovery::kNone:
        break;
    }
}

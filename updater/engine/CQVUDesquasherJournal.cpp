// The installation's journal beside the program, and the start's recovery of an installation
// that an earlier run left unfinished. The journal names only what the run itself is about to
// make or move, so the recovery never takes a user's own ".old" or ".tmp" file for ours.
#include <utility>

#include "AppHost.h"
#include "ArchiveNames.h"
#include "CQVUDesquasher.h"
#include "CSpanReader.h"
#include "FileOps.h"
#include "LocalTextIds.h"
#include "PathSplit.h"
#include "gCMemFile.h"

namespace {

const wchar_t* const kJournalName = L"updatejournal.qvj";
// Little-endian: the magic word, the entry count, per entry its flags (u8), its name's length in
// UTF-16 units (u32) and the name relative to the install target folder; the folder count, per
// folder its entry and the length of that entry's ".tmp" path prefix past the install target
// folder; the end word. The written word follows once every new file is written whole, the done
// word once every new file is in place.
const uint32_t kJournalMagic = 0x314A5651;   // "QVJ1"
const uint32_t kJournalEnd = 0x454A5651;     // "QVJE"
const uint32_t kJournalWritten = 0x574A5651; // "QVJW"
const uint32_t kJournalDone = 0x444A5651;    // "QVJD"
const uint32_t kMaxJournalSize = 64u << 20;
const uint32_t kMaxJournalEntries = 0xFFFFF;
const uint8_t kKnownFlags = 3;

gCResult WriteAll(HANDLE file, const void* bytes, uint32_t n)
{
    DWORD written = 0;
    if (!WriteFile(file, bytes, n, &written, nullptr) || written != n)
        return kStreamFailure;
    // On the disk before the change it announces.
    return FlushFileBuffers(file) ? kOk : kStreamFailure;
}

} // namespace

gCResult CQVUDesquasher::JournalPath(gCString& path) const
{
    IAppHost* app = GetAppHost();
    if (!app)
        return kBadParameter;
    return JoinFolderAndName(app->GetProgramFolder(), gCString(kJournalName), path);
}

gCResult CQVUDesquasher::WriteJournal()
{
    const int32_t base = m_targetFolder.GetStoredText().Length();
    gCMemFile bytes;
    QV_RETURN_IF_FAILED(bytes.WriteU32(kJournalMagic));
    QV_RETURN_IF_FAILED(bytes.WriteU32(static_cast<uint32_t>(m_targetPaths.Count())));
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        const gCString& target = m_targetPaths[i].GetStoredText();
        if (target.Length() <= base)
            return kBadParameter;
        QV_RETURN_IF_FAILED(bytes.WriteU8(m_entryFlags[i]));
        QV_RETURN_IF_FAILED(bytes.WriteU32(static_cast<uint32_t>(target.Length() - base)));
        QV_RETURN_IF_FAILED(bytes.WriteBytes(target.Text() + base, static_cast<uint32_t>(target.Length() - base) * 2));
    }
    QV_RETURN_IF_FAILED(bytes.WriteU32(static_cast<uint32_t>(m_madeFolders.Count())));
    for (int32_t k = 0; k < m_madeFolders.Count(); ++k) {
        QV_RETURN_IF_FAILED(bytes.WriteU32(static_cast<uint32_t>(m_madeFolders[k].entry)));
        QV_RETURN_IF_FAILED(bytes.WriteU32(static_cast<uint32_t>(m_madeFolders[k].length - base)));
    }
    QV_RETURN_IF_FAILED(bytes.WriteU32(kJournalEnd));

    // Its path was made by the recovery that every installation runs first.
    if (m_journalPath.IsEmpty())
        return kBadParameter;
    m_journal.Reset(CreateFileW(m_journalPath.Text(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_journal.IsValid())
        return kFileOpenFailure;
    const gCResult written = WriteAll(m_journal.Get(), bytes.GetData(), static_cast<uint32_t>(bytes.GetLength()));
    if (written != kOk)
        RemoveJournal(); // a journal cut short announces nothing; the write's failure counts
    return written;
}

gCResult CQVUDesquasher::MarkJournal(uint32_t mark)
{
    return m_journal.IsValid() ? WriteAll(m_journal.Get(), &mark, sizeof mark) : gCResult(kStreamFailure);
}

gCResult CQVUDesquasher::MarkJournalWritten()
{
    return MarkJournal(kJournalWritten);
}

gCResult CQVUDesquasher::MarkJournalDone()
{
    return MarkJournal(kJournalDone);
}

// Asks for no memory: its path was made with the journal.
void CQVUDesquasher::RemoveJournal()
{
    m_journal.Reset();
    if (!m_journalPath.IsEmpty())
        (void)DeletePathFile(m_journalPath); // one that stays is read at the next start, to the same end
}

// Fills the lists from the journal. A journal cut short was being written when its run ended,
// before the first change (kUnfinished); kDone: every new file was in place.
gCResult CQVUDesquasher::ReadJournal(const gCString& path, JournalState& state)
{
    state = JournalState::kUnfinished;
    CFileHandle file(CreateFileW(path.Text(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return kFileOpenFailure;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxJournalSize)
        return kOutOfRange;
    CMemBlockT<char> bytes;
    QV_RETURN_IF_FAILED(bytes.Resize(static_cast<int32_t>(size.QuadPart)));
    DWORD got = 0;
    if (bytes.Count() > 0 && (!ReadFile(file.Get(), bytes.Data(), static_cast<DWORD>(bytes.Count()), &got, nullptr) ||
                              got != static_cast<DWORD>(bytes.Count())))
        return kStreamFailure;

    CSpanReader reader(reinterpret_cast<const uint8_t*>(bytes.Data()), static_cast<uint64_t>(bytes.Count()));
    uint32_t word = 0, count = 0;
    if (reader.ReadU32(word) != kOk || word != kJournalMagic || reader.ReadU32(count) != kOk)
        return kOk;
    if (count > kMaxJournalEntries)
        return kGenericFailure;
    const gCString& folder = m_targetFolder.GetStoredText();
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t flags = 0;
        uint32_t units = 0;
        const uint8_t* name = nullptr;
        if (reader.ReadU8(flags) != kOk || reader.ReadU32(units) != kOk ||
            reader.Take(uint64_t(units) * 2, name) != kOk)
            return kOk;
        gCString relative;
        QV_RETURN_IF_FAILED(relative.SetTextN(reinterpret_cast<const wchar_t*>(name), static_cast<int32_t>(units)));
        // Only names below the installation folder, as the archive's own.
        if ((flags & ~kKnownFlags) != 0 || !IsSafeArchiveName(relative.Text(), relative.Length()))
            return kGenericFailure;
        gCString target;
        QV_RETURN_IF_FAILED(JoinFolderAndName(folder, relative, target));
        QV_RETURN_IF_FAILED(AddEntry(target, 0));
        m_entryFlags[static_cast<int32_t>(i)] = flags;
    }
    uint32_t folders = 0;
    if (reader.ReadU32(folders) != kOk)
        return kOk;
    for (uint32_t k = 0; k < folders; ++k) {
        uint32_t entry = 0, length = 0;
        if (reader.ReadU32(entry) != kOk || reader.ReadU32(length) != kOk)
            return kOk;
        if (entry >= count)
            return kGenericFailure;
        const gCString& temp = m_tempPaths[static_cast<int32_t>(entry)].GetStoredText();
        const uint64_t end = uint64_t(folder.Length()) + length;
        if (length == 0 || end >= static_cast<uint64_t>(temp.Length()) ||
            !IsPathSeparator(temp[static_cast<int32_t>(end) - 1]))
            return kGenericFailure;
        QV_RETURN_IF_FAILED(m_madeFolders.Add({static_cast<int32_t>(entry), static_cast<int32_t>(end)}));
    }
    if (reader.ReadU32(word) != kOk || word != kJournalEnd)
        return kOk;
    // A word cut short was never on the disk whole: the step after it had not begun.
    state = JournalState::kStarted;
    if (reader.ReadU32(word) == kOk && word == kJournalWritten)
        state = reader.ReadU32(word) == kOk && word == kJournalDone ? JournalState::kDone : JournalState::kAllWritten;
    return kOk;
}

CQVUDesquasher::Recovery CQVUDesquasher::RecoverInterrupted()
{
    if (JournalPath(m_journalPath) != kOk)
        return Recovery::kFailed;
    const gCString& path = m_journalPath;
    if (!FileTextExists(path))
        return Recovery::kNone;
    ClearParse();
    if (SetTargetFolder() != kOk)
        return Recovery::kFailed;
    JournalState state = JournalState::kUnfinished;
    Recovery recovery = Recovery::kFailed;
    if (ReadJournal(path, state) != kOk) {
        recovery = Recovery::kFailed;
    } else if (state == JournalState::kUnfinished) {
        LogLine(gCString(L"Removed the record of an installation that had changed nothing yet."));
        recovery = Recovery::kNone;
    } else if (state == JournalState::kDone) {
        RemoveKeptOriginals();
        recovery = Recovery::kFinished;
    } else if (state == JournalState::kAllWritten && !IsOwnProgramOld()) {
        // A copy never replaces its own running program: once that is the new one, or when it
        // is no file of the update, every new file is whole and the installation is finished.
        recovery = RollForward() ? Recovery::kFinished : Recovery::kFailed;
    } else {
        recovery = RollBack() ? Recovery::kUndone : Recovery::kFailed;
    }
    ClearParse();
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
    case Recovery::kNone:
        break;
    }
}

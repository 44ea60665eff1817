// The installation's journal beside the program: what a run is about to make or move, with the
// proof of every file it names, written whole before the first change. Its marks say how far
// the run came. The journal checks itself: damage is never read as a run cut short.
#include <algorithm>
#include <utility>

#include "AppHost.h"
#include "ArchiveFormat.h"
#include "ArchiveNames.h"
#include "CQVUDesquasher.h"
#include "CSpanReader.h"
#include "Checksum.h"
#include "FileIndexes.h"
#include "FileOps.h"
#include "PathSplit.h"
#include "gCMemFile.h"

namespace {

const wchar_t* const kJournalName = L"updatejournal.qvj";
// The journal is written under this name and renamed into place whole.
const wchar_t* const kUnfinishedSuffix = L".new";
// Little-endian: the magic word, the body's length, the body, the checksum of all three. The
// body: the time it was written (FILETIME), the entry count, per entry its flags (u8), its
// name's length in UTF-16 units (u32), the name relative to the install target folder, the new
// file's length (u64) and checksum (u32), and for a target that existed the original's length
// (u64), checksum (u32), index on its volume (u64) and which of them prove it (u8); the folder
// count, per folder its entry and the length of that entry's ".tmp" path prefix past the install
// target folder. Then the marks, eight bytes each: the word and its checksum, seeded with the
// journal's, so that a mark of another journal or a damaged one is known.
const uint32_t kJournalMagic = 0x324A5651;   // "QVJ2"
const uint32_t kJournalWritten = 0x574A5651; // "QVJW": every new file is on the disk whole
const uint32_t kJournalBack = 0x424A5651;    // "QVJB": the run turned back
const uint32_t kJournalDone = 0x444A5651;    // "QVJD": every new file is in place
const uint32_t kMarkSize = 8;
const uint8_t kKnownFlags = 3;
// No real journal comes near it: an archive names at most its table's worth of files.
const uint32_t kMaxJournalSize = 1u << 20;

gCResult WriteAll(HANDLE file, const void* bytes, uint32_t n)
{
    DWORD written = 0;
    if (!WriteFile(file, bytes, n, &written, nullptr) || written != n)
        return kStreamFailure;
    // On the disk before the change it announces.
    return FlushFileBuffers(file) ? kOk : kStreamFailure;
}

uint32_t MarkCheck(uint32_t journalCrc, uint32_t word)
{
    return Crc32(journalCrc, &word, sizeof word);
}

bool IsUnfinishedJournal(const gCString& path)
{
    CFileHandle file(CreateFileW(path.Text(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    uint32_t magic = 0;
    DWORD got = 0;
    if (!ReadFile(file.Get(), &magic, sizeof magic, &got, nullptr))
        return false;
    uint32_t expected = kJournalMagic;
    // Shorter than the magic: a prefix of it, as a write cut short leaves.
    return std::memcmp(&magic, &expected, got) == 0;
}

// The final path of an existing folder, without the "\\?\" the system puts before it; empty
// when it cannot be read.
gCString FinalPathOf(const wchar_t* folder)
{
    CFileHandle handle(CreateFileW(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    wchar_t text[MAX_PATH * 4] = {};
    const DWORD n = handle.IsValid() ? GetFinalPathNameByHandleW(handle.Get(), text, MAX_PATH * 4, 0) : 0;
    gCString path;
    if (n == 0 || n >= MAX_PATH * 4)
        return path;
    const wchar_t* start = text;
    if (n >= 4 && text[0] == L'\\' && text[1] == L'\\' && text[2] == L'?' && text[3] == L'\\')
        start += 4;
    if (path.SetText(start) != kOk)
        path.Clear();
    return path;
}

} // namespace

gCResult CQVUDesquasher::JournalPath(gCString& path) const
{
    IAppHost* app = GetAppHost();
    if (!app)
        return kBadParameter;
    return JoinFolderAndName(app->GetProgramFolder(), gCString(kJournalName), path);
}

gCResult CQVUDesquasher::UnfinishedJournalPath(gCString& path) const
{
    QV_RETURN_IF_FAILED(path.SetString(m_journalPath));
    return path.AppendText(kUnfinishedSuffix);
}

gCResult CQVUDesquasher::WriteJournal()
{
    const int32_t base = m_targetFolder.GetStoredText().Length();
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    m_journalStamp = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    gCMemFile body;
    QV_RETURN_IF_FAILED(body.WriteU32(now.dwLowDateTime));
    QV_RETURN_IF_FAILED(body.WriteU32(now.dwHighDateTime));
    QV_RETURN_IF_FAILED(body.WriteU32(static_cast<uint32_t>(m_targetPaths.Count())));
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        const gCString& target = m_targetPaths[i].GetStoredText();
        if (target.Length() <= base)
            return kBadParameter;
        const uint8_t flags = m_entryFlags[i] & kKnownFlags;
        QV_RETURN_IF_FAILED(body.WriteU8(flags));
        QV_RETURN_IF_FAILED(body.WriteU32(static_cast<uint32_t>(target.Length() - base)));
        QV_RETURN_IF_FAILED(body.WriteBytes(target.Text() + base, static_cast<uint32_t>(target.Length() - base) * 2));
        QV_RETURN_IF_FAILED(body.WriteU64(m_newProofs[i].size));
        QV_RETURN_IF_FAILED(body.WriteU32(m_newProofs[i].crc));
        if (flags & kTargetExisted) {
            const FileProof& old = m_oldProofs[i];
            QV_RETURN_IF_FAILED(body.WriteU64(old.size));
            QV_RETURN_IF_FAILED(body.WriteU32(old.crc));
            QV_RETURN_IF_FAILED(body.WriteU64(old.index));
            QV_RETURN_IF_FAILED(body.WriteU8(old.by));
        }
    }
    QV_RETURN_IF_FAILED(body.WriteU32(static_cast<uint32_t>(m_madeFolders.Count())));
    for (int32_t k = 0; k < m_madeFolders.Count(); ++k) {
        QV_RETURN_IF_FAILED(body.WriteU32(static_cast<uint32_t>(m_madeFolders[k].entry)));
        QV_RETURN_IF_FAILED(body.WriteU32(static_cast<uint32_t>(m_madeFolders[k].length - base)));
    }
    gCMemFile bytes;
    QV_RETURN_IF_FAILED(bytes.WriteU32(kJournalMagic));
    QV_RETURN_IF_FAILED(bytes.WriteU32(static_cast<uint32_t>(body.GetLength())));
    QV_RETURN_IF_FAILED(bytes.WriteBytes(body.GetData(), static_cast<uint32_t>(body.GetLength())));
    m_journalCrc = Crc32(0, bytes.GetData(), static_cast<size_t>(bytes.GetLength()));
    QV_RETURN_IF_FAILED(bytes.WriteU32(m_journalCrc));

    // Its path was made by the recovery that every installation runs first.
    if (m_journalPath.IsEmpty())
        return kBadParameter;
    gCString unfinished;
    QV_RETURN_IF_FAILED(UnfinishedJournalPath(unfinished));
    {
        CFileHandle file(
            CreateFileW(unfinished.Text(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid())
            return kFileOpenFailure;
        if (WriteAll(file.Get(), bytes.GetData(), static_cast<uint32_t>(bytes.GetLength())) != kOk) {
            file.Reset();
            (void)DeletePathFile(unfinished); // nothing was changed yet; the write's failure counts
            return kStreamFailure;
        }
    }
    const gCResult placed = MovePathFile(unfinished, m_journalPath, MoveDurability::kWriteThrough);
    if (placed != kOk) {
        (void)DeletePathFile(unfinished); // as above
        return placed;
    }
    m_journal.Reset(CreateFileW(m_journalPath.Text(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER end = {};
    if (!m_journal.IsValid() || !SetFilePointerEx(m_journal.Get(), end, nullptr, FILE_END)) {
        RemoveJournal(); // a journal that cannot take its marks announces nothing yet
        return kFileOpenFailure;
    }
    m_journalState = JournalState::kStarted;
    m_journalWasWritten = false;
    return kOk;
}

gCResult CQVUDesquasher::MarkJournal(uint32_t mark)
{
    if (!m_journal.IsValid())
        return kStreamFailure;
    const uint32_t record[2] = {mark, MarkCheck(m_journalCrc, mark)};
    QV_RETURN_IF_FAILED(WriteAll(m_journal.Get(), record, kMarkSize));
    if (mark == kJournalWritten) {
        m_journalState = JournalState::kWritten;
        m_journalWasWritten = true;
    } else if (mark == kJournalBack)
        m_journalState = JournalState::kTurnedBack;
    else if (mark == kJournalDone)
        m_journalState = JournalState::kDone;
    return kOk;
}

gCResult CQVUDesquasher::MarkJournalWritten()
{
    return MarkJournal(kJournalWritten);
}

gCResult CQVUDesquasher::MarkJournalDone()
{
    return MarkJournal(kJournalDone);
}

gCResult CQVUDesquasher::MarkJournalBack()
{
    return MarkJournal(kJournalBack);
}

// Asks for no memory: its path was made with the journal.
void CQVUDesquasher::RemoveJournal()
{
    m_journal.Reset();
    if (!m_journalPath.IsEmpty())
        (void)DeletePathFile(m_journalPath); // one that stays is read at the next start, to the same end
}

// A journal whose write was cut short never reached its name: the run changed nothing.
gCResult CQVUDesquasher::RemoveUnfinishedJournal()
{
    gCString unfinished;
    QV_RETURN_IF_FAILED(UnfinishedJournalPath(unfinished));
    if (FileTextExists(unfinished) && IsUnfinishedJournal(unfinished) && DeletePathFile(unfinished) == kOk)
        LogLine(gCString(L"Removed the record of an installation that had changed nothing yet."));
    return kOk;
}

// Fills the lists from the journal and reads how far its run came. The marks are checked one by
// one; a mark cut short was never on the disk whole, so the step after it had not begun. The
// journal is opened again for marks of the recovery.
CQVUDesquasher::JournalState CQVUDesquasher::ReadJournal(const gCString& path)
{
    m_journalReason = L"it is damaged";
    CFileHandle file(CreateFileW(path.Text(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    // A journal that someone holds, or that cannot be read now, is no damaged one: it waits.
    if (!file.IsValid())
        return JournalState::kUnreadable;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size))
        return JournalState::kUnreadable;
    if (size.QuadPart > kMaxJournalSize)
        return JournalState::kUnusable;
    CMemBlockT<char> bytes;
    if (bytes.Resize(static_cast<int32_t>(size.QuadPart)) != kOk)
        return JournalState::kUnreadable;
    DWORD got = 0;
    if (bytes.Count() > 0 && (!ReadFile(file.Get(), bytes.Data(), static_cast<DWORD>(bytes.Count()), &got, nullptr) ||
                              got != static_cast<DWORD>(bytes.Count())))
        return JournalState::kUnreadable;

    const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.Data());
    CSpanReader reader(data, static_cast<uint64_t>(bytes.Count()));
    uint32_t magic = 0, length = 0, crc = 0;
    const uint8_t* body = nullptr;
    if (reader.ReadU32(magic) != kOk || magic != kJournalMagic || reader.ReadU32(length) != kOk ||
        reader.Take(length, body) != kOk || reader.ReadU32(crc) != kOk)
        return JournalState::kUnusable;
    const bool whole = Crc32(0, data, static_cast<size_t>(reader.Position() - 4)) == crc;
    // A damaged journal's names are still worth the log, as far as they can be read.
    const gCResult parsed = ParseJournal(body, length);
    if (parsed == kOutOfMemory)
        return JournalState::kUnreadable;
    if (!whole || parsed != kOk)
        return JournalState::kUnusable;
    m_journalCrc = crc;

    JournalState state = JournalState::kStarted;
    m_journalWasWritten = false;
    while (reader.Remaining() >= kMarkSize) {
        uint32_t word = 0, check = 0;
        (void)reader.ReadU32(word); // the loop's condition holds room for both
        (void)reader.ReadU32(check);
        if (check != MarkCheck(crc, word))
            return JournalState::kUnusable;
        if (word == kJournalWritten && state == JournalState::kStarted) {
            state = JournalState::kWritten;
            m_journalWasWritten = true;
        } else if (word == kJournalBack && state != JournalState::kDone) {
            state = JournalState::kTurnedBack;
        } else if (word == kJournalDone && state == JournalState::kWritten) {
            state = JournalState::kDone;
        } else {
            return JournalState::kUnusable;
        }
    }
    if (!StaysInside()) {
        m_journalReason = L"a name leads outside the installation";
        return JournalState::kUnusable;
    }
    if (!NamesEachFileOnce()) {
        m_journalReason = L"it names a file more than once";
        return JournalState::kUnusable;
    }
    // A mark cut short is cut off, so that the next one lies where a reader looks for it.
    LARGE_INTEGER end = {};
    end.QuadPart = static_cast<LONGLONG>(reader.Position());
    if (!SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.Get()))
        return JournalState::kUnreadable;
    m_journal = std::move(file);
    m_journalState = state;
    return state;
}

gCResult CQVUDesquasher::ParseJournal(const uint8_t* body, uint32_t length)
{
    CSpanReader reader(body, length);
    uint32_t stampLow = 0, stampHigh = 0, count = 0;
    QV_RETURN_IF_FAILED(reader.ReadU32(stampLow));
    QV_RETURN_IF_FAILED(reader.ReadU32(stampHigh));
    m_journalStamp = (uint64_t(stampHigh) << 32) | stampLow;
    QV_RETURN_IF_FAILED(reader.ReadU32(count));
    if (count > QVUArchive::kMaxArchiveEntries)
        return kOutOfRange;
    const gCString& folder = m_targetFolder.GetStoredText();
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t flags = 0;
        uint32_t units = 0;
        const uint8_t* name = nullptr;
        FileProof fresh = {};
        FileProof old = {};
        QV_RETURN_IF_FAILED(reader.ReadU8(flags));
        QV_RETURN_IF_FAILED(reader.ReadU32(units));
        QV_RETURN_IF_FAILED(reader.Take(uint64_t(units) * 2, name));
        QV_RETURN_IF_FAILED(reader.ReadU64(fresh.size));
        QV_RETURN_IF_FAILED(reader.ReadU32(fresh.crc));
        fresh.by = kByContent;
        if (flags & kTargetExisted) {
            QV_RETURN_IF_FAILED(reader.ReadU64(old.size));
            QV_RETURN_IF_FAILED(reader.ReadU32(old.crc));
            QV_RETURN_IF_FAILED(reader.ReadU64(old.index));
            QV_RETURN_IF_FAILED(reader.ReadU8(old.by));
        }
        gCString relative;
        QV_RETURN_IF_FAILED(relative.SetTextN(reinterpret_cast<const wchar_t*>(name), static_cast<int32_t>(units)));
        // Only names below the installation folder, as the archive's own.
        if ((flags & ~kKnownFlags) != 0 || !IsSafeArchiveName(relative.Text(), relative.Length()))
            return kGenericFailure;
        gCString target;
        QV_RETURN_IF_FAILED(JoinFolderAndName(folder, relative, target));
        QV_RETURN_IF_FAILED(AddEntry(target, fresh.size));
        m_entryFlags[static_cast<int32_t>(i)] = flags;
        m_newProofs[static_cast<int32_t>(i)] = fresh;
        m_oldProofs[static_cast<int32_t>(i)] = old;
    }
    uint32_t folders = 0;
    QV_RETURN_IF_FAILED(reader.ReadU32(folders));
    if (folders > reader.Remaining() / 8)
        return kOutOfRange;
    for (uint32_t k = 0; k < folders; ++k) {
        uint32_t entry = 0, length = 0;
        QV_RETURN_IF_FAILED(reader.ReadU32(entry));
        QV_RETURN_IF_FAILED(reader.ReadU32(length));
        if (entry >= count)
            return kGenericFailure;
        const gCString& temp = m_tempPaths[static_cast<int32_t>(entry)].GetStoredText();
        const uint64_t end = uint64_t(folder.Length()) + length;
        if (length == 0 || end >= static_cast<uint64_t>(temp.Length()) ||
            !IsPathSeparator(temp[static_cast<int32_t>(end) - 1]))
            return kGenericFailure;
        QV_RETURN_IF_FAILED(m_madeFolders.Add({static_cast<int32_t>(entry), static_cast<int32_t>(end)}));
    }
    if (reader.Remaining() != 0)
        return kGenericFailure;
    // Two names of one file would keep, replace or restore each other's files.
    if (CheckDistinctTargets() != kOk) {
        m_journalReason = L"it names a file more than once";
        return kGenericFailure;
    }
    return kOk;
}

// Every folder on the way to a file that the journal names, as far as it exists, lies inside
// the installation folder once links are followed.
bool CQVUDesquasher::StaysInside() const
{
    const gCString root = FinalPathOf(m_targetFolder.GetStoredText().Text());
    if (root.IsEmpty())
        return false;
    gCString folder;
    gCString last;
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        const gCString& target = m_targetPaths[i].GetStoredText();
        int32_t end = target.Length();
        while (end > 0 && !IsPathSeparator(target[end - 1]))
            --end;
        // The nearest folder of the file that exists.
        for (;;) {
            if (folder.SetTextN(target.Text(), end) != kOk)
                return false;
            const DWORD attributes = GetFileAttributesW(folder.Text());
            if (attributes != INVALID_FILE_ATTRIBUTES)
                break;
            --end;
            while (end > 0 && !IsPathSeparator(target[end - 1]))
                --end;
            if (end <= m_targetFolder.GetStoredText().Length())
                break;
        }
        if (!last.IsUnset() && folder.EqualsNoCase(last.Text()))
            continue;
        const gCString final = FinalPathOf(folder.Text());
        const int32_t n = root.Length();
        if (final.IsEmpty() || final.Length() < n || !SameArchiveName(final.Text(), n, root.Text(), n) ||
            (final.Length() > n && !IsPathSeparator(final[n]) && !IsPathSeparator(root[n - 1])))
            return false;
        if (last.SetString(folder) != kOk)
            last.Clear();
    }
    return true;
}

bool CQVUDesquasher::NamesEachFileOnce()
{
    CFileIndexes indexes;
    CMemBlockT<uint64_t> seen;
    if (seen.Resize(m_targetPaths.Count()) != kOk)
        return false;
    int32_t count = 0;
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        const gCString& target = m_targetPaths[i].GetStoredText();
        const DWORD attributes = GetFileAttributesW(target.Text());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        uint64_t index = 0, size = 0;
        bool found = false;
        if (indexes.Find(target, index, size, found) != kOk || !found)
            return false;
        seen.Data()[count++] = index;
    }
    std::sort(seen.Data(), seen.Data() + count);
    return std::adjacent_find(seen.Data(), seen.Data() + count) == seen.Data() + count;
}

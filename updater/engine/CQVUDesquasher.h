// The updater's installer: reads and unpacks an update archive, checks that it is meant for
// this installation and that every file it replaces may be written, writes the new files as
// ".tmp", keeps the old ones as ".old", swaps them in and starts the program the install
// script names. Before its first change it records what it is about to do beside the program
// (the journal); when keeping or swapping fails, or when the next start finds the record of a run
// that was killed, the same code puts every file back, or finishes a run whose new files were
// all in place. The application owns one for its whole run; everything runs on the UI thread.
#pragma once
#include <cstdint>

#include "CMemBlockT.h"
#include "CRightsUser.h"
#include "UpdaterHost.h"
#include "WinHandle.h"
#include "gCArray.h"
#include "gCFRef.h"
#include "gCFolderRef.h"
#include "gCStream.h"
#include "gCString.h"
#include "gCStringArray.h"

class CFileIndexes;
class CFolderNames;
class CSpanReader;

class CQVUDesquasher {
public:
    explicit CQVUDesquasher(IUpdaterHost& host);
    virtual ~CQVUDesquasher();
    CQVUDesquasher(const CQVUDesquasher&) = delete;
    CQVUDesquasher& operator=(const CQVUDesquasher&) = delete;

    // 0 installed with no program to start (also once installed before); 1 a step failed and
    // was reported; 2 control passed to the slave copy or to the started program; another
    // code: the program to start is missing (16) or the shell refused it.
    gCResult DesquashAndInstall(gCStream& archive);

    // The steps, in the driver's order. Each returns 0 on success.
    gCResult ReadArchiveFile(gCStream& archive);
    gCResult ParseUpdateArchive();
    gCResult CheckScriptTarget();
    gCResult CheckWriteAccess();
    gCResult WriteNewFiles();
    gCResult KeepOldFiles();
    gCResult MoveNewFiles();
    gCResult DeleteOldFiles();
    gCResult RunExecuteEntries();
    // Frees the unpacked archive and lets the host free the packed one, before a program is
    // started: a process start under Wine copies the caller's memory, and its end frees it.
    void ReleaseArchive();

    // What the start found of an installation that an earlier run left unfinished.
    enum class Recovery { kNone, kUndone, kFinished, kFailed, kSetAside };
    // Finishes or undoes the installation that the journal beside the program describes,
    // touching only the files it names and only where the disk shows what the run did there;
    // the journal goes once that is done. kFailed keeps it (a file it needs could not be
    // changed: the next start tries again) and every installation of this run is then refused.
    // kSetAside: a journal that cannot be acted on was kept under another name and the
    // updater goes on.
    Recovery RecoverInterrupted();
    // The status line that says what the recovery did; none for kNone.
    void PostRecoveryLine(Recovery recovery);

    // Refuses every later run; never cleared.
    void SetStopFlag() { m_stopFlag = 1; }
    uint32_t GetInstalledFlag() const { return m_installedFlag; }
    IUpdaterHost& GetHost() { return m_host; }
    // The user as the rights check looked it up in this run.
    CRightsUser& GetRightsUser() { return m_rightsUser; }

    // What the parser found.
    enum ScriptKey { kFileName, kExecute, kType, kOS, kBuild, kVersionNumber, kScriptKeyCount };
    const gCString& GetScriptValue(ScriptKey key) const { return m_scriptValues[key]; }
    const gCString& GetScriptText() const { return m_scriptText; }
    int32_t GetEntryCount() const { return m_targetPaths.Count(); }
    const gCFRef& GetTargetPath(int32_t i) const { return m_targetPaths[i]; }
    const gCFRef& GetTemporaryPath(int32_t i) const { return m_tempPaths[i]; }
    const gCFRef& GetOldPath(int32_t i) const { return m_oldPaths[i]; }
    uint64_t GetFileSize(int32_t i) const { return m_sizes[i]; }
    uint32_t GetHeaderSize() const { return m_headerSize; }
    const CMemBlockT<char>& GetUnpackedArchive() const { return m_unpacked; }

private:
    // Unset when memory runs out.
    gCString Text(uint32_t n) const;
    // A line whose text was lost to memory fails the step that posted it.
    void PostLine(gCString text, uint32_t colour);
    void LogLine(gCString text);
    gCResult Checked(gCResult stepResult) const;
    void ClearParse();
    // The installation folder, from the application: 5, or 6 when there is none.
    gCResult SetTargetFolder();
    gCResult ParseScript();
    gCResult ReadEntry(CSpanReader& reader);
    // Adds an entry's target path with its ".tmp" and ".old" paths.
    gCResult AddEntry(const gCString& target, uint64_t size);
    gCResult CheckDistinctTargets() const;
    gCResult WriteRecord(int32_t i, uint64_t position);
    gCResult RecordBytes(int32_t i, uint64_t position, const uint8_t*& bytes) const;
    gCResult MakeFoldersOf(int32_t i);
    gCResult RemoveStaleFiles(int32_t i, CFolderNames& folderNames);
    // Moves the entry's new file to its target.
    gCResult MoveIn(int32_t i);
    gCResult SaveSourceRecord();
    // Everything that the steps after the last one that can fail, and the rollback, need of
    // memory, asked for before the first change.
    gCResult PrepareFinish();
    void TickEntry(int32_t i);
    // The folders that the new files need and that are missing, found before the first change.
    gCResult PlanFolders();
    // The journal: written whole under a name of its own and renamed into place before the
    // first change, so that it is there whole or not at all; marks follow, each flushed before
    // the step that relies on it.
    gCResult JournalPath(gCString& path) const;
    gCResult WriteJournal();
    gCResult MarkJournalWritten();
    gCResult MarkJournalDone();
    gCResult MarkJournalBack();
    gCResult MarkJournal(uint32_t mark);
    void RemoveJournal();
    gCResult RemoveUnfinishedJournal();
    gCResult UnfinishedJournalPath(gCString& path) const;
    // kUnreadable: it cannot be read or written now (held, memory): the next start tries again.
    // kUnusable: damaged, or naming what no run may touch: it is set aside.
    enum class JournalState { kUnreadable, kUnusable, kStarted, kWritten, kTurnedBack, kDone };
    JournalState ReadJournal(const gCString& path);
    gCResult ParseJournal(const uint8_t* body, uint32_t length);
    // False when a name of the journal, or a folder on its way, leads outside the installation.
    bool StaysInside() const;
    // The run's record of what each target was and what its new file is, made before the
    // journal that carries it.
    gCResult ProveOriginal(int32_t i, CFileIndexes& indexes);
    gCResult ProveNewFiles();

    // What the disk shows at an entry's three names, each looked at once.
    enum class Found : uint8_t { kMissing, kOriginal, kNew, kOther };
    struct EntryLook {
        Found target, old, temp;
    };
    Found Look(const gCFRef& path, int32_t i, bool mayBeOriginal, bool mayBeNew);
    EntryLook LookAt(int32_t i);
    bool IsNewFileCutShort(int32_t i) const;
    bool WrittenSinceJournal(uint64_t fileTime) const;
    // False when one existing file is named twice, by two spellings of a name or two names of
    // one file, or by a name its folder does not list (a short alias).
    bool NamesEachFileOnce();
    bool IsCopyCutShort(int32_t i);
    bool IsOwnProgram(int32_t i) const;
    gCResult RestoreOriginal(const gCFRef& old, const gCFRef& target);
    // Keeps the original of an entry beside it, or moves it aside and the new file in at once.
    gCResult KeepOriginal(int32_t i);
    Recovery RecoverFromJournal();
    // The run turns back: the journal says so first, so that no later start goes forward.
    enum class Undo { kWhole, kTargetsBack, kNotBack };
    Undo TurnBack();
    // Puts every target back first, then removes what the run made and can prove its own; a
    // new file that someone holds stays for the next start (kTargetsBack). unexplained counts
    // the entries whose files are not as the run left them: nothing is done there.
    // act false only counts.
    Undo RollBack(bool act, int32_t& unexplained);
    // The run ended while it removed the old files: the rest go as they would have. The count
    // of the old files that are not as the journal says, which stay.
    int32_t RemoveKeptOriginals(bool act);
    // Keeps and moves in what the run had not yet; false when a file could not be moved.
    bool RollForward();
    // True when every new file is there and proven whole, and none is this copy's own program
    // still waiting to replace it.
    bool CanRollForward();
    // A journal that cannot be acted on is kept under another name; its names go to the log.
    bool SetJournalAside(const wchar_t* reason);
    // A target that was read-only before the run is marked so again.
    void RestoreReadOnly(int32_t i);

    IUpdaterHost& m_host;
    uint32_t m_stopFlag = 0;
    // 1 when the target check failed because the self-update could not start, which says so
    // itself.
    uint32_t m_selfUpdateFailed = 0;
    gCStream* m_archive = nullptr;
    uint32_t m_tableSize = 0;
    uint32_t m_headerSize = 0;
    gCString m_scriptText;
    gCFolderRef m_targetFolder;
    CMemBlockT<char> m_unpacked;
    gCArray<gCFRef> m_tempPaths;
    gCArray<gCFRef> m_oldPaths;
    gCArray<gCFRef> m_targetPaths;
    gCArray<uint64_t> m_sizes;
    uint32_t m_installedFlag = 0;
    gCString m_scriptValues[kScriptKeyCount];
    CRightsUser m_rightsUser;

    // For putting the installation back: what this run found and did to each entry's target
    // (EntryFlag bits), and the folders that were missing before it, outermost first, each as
    // the length of the prefix of an entry's ".tmp" path that names it. The journal holds both.
    // kMovedIn is this run's alone and never reaches the journal, written before it is set.
    enum EntryFlag : uint8_t { kTargetExisted = 1, kMadeWritable = 2, kMovedIn = 4 };
    // What the journal knows of a file: its length and checksum, and for an original kept
    // under a second name or moved aside, its index on the volume of its folder.
    struct FileProof {
        uint64_t size;
        uint32_t crc;
        uint64_t index;
        uint8_t by; // ProofBy bits
    };
    enum ProofBy : uint8_t { kByContent = 1, kByIdentity = 2 };
    struct MadeFolder {
        int32_t entry;
        int32_t length;
    };
    gCArray<uint8_t> m_entryFlags;
    gCArray<MadeFolder> m_madeFolders;
    gCArray<FileProof> m_newProofs;
    gCArray<FileProof> m_oldProofs;
    CFileHandle m_journal;
    uint32_t m_journalCrc = 0;
    // When the journal was written (FILETIME): a run's new file was written after it.
    uint64_t m_journalStamp = 0;
    // The run had marked every new file written before it turned back.
    bool m_journalWasWritten = false;
    // Why the journal could not be used, for the log.
    const wchar_t* m_journalReason = L"";
    JournalState m_journalState = JournalState::kStarted;
    gCString m_journalPath;
    gCString m_setAsideName;
    // Room for reading a file whole to its checksum, taken before the first change.
    static const int32_t kReadBlockSize = 1 << 20;
    CMemBlockT<char> m_readBlock;
    // Room for any folder text of the run, reserved before the first change.
    gCString m_folderText;
    uint32_t m_textLost = 0;

    // The lines of the last steps, made before the first change: once the old files go,
    // nothing may fail for want of memory.
    enum FinishLine { kDeletingLine, kBlankLine, kCaptionText, kInstalledLine, kFinishLineCount };
    gCString m_finishLines[kFinishLineCount];
    gCStringArray m_deleteLogLines;
    gCStringArray m_deleteFailedLines;
    gCStringArray m_cannotDeleteLines;
};

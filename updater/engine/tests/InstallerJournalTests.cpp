// The start's recovery from the journal of a killed installation, on real files: a whole journal
// puts every file back while new files were being written and finishes the installation once
// they all were; a damaged one, or one that names what no run did there, is set aside and
// changes nothing; one met without an installation folder is kept for the next start.
#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "FileOperationHook.h"
#include "HostServer.h"
#include "Programs.h"
#include "TestJournal.h"
#include "Wait.h"

#include <algorithm>

namespace {

typedef CQVUDesquasher::Recovery Recovery;

class InstallerJournal : public testing::Test, public EngineFixture {
protected:
    void SetUp() override { Lay(kOriginal, L"readme.txt"); }

    // Installs in a process of its own that ends abruptly right after the first change of the
    // kind; true when it did.
    bool KillAtFirst(FileOperation kind)
    {
        const std::wstring archive = temp.Path() + L"update.qvu";
        WriteWholeFile(gCString(archive.c_str()), Archive());
        auto bare = [](const std::wstring& folder) { return folder.substr(0, folder.size() - 1); };
        for (int k = 1; k < 100; ++k) {
            StartFromTheOriginal();
            const DWORD code =
                RunProgram(L"\"" + ProgramFolder() + L"qvu_install_runner.exe\" \"" + archive + L"\" \"" +
                           bare(installFolder) + L"\" \"" + bare(programFolder) + L"\" " + std::to_wstring(k));
            if (code == 100 + static_cast<DWORD>(kind))
                return true;
        }
        return false;
    }
    // The original installation and no journal.
    void StartFromTheOriginal()
    {
        const FileTree tree = Tree();
        for (auto item = tree.rbegin(); item != tree.rend(); ++item) {
            const std::wstring path = installFolder + item->first;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            item->first.back() == L'\\' ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
        }
        DeleteFileW(Journal().Text());
        Lay(kOriginal, L"readme.txt");
    }
    gCString Journal() const { return gCString((programFolder + L"updatejournal.qvj").c_str()); }
    gCString SetAside() const { return gCString((programFolder + L"updatejournal-1.qvj").c_str()); }
    // The journal is set aside as it is, and nothing of the installation changes.
    void ExpectSetAside(const Bytes& journal, const FileTree& tree, const std::string& what)
    {
        SCOPED_TRACE(what);
        WriteWholeFile(Journal(), journal);
        EXPECT_EQ(Recovery::kSetAside, desquasher.RecoverInterrupted());
        EXPECT_EQ(tree, Tree());
        EXPECT_EQ(journal, ReadWholeFile(SetAside()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(Journal().Text()));
        DeleteFileW(SetAside().Text());
    }
};

} // namespace

// Damage is never read as a run cut short: every cut and every flipped byte of a real journal
// sets it aside untouched, but for a mark cut short, which was never on the disk whole.
TEST_F(InstallerJournal, ADamagedJournalIsSetAsideAndAWholeOneFinishesTheRun)
{
    ASSERT_TRUE(KillAtFirst(FileOperation::KeepOld));
    const Bytes journal = ReadWholeFile(Journal());
    const FileTree killed = Tree();
    ASSERT_NE(kOriginal, killed);
    const size_t header = journal.size() - 8; // the one mark: every new file written
    for (size_t cut = 0; cut < header; cut += 3)
        ExpectSetAside(Bytes(journal.begin(), journal.begin() + static_cast<std::ptrdiff_t>(cut)), killed,
                       "cut at " + std::to_string(cut));
    for (size_t at = 0; at < journal.size(); at += 2) {
        Bytes damaged = journal;
        damaged[at] ^= static_cast<uint8_t>(1u << (at % 8));
        ExpectSetAside(damaged, killed, "bit flipped at " + std::to_string(at));
    }
    WriteWholeFile(Journal(), journal);
    EXPECT_EQ(Recovery::kFinished, desquasher.RecoverInterrupted());
    EXPECT_EQ(kUpdated, Tree());
    EXPECT_EQ(Recovery::kNone, desquasher.RecoverInterrupted());
}

// Cut inside its mark, the journal of that run says no new file was surely written: the run
// is undone, the read-only mark and all.
TEST_F(InstallerJournal, AMarkCutShortTurnsTheRunBack)
{
    ASSERT_TRUE(KillAtFirst(FileOperation::KeepOld));
    const Bytes journal = ReadWholeFile(Journal());
    WriteWholeFile(Journal(), Bytes(journal.begin(), journal.end() - 3));
    EXPECT_EQ(Recovery::kUndone, desquasher.RecoverInterrupted());
    EXPECT_EQ(kOriginal, Tree());
    EXPECT_TRUE(ReadOnly(L"readme.txt"));
    EXPECT_TRUE(ReadWholeFile(Journal()).empty());
}

TEST_F(InstallerJournal, OnceEveryNewFileWasWrittenTheInstallationIsFinished)
{
    for (FileOperation kind : {FileOperation::KeepOld, FileOperation::MoveNew, FileOperation::DeleteOld}) {
        ASSERT_TRUE(KillAtFirst(kind));
        EXPECT_EQ(Recovery::kFinished, desquasher.RecoverInterrupted());
        EXPECT_EQ(kUpdated, Tree());
        EXPECT_TRUE(ReadWholeFile(Journal()).empty());
    }
}

// Killed while it copied the program aside: the copy cut short is known for one, forward and
// back alike, and never left behind.
TEST_F(InstallerJournal, AProgramsCopyCutShortGivesWayEitherWay)
{
    for (bool back : {false, true}) {
        ASSERT_TRUE(KillAtFirst(FileOperation::KeepOld));
        const gCString copy((installFolder + L"app.exe.old").c_str());
        const Bytes whole = ReadWholeFile(copy);
        ASSERT_FALSE(whole.empty());
        WriteWholeFile(copy, Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)));
        if (back) {
            Bytes journal = ReadWholeFile(Journal());
            journal.resize(journal.size() - 3); // its written mark cut short
            WriteWholeFile(Journal(), journal);
        }
        EXPECT_EQ(back ? Recovery::kUndone : Recovery::kFinished, desquasher.RecoverInterrupted());
        EXPECT_EQ(back ? kOriginal : kUpdated, Tree());
    }
}

// One file not as the journal says stops the whole recovery before it changes anything, even
// where another file could have been put back.
TEST_F(InstallerJournal, OneFileNotAsTheJournalSaysChangesNothingAtAll)
{
    ASSERT_TRUE(KillAtFirst(FileOperation::MoveNew));
    const std::wstring tampered = installFolder + L"readme.txt.tmp";
    Bytes other = ReadWholeFile(gCString(tampered.c_str()));
    other.push_back('!');
    WriteWholeFile(gCString(tampered.c_str()), other);
    const Bytes journal = ReadWholeFile(Journal());
    ExpectSetAside(journal, Tree(), "a new file changed after the kill");
}

// Journals whose every mark is whole but that name files no run made: nothing is deleted,
// replaced or marked read-only, and each is set aside.
TEST_F(InstallerJournal, AJournalThatNamesWhatNoRunDidThereChangesNothing)
{
    using namespace TestJournal;
    WriteWholeFile(gCString((installFolder + L"notes.txt").c_str()), Ansi("the user's notes"));
    WriteWholeFile(gCString((installFolder + L"notes.txt.tmp").c_str()), Ansi("the user's draft"));
    WriteWholeFile(gCString((installFolder + L"notes.txt.old").c_str()), Ansi("the user's old notes"));
    const std::wstring outside = temp.Path() + L"outside\\";
    CreateDirectoryW(outside.c_str(), nullptr);
    WriteWholeFile(gCString((outside + L"mine.dat").c_str()), Ansi("beyond the installation"));
    ASSERT_EQ(0u, RunProgram(L"/bin/ln -s " + HostServer::HostPath(outside) + L" " +
                             HostServer::HostPath(installFolder + L"linked")));
    ASSERT_TRUE(WaitUntil(
        [&] { return GetFileAttributesW((installFolder + L"linked\\mine.dat").c_str()) != INVALID_FILE_ATTRIBUTES; },
        nullptr, 5000));
    // The product's file was written long before any journal; a long name has a short alias.
    {
        CFileHandle file(CreateFileW((installFolder + L"keep.cfg").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        const FILETIME past = {0, 0x01D00000};
        ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &past));
    }
    WriteWholeFile(gCString((installFolder + L"a long file name.dat").c_str()), Ansi("long"));
    wchar_t alias[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameW((installFolder + L"a long file name.dat").c_str(), alias, MAX_PATH));
    const std::wstring aliasName = std::wstring(alias).substr(std::wstring(alias).rfind(L'\\') + 1);
    ASSERT_NE(aliasName, L"a long file name.dat");
    const FileTree tree = Tree();

    Entry notes = NewFile(L"notes.txt", Ansi("the user's draft"));
    notes.newSize += 1; // its ".tmp" is not the run's
    Entry notesOriginal = notes;
    OriginalIs(notesOriginal, installFolder + L"readme.txt"); // another file's identity
    notesOriginal.flags |= kMadeWritable;
    Entry user = NewFile(L"keep.cfg", Ansi("an update's keep.cfg"));
    Entry app = NewFile(L"app.exe", Ansi("x"));
    // Kept under its long name, and by its alias the run's new file, of the same bytes.
    Entry longName = NewFile(L"a long file name.dat", Ansi("x"));
    OriginalIs(longName, installFolder + L"a long file name.dat");
    Entry appAgain = NewFile(L"APP.EXE", Ansi("x"));
    Entry climbing = NewFile(L"..\\outside\\mine.dat", Ansi("y"));
    Entry linked = NewFile(L"linked\\mine.dat", Ansi("beyond the installation"));
    const struct {
        const char* what;
        Bytes journal;
    } cases[] = {
        {"a user's files by a name like the run's", Seal({notes}, {kWritten, kBack})},
        {"a user's file as an original", Seal({notesOriginal}, {kWritten})},
        {"a file the update does not bring", Seal({user}, {kWritten, kDone})},
        {"a product file before anything was kept", Seal({user}, {})},
        {"one file by two names", Seal({app, appAgain}, {kWritten})},
        {"an old file called the run's new one", Seal({NewFile(L"keep.cfg", Ansi("untouched"))}, {kWritten, kBack})},
        {"a file by its long name and its alias",
         Seal({longName, NewFile(aliasName, Ansi("long"))}, {kWritten, kBack})},
        {"a name that climbs out", Seal({climbing}, {kWritten})},
        {"a folder link out of the installation", Seal({linked}, {kWritten})},
    };
    for (const auto& c : cases) {
        ExpectSetAside(c.journal, tree, c.what);
        EXPECT_EQ(Ansi("beyond the installation"), ReadWholeFile(gCString((outside + L"mine.dat").c_str())));
    }
}

// Without an installation folder nothing can be proven, and a journal that someone holds
// cannot be read: either waits for the next start, untouched, and is then acted on.
TEST_F(InstallerJournal, WithoutAnInstallationFolderOrWhileHeldTheJournalWaits)
{
    ASSERT_TRUE(KillAtFirst(FileOperation::KeepOld));
    const Bytes journal = ReadWholeFile(Journal());
    const FileTree killed = Tree();
    const gCString folder = app.secondFolder;
    app.secondFolder = gCString(L"");
    EXPECT_EQ(Recovery::kFailed, desquasher.RecoverInterrupted());
    EXPECT_EQ(killed, Tree());
    EXPECT_EQ(journal, ReadWholeFile(Journal()));
    app.secondFolder = folder;
    {
        CFileHandle holder(
            CreateFileW(Journal().Text(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.IsValid());
        EXPECT_EQ(Recovery::kFailed, desquasher.RecoverInterrupted());
        EXPECT_EQ(killed, Tree());
    }
    EXPECT_EQ(journal, ReadWholeFile(Journal()));
    EXPECT_EQ(Recovery::kFinished, desquasher.RecoverInterrupted());
    EXPECT_EQ(kUpdated, Tree());
}

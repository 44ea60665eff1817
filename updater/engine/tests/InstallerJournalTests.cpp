// The start's recovery from the journal of a killed installation, on real files: a journal cut
// short changes nothing, a whole one puts every file back while new files were being written
// and finishes the installation once they all were, and a journal that names a path outside the
// installation, or one met without an installation folder, is refused.
#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "FileOperationHook.h"
#include "Programs.h"

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
};

} // namespace

TEST_F(InstallerJournal, ACutJournalChangesNothingAndAWholeOnePutsEveryFileBack)
{
    ASSERT_TRUE(KillAtFirst(FileOperation::FinishNew));
    const Bytes journal = ReadWholeFile(Journal());
    const FileTree killed = Tree();
    ASSERT_NE(kOriginal, killed);
    for (size_t cut = 0; cut < journal.size(); ++cut) {
        WriteWholeFile(Journal(), Bytes(journal.begin(), journal.begin() + static_cast<std::ptrdiff_t>(cut)));
        EXPECT_EQ(Recovery::kNone, desquasher.RecoverInterrupted()) << cut;
        EXPECT_EQ(killed, Tree()) << cut;
        EXPECT_TRUE(ReadWholeFile(Journal()).empty()) << cut;
    }
    WriteWholeFile(Journal(), journal);
    EXPECT_EQ(Recovery::kUndone, desquasher.RecoverInterrupted());
    EXPECT_EQ(kOriginal, Tree());
    EXPECT_TRUE(ReadOnly(L"readme.txt"));
    EXPECT_EQ(Recovery::kNone, desquasher.RecoverInterrupted());
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

// A name that climbs out of the installation: nothing is touched and the journal stays.
TEST_F(InstallerJournal, ANameOutsideTheInstallationIsRefused)
{
    ASSERT_TRUE(KillAtFirst(FileOperation::KeepOld));
    Bytes journal = ReadWholeFile(Journal());
    const FileTree killed = Tree();
    // Without an installation folder the names would be taken from the drive's root.
    const gCString folder = app.secondFolder;
    app.secondFolder = gCString(L"");
    EXPECT_EQ(Recovery::kFailed, desquasher.RecoverInterrupted());
    EXPECT_EQ(killed, Tree());
    EXPECT_EQ(journal, ReadWholeFile(Journal()));
    app.secondFolder = folder;
    // The first entry's name "app.exe" becomes "..\\aexe".
    const Bytes name = {'a', 0, 'p', 0, 'p', 0, '.', 0};
    auto at = std::search(journal.begin(), journal.end(), name.begin(), name.end());
    ASSERT_NE(journal.end(), at);
    const Bytes climbing = {'.', 0, '.', 0, '\\', 0, 'a', 0};
    std::copy(climbing.begin(), climbing.end(), at);
    WriteWholeFile(Journal(), journal);
    EXPECT_EQ(Recovery::kFailed, desquasher.RecoverInterrupted());
    EXPECT_EQ(killed, Tree());
    EXPECT_EQ(journal, ReadWholeFile(Journal()));
}

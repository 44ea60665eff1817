// The real QVUpdater.exe in a scratch installation against the local update server: each test
// is one run of the program as a user or the product starts it, checked by its whole results log.
#include <gtest/gtest.h>

#include "EndToEnd.h"
#include "ShellHandles.h"

namespace {
const int kRunMs = 30000;
const wchar_t kSelfUpdate[] = L"TYPE=UPDATER\rOS=WIN32\rEXECUTE=QVUpdater.exe\r";
const std::string kTestMode = "WARNING - IN LOCAL TEST MODE! NOT FOR GENERAL USE!\r\n";

// The registry key the request carries, set for one test.
class RegistryKey {
public:
    explicit RegistryKey(const std::wstring& id)
    {
        RegSetKeyValueW(HKEY_CURRENT_USER, kSettings, L"ID", REG_SZ, id.c_str(), (id.size() + 1) * sizeof(wchar_t));
    }
    ~RegistryKey() { RegDeleteKeyW(HKEY_CURRENT_USER, kSettings); }
    const wchar_t* const kSettings = L"Software\\Tallowmere\\Quorvel2\\Settings";
};

class UpdaterRun : public ::testing::Test {
protected:
    void Serve(const std::vector<QVUPackEntry>& entries, const std::wstring& script,
               const std::wstring& options = L"--mode file")
    {
        archive = install.Serve(server, entries, script, options);
        ASSERT_FALSE(archive.empty()) << server.Error();
    }
    // Runs the updater until the line comes, then closes its window as a user would; the program
    // then ends by itself.
    static void RunToLineAndClose(Installation& run, const char* line)
    {
        ASSERT_TRUE(run.Start());
        ASSERT_TRUE(Eventually([&] { return run.Log().find(line) != std::string::npos; }, kRunMs)) << run.Log();
        HWND window = nullptr;
        ASSERT_TRUE(Eventually([&] { return (window = FindWindowW(nullptr, L"Quorvel Updater")) != nullptr; }));
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(run.WaitForExit(kRunMs), 0u) << run.Log();
    }

    Installation install;
    UpdateServer server;
    std::wstring archive;
};
} // namespace

// The old log goes; the new product is installed and started.
TEST_F(UpdaterRun, DemoRoadChecksDownloadsInstallsAndStartsTheNewProduct)
{
    RegistryKey key(L"KEY 42/A");
    const Bytes program = ProgramBytes(L"QUORVEL_NEXT.exe");
    const Bytes facts = FactsTable(L"English", L"2.1.0");
    Serve(
        {Entry(L"QUORVEL.EXE", program), Entry(L"Resources\\system.vsf", facts)},
        L"FILENAME=Quorvel 2.1.0\rTYPE=PRODUCT\rOS=WIN32\rBUILD=QV2-TEST\rVERSIONNUMBER=2.1.0\rEXECUTE=QUORVEL.EXE\r");
    ASSERT_TRUE(install.Start());
    EXPECT_EQ(install.WaitForExit(kRunMs), 0u);

    EXPECT_EQ(install.Log(), kUntilReply + "Update file received OK.\r\n" + kUnpacking + " -- QUORVEL.EXE, " +
                                 std::to_string(program.size()) + " bytes\r\n -- Resources\\system.vsf, " +
                                 std::to_string(facts.size()) +
                                 " bytes\r\nChecking that the files may be changed...\r\nChecking: QUORVEL.EXE\r\n"
                                 "Checking: system.vsf\r\nWriting the new files...\r\nWriting: QUORVEL.EXE.tmp\r\n"
                                 "Writing: system.vsf.tmp\r\nKeeping the old files aside...\r\nKeeping: QUORVEL.EXE"
                                 "\r\nKeeping: system.vsf\r\nMoving the new files into place...\r\nMoving in: "
                                 "QUORVEL.EXE.tmp\r\nMoving in: system.vsf.tmp\r\nRemoving the old files...\r\n"
                                 "Removing: QUORVEL.EXE.old\r\nRemoving: system.vsf.old\r\n \r\nThe update was "
                                 "installed successfully.\r\n");
    EXPECT_EQ(server.Requests(), "GET /getupdate_v3.php?key=KEY%2042%2FA&lang=English&version=2.0.0&buildtype=0&"
                                 "protocol=4&buildstring=QV2-TEST&platform=WIN32 HTTP/1.0\r\n"
                                 "Host: 127.0.0.1\r\nUser-Agent: Vantor HTTP\r\nConnection: close\r\n"
                                 "Accept-Encoding:\r\n\r\n");
    // The new product shows its version: it writes it as it starts.
    EXPECT_TRUE(Eventually([&] { return install.Read(L"QuorvelRuns.log") == Ansi("started 2.1.0\r\n"); }));
}

TEST_F(UpdaterRun, SelfUpdateGoesThroughTheSlaveCopy)
{
    const Bytes marker = ProgramBytes(L"qvu_execute_marker.exe");
    Serve({Entry(L"QVUpdater.exe", marker)}, kSelfUpdate, L"--mode file --updater-send");
    ASSERT_TRUE(install.Start());
    EXPECT_EQ(install.WaitForExit(kRunMs), 0u);
    // The new updater (the marker program) was started by the slave copy, which removed the
    // source record: the next start is no slave.
    ASSERT_TRUE(Eventually([&] { return !install.Read(L"executed.txt").empty(); })) << install.Log();
    EXPECT_TRUE(Eventually(
        [&] { return GetFileAttributesW(install.Path(L"updatersource.qvu").c_str()) == INVALID_FILE_ATTRIBUTES; }));
    // The log is the slave's own; its installation lines are those of any other.
    const std::string log = install.Log();
    EXPECT_EQ(log.rfind(kTestMode + "Installing the new version of the updater...\r\n" + kUnpacking, 0), 0u) << log;
    EXPECT_NE(log.find("\r\nThe update was installed successfully.\r\n"), std::string::npos) << log;
}

// The next start must not take this copy for the slave: the installation stays as it was.
TEST_F(UpdaterRun, SelfUpdateThatCannotStartTheSlaveLeavesNoSourceRecord)
{
    // A folder in the slave copy's place: the old copy cannot be removed, so no slave starts.
    ASSERT_TRUE(CreateDirectoryW(install.Path(L"QVUSlave.exe").c_str(), nullptr));
    Serve({Entry(L"QVUpdater.exe", Ansi("new updater"))}, kSelfUpdate, L"--mode file --updater-send");
    const auto before = install.Snapshot();
    RunToLineAndClose(install, "Quorvel Updater couldn't update itself.");
    EXPECT_EQ(install.Snapshot(), before);
    EXPECT_EQ(install.Log(), kUntilReply +
                                 "This update brings a new version of the updater.\r\nUpdate file received "
                                 "OK.\r\n" +
                                 kUnpacking +
                                 " -- QVUpdater.exe, 11 bytes\r\n[box] Error.: An error occurred on attempting to "
                                 "create an object.\nQuorvel Updater couldn't update itself.\r\nPI Err: The update "
                                 "file is damaged or not meant for this installation.\r\n");
}

// In German, as the product's language asks.
TEST_F(UpdaterRun, RunningProductStopsTheInstallation)
{
    Installation german(L"Deutsch");
    ASSERT_FALSE(german.Serve(server, {Entry(L"Extras\\new.txt", Ansi("new"))}, L"OS=WIN32\r").empty());
    ASSERT_TRUE(german.Start(L"QUORVEL.EXE", L"60000"));
    ASSERT_TRUE(Eventually([&] { return !german.Read(L"QuorvelRuns.log").empty(); }));
    const auto before = german.Snapshot();
    RunToLineAndClose(german, "Bitte schlie");
    EXPECT_EQ(german.Snapshot(), before);
    EXPECT_EQ(german.Log(), kTestMode + u8"Suche nach Updates für Quorvel 2 2.0.0\r\nServer wird gesucht...\r\nServer "
                                        u8"gefunden, Verbindung wird aufgebaut.\r\nAntwort vom Server erhalten, der "
                                        u8"Download kann beginnen.\r\nUpdatedatei vollständig empfangen.\r\nBitte "
                                        u8"schließen Sie zuerst Quorvel 2: Das Update kann nicht installiert werden, "
                                        u8"solange es läuft.\r\n");
}

TEST_F(UpdaterRun, MissingProductFactsStopWithTheBoxAndNoRequest)
{
    Installation bare(nullptr);
    ASSERT_TRUE(server.Start(L"--mode uptodate")) << server.Error();
    bare.PointAt(server.Host());
    ASSERT_TRUE(bare.Start());
    EXPECT_EQ(bare.WaitForExit(kRunMs), 0u);
    const std::string notFound = "Quorvel 2 was not found beside the updater, so there is nothing to update. Please "
                                 "start the updater from the Quorvel 2 folder.\r\n";
    EXPECT_EQ(bare.Log(), kTestMode + "[box] Quorvel Updater: " + notFound + notFound);
    EXPECT_EQ(server.Requests(), "");
}

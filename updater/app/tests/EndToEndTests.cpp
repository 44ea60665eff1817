// The real QVUpdater.exe in a scratch installation against the local update server: each test
// is one run of the program as a user or the product starts it, checked by its whole results log.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CImageBase.h"
#include "EndToEnd.h"
#include "Programs.h"
#include "ShellHandles.h"
#include "UpdaterResourceIds.h"

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
    // The product's next version, which writes "started 2.1.0" as it starts.
    static std::vector<QVUPackEntry> NextProduct()
    {
        return {Entry(L"QUORVEL.EXE", ProgramBytes(L"QUORVEL_NEXT.exe")),
                Entry(L"Resources\\system.vsf", FactsTable(L"English", L"2.1.0"))};
    }
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
        ASSERT_TRUE(CloseOnLine(run, line, kRunMs)) << run.Log();
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
    EXPECT_TRUE(Eventually([&] { return !install.Has(L"updatersource.qvu"); }));
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
                                 "create an object.\nQuorvel Updater couldn't update itself.\r\n");
}

// A slave copy that an earlier run left read-only is the updater's own: it is replaced.
TEST_F(UpdaterRun, SelfUpdateReplacesAStaleReadOnlySlaveCopy)
{
    const std::wstring stale = install.Path(L"QVUSlave.exe");
    ASSERT_TRUE(WriteWholeFile(gCString(stale.c_str()), Ansi("an earlier slave")));
    ASSERT_TRUE(SetFileAttributesW(stale.c_str(), FILE_ATTRIBUTE_READONLY));
    Serve({Entry(L"QVUpdater.exe", ProgramBytes(L"qvu_execute_marker.exe"))}, kSelfUpdate,
          L"--mode file --updater-send");
    ASSERT_TRUE(install.Start());
    EXPECT_EQ(install.WaitForExit(kRunMs), 0u) << install.Log();
    ASSERT_TRUE(Eventually([&] { return !install.Read(L"executed.txt").empty(); })) << install.Log();
    EXPECT_NE(install.Log().find("\r\nThe update was installed successfully.\r\n"), std::string::npos) << install.Log();
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

// The title bar and the task bar show the program's own icon: its resource, drawn at 32 pixels,
// is a blue tile with a white mark and clear corners, and the window carries it.
TEST_F(UpdaterRun, TheWindowCarriesTheProgramsOwnIcon)
{
    ASSERT_TRUE(server.Start(L"--mode uptodate")) << server.Error();
    install.PointAt(server.Host());
    ASSERT_TRUE(install.Start());
    HWND window = nullptr;
    ASSERT_TRUE(Eventually([&] { return (window = FindWindowW(nullptr, L"Quorvel Updater")) != nullptr; }));
    // The caption's left end, inside the frame's light edges, shows the mark's white: the
    // system's default icon has none.
    RECT frame = {};
    ASSERT_TRUE(Eventually([&] { return IsWindowVisible(window) && GetWindowRect(window, &frame); }));
    ASSERT_TRUE(Eventually(
        [&] {
            int white = 0;
            CWindowDC screen(nullptr);
            for (int y = frame.top + 3; y < frame.top + 21; ++y)
                for (int x = frame.left + 3; x < frame.left + 21; ++x)
                    white += GetPixel(screen.Get(), x, y) == RGB(255, 255, 255);
            return white >= 20;
        },
        3000));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(install.WaitForExit(kRunMs), 0u);

    CModule program(LoadLibraryExW(install.Path(L"QVUpdater.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(program.IsValid());
    HANDLE icon = LoadImageW(program.Get(), MAKEINTRESOURCEW(QVU_ICON_RESOURCE), IMAGE_ICON, 32, 32, LR_SHARED);
    ASSERT_NE(icon, nullptr);
    CImageBase picture;
    ASSERT_OK(picture.Create(32, 32));
    picture.Fill(0xFF00FF00);
    ASSERT_TRUE(DrawIconEx(picture.GetMemDC(), 0, 0, static_cast<HICON>(icon), 32, 32, 0, nullptr, DI_NORMAL));
    GdiFlush();
    EXPECT_EQ(picture.GetPixel(0, 0) & 0xFFFFFF, 0x00FF00u);
    const uint32_t tile = picture.GetPixel(2, 16);
    EXPECT_GT(tile & 0xFF, (tile >> 16) & 0xFF) << std::hex << tile;
    EXPECT_EQ(picture.GetPixel(6, 15) & 0xFFFFFF, 0xFFFFFFu);
}

// A full disk under the log: the log misses its lines, and nothing else does.
TEST_F(UpdaterRun, ALogThatCannotTakeItsLinesStopsNothing)
{
    Serve(NextProduct(), L"OS=WIN32\rEXECUTE=QUORVEL.EXE\r");
    const std::wstring log = install.Path(L"UpdateResults.log");
    const std::wstring hostLog = HostServer::HostPath(log);
    ASSERT_TRUE(DeleteFileW(log.c_str()));
    ASSERT_NE(RunProgram(L"/bin/ln -s /dev/full " + hostLog), kProgramNotStarted);
    // The log opens as it did, and takes nothing.
    ASSERT_TRUE(Eventually([&] {
        CFileHandle file(CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        DWORD written = 0;
        return file.IsValid() && !WriteFile(file.Get(), "x", 1, &written, nullptr);
    }));
    ASSERT_TRUE(install.Start());
    EXPECT_EQ(install.WaitForExit(kRunMs), 0u);
    EXPECT_NE(server.Requests(), "");
    EXPECT_TRUE(Eventually([&] { return install.Read(L"QuorvelRuns.log") == Ansi("started 2.1.0\r\n"); }));
}

// Keep-alive servers hold the connection after the whole announced file.
TEST_F(UpdaterRun, AWholeFileOnAConnectionHeldOpenIsInstalled)
{
    Serve(NextProduct(), L"OS=WIN32\rEXECUTE=QUORVEL.EXE\r", L"--mode stall --stall-at 1000000000");
    ASSERT_TRUE(install.Start());
    EXPECT_EQ(install.WaitForExit(kRunMs), 0u);
    EXPECT_EQ(install.Log().rfind(kUntilReply + "Update file received OK.\r\n", 0), 0u) << install.Log();
    EXPECT_TRUE(Eventually([&] { return install.Read(L"QuorvelRuns.log") == Ansi("started 2.1.0\r\n"); }));
}

// A script of its byte-order mark alone is a script without lines; one whose first unit is 0 is
// no script.
TEST_F(UpdaterRun, AScriptOfItsMarkAloneInstallsAndOneWhoseFirstUnitIs0IsRefused)
{
    const std::vector<QVUPackEntry> files = {Entry(L"Extras\\new.txt", Ansi("new"))};
    Serve(files, L"");
    RunToLineAndClose(install, "installed successfully");
    EXPECT_EQ(install.Read(L"Extras\\new.txt"), Ansi("new"));

    Installation refused;
    UpdateServer second;
    QVUBytes stream = BuildArchiveStream(files, L"OS=WIN32");
    PokeU32(stream, 20, 0);
    ASSERT_FALSE(
        refused.ServeBytes(second, WrapContainer(CompressBlock(stream.data(), stream.size())), L"--mode file").empty())
        << second.Error();
    const auto before = refused.Snapshot();
    RunToLineAndClose(refused, "damaged or not meant");
    EXPECT_EQ(refused.Snapshot(), before);
}

// A facts table that is there but cannot be read gives the box of a missing one at once, and the
// log says why: zeros far beyond any table (they were read at seconds a MiB), zeros within that
// size, a table held locked, one without the version.
TEST_F(UpdaterRun, UnreadableProductFactsGiveTheBoxAtOnceAndTheLogSaysWhy)
{
    ASSERT_TRUE(server.Start(L"--mode uptodate")) << server.Error();
    const std::string box = "Quorvel 2 was not found beside the updater, so there is nothing to update. Please "
                            "start the updater from the Quorvel 2 folder.\r\n";
    const std::string why = "The product's facts could not be read from Resources\\system.vsf: the file ";
    const struct {
        const char* what;
        Bytes facts;
        bool locked;
        std::string reason;
    } cases[] = {
        {"far too large", Bytes(64 << 20, 0), false, "is far larger than any facts file of the product."},
        {"damaged", Bytes(1 << 20, 0), false, "is damaged."},
        {"locked", FactsTable(L"English", L"2.0.0"), true, "could not be opened (it may be locked or not readable)."},
        {"without a version", FactsTable(L"English", L""), false, "names no version or no build."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Installation run(nullptr);
        const std::wstring facts = run.Path(L"Resources\\system.vsf");
        ASSERT_TRUE(WriteWholeFile(gCString(facts.c_str()), c.facts));
        CFileHandle lock(c.locked ? CreateFileW(facts.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                  : INVALID_HANDLE_VALUE);
        run.PointAt(server.Host());
        ASSERT_TRUE(run.Start());
        EXPECT_EQ(run.WaitForExit(kRunMs), 0u);
        EXPECT_EQ(run.Log(), kTestMode + "[box] Quorvel Updater: " + box + box + why + c.reason + "\r\n");
    }
    EXPECT_EQ(server.Requests(), "");
}

// What the user reads: a body above the cap is a download that could not be taken, not a server
// out of reach; a type 1 answer without a location names none.
TEST_F(UpdaterRun, ABodyAboveTheCapAndAType1AnswerWithoutALocationSayWhatHappened)
{
    const std::string checking = kUntilReply.substr(0, kUntilReply.find("Received"));
    const struct {
        const wchar_t* options;
        const char* last;
        std::string log;
    } cases[] = {
        {L"--mode stall --size 100000001 --stall-at 0", "Download Failed!",
         checking + "-- An error occurred during the download: --\r\n\"Connection failed during download.\"\r\n"
                    "Download Failed!\r\n"},
        {L"--mode page --fail-type 1 --fail-reason Later.", "Download couldn't be started!",
         kUntilReply + "-- An error occurred when trying to start the download: --\r\nLater.\r\nDownload couldn't be "
                       "started!\r\n"},
    };
    for (const auto& c : cases) {
        Installation run;
        UpdateServer answering;
        ASSERT_TRUE(answering.Start(c.options)) << answering.Error();
        run.PointAt(answering.Host());
        RunToLineAndClose(run, c.last);
        EXPECT_EQ(run.Log(), c.log);
    }
}

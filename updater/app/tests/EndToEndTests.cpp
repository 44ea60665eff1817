// The real QVUpdater.exe in a scratch installation against the local update server: each test
// is one run of the program as a user or the product starts it.
#include <gtest/gtest.h>

#include <algorithm>

#include "CQuorvelUpdaterBackdrop.h"
#include "EndToEnd.h"
#include "Loopback.h"
#include "ShellHandles.h"
#include "WinHandle.h"

namespace {
const int kRunMs = 30000;
const char kInstalled[] = "The update was installed successfully.";
const char kRefused[] = "Found the location of the download server, but couldn't connect to it.";
const wchar_t kSelfUpdate[] = L"TYPE=UPDATER\rOS=WIN32\rEXECUTE=QVUpdater.exe\r";

// The registry key the request carries, set for one test.
class RegistryKey {
public:
    explicit RegistryKey(const wchar_t* id)
    {
        CRegKey key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Tallowmere\\Quorvel2\\Settings", 0, nullptr, 0, KEY_WRITE,
                            nullptr, key.Put(), nullptr) == ERROR_SUCCESS)
            RegSetValueExW(key.Get(), L"ID", 0, REG_SZ, reinterpret_cast<const BYTE*>(id),
                           static_cast<DWORD>((wcslen(id) + 1) * sizeof(wchar_t)));
    }
    ~RegistryKey() { RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tallowmere\\Quorvel2\\Settings"); }
};

class UpdaterRun : public ::testing::Test {
protected:
    void TearDown() override
    {
        // A run that went wrong must not outlive its test.
        for (const wchar_t* name : {L"QVUpdater.exe", L"QVUSlave.exe", L"QUORVEL.EXE"})
            EndProcessesNamed(name);
    }
    void Serve(const std::vector<QVUPackEntry>& entries, const std::wstring& script,
               const std::wstring& options = L"--mode file")
    {
        ASSERT_TRUE(install.Serve(server, entries, script, options)) << server.Error();
    }
    void ExpectEndsByItself(Installation& run)
    {
        DWORD code = 99;
        ASSERT_TRUE(run.WaitForExit(kRunMs, &code)) << run.Log();
        EXPECT_EQ(code, 0u);
    }
    // Starts the updater, waits for the line, checks the window's screen until the check holds,
    // then closes the window as a user would.
    void RunToLineAndClose(const char* line, Installation& run,
                           const std::function<bool(const ScreenShot&)>& shows = nullptr)
    {
        ASSERT_TRUE(run.Start());
        ASSERT_TRUE(run.WaitForLog(line, kRunMs)) << run.Log();
        if (shows) {
            const HWND window = run.FindWindowOfUpdater();
            ASSERT_NE(window, nullptr);
            EXPECT_TRUE(Eventually([&] { return shows(ScreenShot(window)); }, 5000));
        }
        ASSERT_TRUE(run.CloseWindow());
        ExpectEndsByItself(run);
    }
    void RunToLineAndClose(const char* line, const std::function<bool(const ScreenShot&)>& shows = nullptr)
    {
        RunToLineAndClose(line, install, shows);
    }

    Installation install;
    UpdateServer server;
};
} // namespace

TEST_F(UpdaterRun, DemoRoadChecksDownloadsInstallsAndStartsTheNewProduct)
{
    RegistryKey key(L"KEY 42/A");
    const Bytes program = ProgramBytes(L"QUORVEL_NEXT.exe");
    const Bytes facts = FactsTable(L"English", L"2.1.0");
    const Bytes news = Ansi("What is new.\r\n");
    Serve(
        {Entry(L"QUORVEL.EXE", program), Entry(L"Resources\\system.vsf", facts), Entry(L"Extras\\WhatsNew.txt", news)},
        L"FILENAME=Quorvel 2.1.0\rTYPE=PRODUCT\rOS=WIN32\rBUILD=QV2-TEST\rVERSIONNUMBER=2.1.0\rEXECUTE=QUORVEL.EXE\r");
    ASSERT_TRUE(install.Start());
    ExpectEndsByItself(install);

    EXPECT_EQ(install.Read(L"QUORVEL.EXE"), program);
    EXPECT_EQ(install.Read(L"Resources\\system.vsf"), facts);
    EXPECT_EQ(install.Read(L"Extras\\WhatsNew.txt"), news);
    for (const auto& file : install.Snapshot()) {
        const std::wstring end = file.first.substr(std::max<size_t>(file.first.size(), 4) - 4);
        EXPECT_TRUE(end != L".tmp" && end != L".old")
            << "left over: " << std::string(file.first.begin(), file.first.end());
    }
    EXPECT_TRUE(LinesInOrder(
        install.Log(),
        {"WARNING - IN LOCAL TEST MODE! NOT FOR GENERAL USE!", "Checking for updates to Quorvel 2 2.0.0",
         "Looking up server...", "Server location found, now attempting to contact server.",
         "Received response from server, download is ready to begin.", "Update file received OK.",
         "Installing the update...", "Writing the new files...", "Moving the new files into place...", kInstalled}));
    // The new product shows its version: it writes it as it starts.
    EXPECT_TRUE(Eventually([&] { return install.Read(L"QuorvelRuns.log") == Ansi("started 2.1.0\r\n"); }));
    EXPECT_EQ(server.Requests(), "GET /getupdate_v3.php?key=KEY%2042%2FA&lang=English&version=2.0.0&buildtype=0&"
                                 "protocol=4&buildstring=QV2-TEST&platform=WIN32 HTTP/1.0\r\n"
                                 "Host: 127.0.0.1\r\nUser-Agent: Vantor HTTP\r\nConnection: close\r\n"
                                 "Accept-Encoding:\r\n\r\n");
}

TEST_F(UpdaterRun, UpToDateAnswerIsGreenAndChangesNothing)
{
    ASSERT_TRUE(server.Start(L"--mode uptodate")) << server.Error();
    install.PointAt(server.Host());
    const auto before = install.Snapshot();
    // The answer's row is green on the screen.
    RunToLineAndClose("Your product is up to date.", [](const ScreenShot& shot) {
        return shot.Count(CQuorvelUpdaterBackdrop::ListRect(), 0x008000) > 20;
    });
    EXPECT_EQ(install.Snapshot(), before);
    EXPECT_EQ(install.Log().find("error"), std::string::npos) << install.Log();
}

TEST_F(UpdaterRun, AnswerOfType1OffersTheDownloadLocationOnTheButton)
{
    ASSERT_TRUE(server.Start(L"--mode type1 --location http://127.0.0.1:9/quorvel-2.1.0.qvu")) << server.Error();
    install.PointAt(server.Host());
    // The button now says "Open download page", far wider than "Cancel" or "Close": its dark
    // caption pixels span most of the button.
    const gCRect button = CQuorvelUpdaterBackdrop::ButtonRect();
    int left = button.right, right = button.left;
    RunToLineAndClose("The update can be downloaded from: http://127.0.0.1:9/quorvel-2.1.0.qvu\r\n",
                      [&](const ScreenShot& shot) {
                          left = button.right;
                          right = button.left;
                          for (int x = button.left + 2; x < button.right - 2; ++x)
                              for (int y = button.top + 2; y < button.bottom - 2; ++y)
                                  if (shot.At(x, y) < 0x404040) {
                                      left = std::min(left, x);
                                      right = std::max(right, x);
                                  }
                          return right - left > 80;
                      });
    EXPECT_GT(right - left, 80) << "caption spans " << left << ".." << right;
}

TEST_F(UpdaterRun, SelfUpdateGoesThroughTheSlaveCopy)
{
    const Bytes marker = ProgramBytes(L"qvu_execute_marker.exe");
    Serve({Entry(L"QVUpdater.exe", marker)}, kSelfUpdate, L"--mode file --updater-send");
    ASSERT_TRUE(install.Start());
    ExpectEndsByItself(install);
    // The new updater (the marker program) was started by the slave copy.
    ASSERT_TRUE(Eventually([&] { return !install.Read(L"executed.txt").empty(); })) << install.Log();
    EXPECT_EQ(install.Read(L"updatersource.qvu"), ReadWholeFile(gCString(install.ScratchPath(L"update.qvu").c_str())));
    EXPECT_EQ(install.Read(L"QVUpdater.exe"), marker);
    EXPECT_EQ(install.Read(L"QVUSlave.exe"), ProgramBytes(L"QVUpdater.exe"));
    // The log is the slave's own, and the slave says what it installed.
    EXPECT_TRUE(LinesInOrder(install.Log(), {"Installing the new version of the updater...", kInstalled}));
}

// Runs that stop before anything is installed: the line comes, and the installation is as it was.
TEST_F(UpdaterRun, SelfUpdateThatCannotStartTheSlaveLeavesNoSourceRecord)
{
    // A folder in the slave copy's place: the old copy cannot be removed, so no slave starts.
    ASSERT_TRUE(CreateDirectoryW(install.Path(L"QVUSlave.exe").c_str(), nullptr));
    Serve({Entry(L"QVUpdater.exe", Ansi("new updater"))}, kSelfUpdate, L"--mode file --updater-send");
    const auto before = install.Snapshot();
    RunToLineAndClose("Quorvel Updater couldn't update itself.");
    // The next start must not take this copy for the slave.
    EXPECT_FALSE(install.Exists(L"updatersource.qvu"));
    EXPECT_EQ(install.Snapshot(), before);
    EXPECT_EQ(install.Log().find(kInstalled), std::string::npos);
}

TEST_F(UpdaterRun, HostileArchiveIsRefusedWithNothingWrittenOutside)
{
    Serve({Entry(L"Extras\\ok.txt", Ansi("fine")), Entry(L"..\\outside.txt", Ansi("escaped"))}, L"OS=WIN32\r");
    const auto before = install.Snapshot();
    RunToLineAndClose("The update file is damaged or not meant for this installation.");
    EXPECT_EQ(install.Snapshot(), before);
    EXPECT_FALSE(install.Exists(L"..\\outside.txt"));
    EXPECT_EQ(install.Log().find(kInstalled), std::string::npos);
}

TEST_F(UpdaterRun, RunningProductStopsTheInstallation)
{
    Serve({Entry(L"Extras\\new.txt", Ansi("new"))}, L"OS=WIN32\r");
    Installation product;
    ASSERT_TRUE(product.Start(L"QUORVEL.EXE", L"60000"));
    ASSERT_TRUE(Eventually([] { return IsProcessRunning(L"QUORVEL.EXE"); }));
    const auto before = install.Snapshot();
    RunToLineAndClose("Please close Quorvel 2 first");
    EXPECT_EQ(install.Snapshot(), before);
}

TEST_F(UpdaterRun, MissingProductFactsStopWithTheBoxAndNoRequest)
{
    Installation bare(false);
    ASSERT_TRUE(server.Start(L"--mode uptodate")) << server.Error();
    bare.PointAt(server.Host());
    ASSERT_TRUE(bare.Start());
    ExpectEndsByItself(bare);
    EXPECT_NE(bare.Log().find("[box] Quorvel Updater: Quorvel 2 was not found beside the updater"), std::string::npos)
        << bare.Log();
    EXPECT_EQ(server.Requests(), "");
}

// With the server down, the product's language chooses the text block of the red connect line.
TEST_F(UpdaterRun, ServerDownGivesTheRedConnectLineInTheProductsLanguage)
{
    const char kGerman[] = "Der Downloadserver wurde gefunden, aber die Verbindung kam nicht zustande.";
    const struct {
        const wchar_t* language;
        const char* lookingUp;
        const char* refused;
    } cases[] = {
        {L"English", "Looking up server...", kRefused},
        {L"Deutsch", "Server wird gesucht...", kGerman},
        {L"de", "Server wird gesucht...", kGerman},
        {L"Italiano", "Looking up server...", kRefused},
    };
    for (const auto& c : cases) {
        Installation product(true, c.language);
        product.PointAt(HostAndPort(ClosedPort()));
        RunToLineAndClose(c.refused, product);
        EXPECT_NE(product.Log().find(c.lookingUp), std::string::npos) << product.Log();
    }
}

// The real QVUpdater.exe in a scratch installation against the local update server: each test
// is one run of the program as a user or the product starts it.
#include <gtest/gtest.h>

#include <algorithm>

#include "CQuorvelUpdaterBackdrop.h"
#include "CStringTableWriter.h"
#include "EndToEnd.h"
#include "Loopback.h"
#include "TempFolder.h"
#include "ShellHandles.h"
#include "Wait.h"
#include "WinHandle.h"

namespace {
const int kRunMs = 30000;
const char kWarning[] = "WARNING - IN LOCAL TEST MODE! NOT FOR GENERAL USE!";
const char kInstalled[] = "The update was installed successfully.";

Bytes Facts(const wchar_t* version)
{
    CStringTableWriter writer;
    (void)writer.AddRecord(1, gCString(L"Local_Current"), gCString(L"English"));
    (void)writer.AddRecord(2, gCString(L"QV2_Version"), gCString(version));
    (void)writer.AddRecord(4, gCString(L"ZRN_InternalBuildString"), gCString(kInstalledBuild));
    return Bytes(writer.GetData(), writer.GetData() + writer.GetSize());
}

QVUPackEntry Entry(const wchar_t* name, const Bytes& data)
{
    return {name, QVUBytes(data.begin(), data.end())};
}

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
        EndProcessesNamed(L"QVUpdater.exe");
        EndProcessesNamed(L"QVUSlave.exe");
        EndProcessesNamed(L"QUORVEL.EXE");
    }
    void StartServer(const std::wstring& options)
    {
        ASSERT_TRUE(server.Start(options)) << server.Error();
        install.PointAt(server.Host());
    }
    void ExpectEndsByItself(DWORD expected = 0)
    {
        DWORD code = 99;
        ASSERT_TRUE(install.WaitForExit(kRunMs, &code)) << install.Log();
        EXPECT_EQ(code, expected);
    }
    void ExpectClosesAsAUserWould()
    {
        ASSERT_TRUE(install.CloseWindow());
        ExpectEndsByItself();
    }

    Installation install;
    UpdateServer server;
};
} // namespace

TEST_F(UpdaterRun, DemoRoadChecksDownloadsInstallsAndStartsTheNewProduct)
{
    RegistryKey key(L"KEY 42/A");
    const Bytes program = ProgramBytes(L"QUORVEL_NEXT.exe");
    const Bytes facts = Facts(L"2.1.0");
    const Bytes news = Ansi("What is new.\r\n");
    const std::wstring archive = install.WriteArchive(
        {Entry(L"QUORVEL.EXE", program), Entry(L"Resources\\system.vsf", facts), Entry(L"Extras\\WhatsNew.txt", news)},
        L"FILENAME=Quorvel 2.1.0\rTYPE=PRODUCT\rOS=WIN32\rBUILD=QV2-TEST\rVERSIONNUMBER=2.1.0\rEXECUTE=QUORVEL.EXE\r");
    StartServer(L"--mode file --file " + UpdateServer::HostPath(archive));
    ASSERT_TRUE(install.Start());
    ExpectEndsByItself();

    EXPECT_EQ(ReadWholeFile(install.File(L"QUORVEL.EXE")), program);
    EXPECT_EQ(ReadWholeFile(install.File(L"Resources\\system.vsf")), facts);
    EXPECT_EQ(ReadWholeFile(install.File(L"Extras\\WhatsNew.txt")), news);
    for (const auto& file : install.Snapshot()) {
        const std::wstring& name = file.first;
        EXPECT_FALSE(name.size() > 4 &&
                     (name.substr(name.size() - 4) == L".tmp" || name.substr(name.size() - 4) == L".old"))
            << "left over: " << std::string(name.begin(), name.end());
    }
    std::string missing;
    EXPECT_TRUE(LinesInOrder(install.Log(),
                             {kWarning, "Checking for updates to Quorvel 2 2.0.0", "Looking up server...",
                              "Server location found, now attempting to contact server.",
                              "Received response from server, download is ready to begin.", "Update file received OK.",
                              "Installing the update...", "Writing the new files...",
                              "Moving the new files into place...", kInstalled},
                             missing))
        << "missing " << missing << " in\n"
        << install.Log();
    // The new product shows its version: it writes it as it starts.
    EXPECT_TRUE(WaitUntil([&] { return ReadWholeFile(install.File(L"QuorvelRuns.log")) == Ansi("started 2.1.0\r\n"); },
                          [] {
                              Sleep(20);
                              return true;
                          }));
    EXPECT_EQ(server.Requests(), "GET /getupdate_v3.php?key=KEY%2042%2FA&lang=English&version=2.0.0&buildtype=0&"
                                 "protocol=4&buildstring=QV2-TEST&platform=WIN32 HTTP/1.0\r\n"
                                 "Host: 127.0.0.1\r\nUser-Agent: Vantor HTTP\r\nConnection: close\r\n"
                                 "Accept-Encoding:\r\n\r\n");
}

TEST_F(UpdaterRun, UpToDateAnswerIsGreenAndChangesNothing)
{
    StartServer(L"--mode uptodate");
    const auto before = install.Snapshot();
    ASSERT_TRUE(install.Start());
    ASSERT_TRUE(install.WaitForLog("Your product is up to date.", kRunMs)) << install.Log();
    // The answer's row is green on the screen.
    HWND window = install.FindWindowOfUpdater();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return ScreenShot(window).Count(CQuorvelUpdaterBackdrop::ListRect(), 0x008000) > 20; },
                          [] {
                              Sleep(50);
                              return true;
                          },
                          5000));
    ExpectClosesAsAUserWould();
    EXPECT_EQ(install.Snapshot(), before);
    EXPECT_EQ(install.Log().find("error"), std::string::npos) << install.Log();
}

TEST_F(UpdaterRun, AnswerOfType1OffersTheDownloadLocationOnTheButton)
{
    StartServer(L"--mode type1 --location http://127.0.0.1:9/quorvel-2.1.0.qvu");
    ASSERT_TRUE(install.Start());
    ASSERT_TRUE(
        install.WaitForLog("The update can be downloaded from: http://127.0.0.1:9/quorvel-2.1.0.qvu\r\n", kRunMs))
        << install.Log();
    // The button now says "Open download page", far wider than "Cancel" or "Close": its dark
    // caption pixels span most of the button.
    HWND window = install.FindWindowOfUpdater();
    ASSERT_NE(window, nullptr);
    const gCRect button = CQuorvelUpdaterBackdrop::ButtonRect();
    int left = button.right, right = button.left;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const ScreenShot shot(window);
            left = button.right;
            right = button.left;
            for (int x = button.left + 2; x < button.right - 2; ++x)
                for (int y = button.top + 2; y < button.bottom - 2; ++y)
                    if (shot.At(x, y) < 0x404040) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
            return right - left > 80;
        },
        [] {
            Sleep(50);
            return true;
        },
        5000))
        << "caption spans " << left << ".." << right;
    ExpectClosesAsAUserWould();
}

TEST_F(UpdaterRun, SelfUpdateGoesThroughTheSlaveCopy)
{
    const Bytes marker = ProgramBytes(L"qvu_execute_marker.exe");
    const std::wstring archive =
        install.WriteArchive({Entry(L"QVUpdater.exe", marker)}, L"TYPE=UPDATER\rOS=WIN32\rEXECUTE=QVUpdater.exe\r");
    StartServer(L"--mode file --updater-send --file " + UpdateServer::HostPath(archive));
    ASSERT_TRUE(install.Start());
    ExpectEndsByItself();
    // The new updater (the marker program) was started by the slave copy.
    ASSERT_TRUE(WaitUntil([&] { return !ReadWholeFile(install.File(L"executed.txt")).empty(); },
                          [] {
                              Sleep(20);
                              return true;
                          }))
        << install.Log();
    EXPECT_EQ(ReadWholeFile(install.File(L"updatersource.qvu")), ReadWholeFile(gCString(archive.c_str())));
    EXPECT_EQ(ReadWholeFile(install.File(L"QVUpdater.exe")), marker);
    EXPECT_EQ(ReadWholeFile(install.File(L"QVUSlave.exe")), ProgramBytes(L"QVUpdater.exe"));
    // The log is the slave's own, and the slave says what it installed.
    std::string missing;
    EXPECT_TRUE(LinesInOrder(install.Log(), {"Installing the new version of the updater...", kInstalled}, missing))
        << "missing " << missing << " in\n"
        << install.Log();
}

TEST_F(UpdaterRun, SelfUpdateThatCannotStartTheSlaveLeavesNoSourceRecord)
{
    // A folder in the slave copy's place: the old copy cannot be removed, so no slave starts.
    ASSERT_TRUE(CreateDirectoryW(install.Path(L"QVUSlave.exe").c_str(), nullptr));
    const std::wstring archive = install.WriteArchive({Entry(L"QVUpdater.exe", Ansi("new updater"))},
                                                      L"TYPE=UPDATER\rOS=WIN32\rEXECUTE=QVUpdater.exe\r");
    StartServer(L"--mode file --updater-send --file " + UpdateServer::HostPath(archive));
    ASSERT_TRUE(install.Start());
    ASSERT_TRUE(install.WaitForLog("Quorvel Updater couldn't update itself.", kRunMs)) << install.Log();
    ExpectClosesAsAUserWould();
    // The next start must not take this copy for the slave.
    EXPECT_EQ(GetFileAttributesW(install.Path(L"updatersource.qvu").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadWholeFile(install.File(L"QVUpdater.exe")), ProgramBytes(L"QVUpdater.exe"));
    EXPECT_EQ(install.Log().find(kInstalled), std::string::npos);
}

TEST_F(UpdaterRun, HostileArchiveIsRefusedWithNothingWrittenOutside)
{
    const std::wstring archive = install.WriteArchive(
        {Entry(L"Extras\\ok.txt", Ansi("fine")), Entry(L"..\\outside.txt", Ansi("escaped"))}, L"OS=WIN32\r");
    StartServer(L"--mode file --file " + UpdateServer::HostPath(archive));
    const auto before = install.Snapshot();
    ASSERT_TRUE(install.Start());
    ASSERT_TRUE(install.WaitForLog("The update file is damaged or not meant for this installation.", kRunMs))
        << install.Log();
    ExpectClosesAsAUserWould();
    EXPECT_EQ(install.Snapshot(), before);
    EXPECT_EQ(GetFileAttributesW(install.Path(L"..\\outside.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(install.Log().find(kInstalled), std::string::npos);
}

TEST_F(UpdaterRun, RunningProductStopsTheInstallation)
{
    const std::wstring archive = install.WriteArchive({Entry(L"Extras\\new.txt", Ansi("new"))}, L"OS=WIN32\r");
    StartServer(L"--mode file --file " + UpdateServer::HostPath(archive));
    Installation product;
    ASSERT_TRUE(product.Start(L"QUORVEL.EXE", L"60000"));
    ASSERT_TRUE(WaitUntil([] { return IsProcessRunning(L"QUORVEL.EXE"); },
                          [] {
                              Sleep(20);
                              return true;
                          }));
    const auto before = install.Snapshot();
    ASSERT_TRUE(install.Start());
    ASSERT_TRUE(install.WaitForLog("Please close Quorvel 2 first", kRunMs)) << install.Log();
    ExpectClosesAsAUserWould();
    EXPECT_EQ(install.Snapshot(), before);
}

TEST_F(UpdaterRun, ServerDownGivesTheRedConnectLine)
{
    install.PointAt(HostAndPort(ClosedPort()));
    ASSERT_TRUE(install.Start());
    ASSERT_TRUE(install.WaitForLog("Found the location of the download server, but couldn't connect to it.", kRunMs))
        << install.Log();
    ExpectClosesAsAUserWould();
}

TEST_F(UpdaterRun, MissingProductFactsStopWithTheBoxAndNoRequest)
{
    Installation bare(false);
    ASSERT_TRUE(server.Start(L"--mode uptodate")) << server.Error();
    bare.PointAt(server.Host());
    ASSERT_TRUE(bare.Start());
    DWORD code = 99;
    ASSERT_TRUE(bare.WaitForExit(kRunMs, &code)) << bare.Log();
    EXPECT_EQ(code, 0u);
    EXPECT_NE(bare.Log().find("[box] Quorvel Updater: Quorvel 2 was not found beside the updater"), std::string::npos)
        << bare.Log();
    EXPECT_EQ(server.Requests(), "");
}

TEST_F(UpdaterRun, ProductLanguageChoosesTheTextBlock)
{
    const struct {
        const wchar_t* language;
        const char* lookingUp;
        const char* refused;
    } cases[] = {
        {L"Deutsch", "Server wird gesucht...",
         "Der Downloadserver wurde gefunden, aber die Verbindung kam nicht zustande."},
        {L"de", "Server wird gesucht...", "Der Downloadserver wurde gefunden, aber die Verbindung kam nicht zustande."},
        {L"Italiano", "Looking up server...", "Found the location of the download server, but couldn't connect to it."},
    };
    for (const auto& c : cases) {
        Installation product(true, c.language);
        product.PointAt(HostAndPort(ClosedPort()));
        ASSERT_TRUE(product.Start());
        EXPECT_TRUE(product.WaitForLog(c.refused, kRunMs)) << product.Log();
        EXPECT_NE(product.Log().find(c.lookingUp), std::string::npos) << product.Log();
        ASSERT_TRUE(product.CloseWindow());
        EXPECT_TRUE(product.WaitForExit(kRunMs));
    }
}

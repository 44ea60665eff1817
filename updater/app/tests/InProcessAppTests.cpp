// The real application class in this process on a scratch installation: a file dropped on its
// window the way the shell drops one (the drop's memory belongs to the process that receives
// it), and the main button pressed while a check runs.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CQVUTransferManager.h"
#include "CQuorvelUpdaterApp.h"
#include "CWindowBase.h"
#include "EndToEnd.h"
#include "Wait.h"

namespace {
class ScratchUpdaterApp : public CQuorvelUpdaterApp {
public:
    explicit ScratchUpdaterApp(const std::wstring& folder)
    {
        (void)m_programFolder.SetText(folder.c_str()); // the test fails visibly without it
        m_secondFolder = m_programFolder;
    }
    gCResult GetProcessNames(gCStringArray& names) override
    {
        return m_processListFails ? gCResult(1) : CQuorvelUpdaterApp::GetProcessNames(names);
    }
    bool m_processListFails = false;
};

bool RunUntil(ScratchUpdaterApp& app, const std::function<bool()>& done)
{
    return WaitUntil(done, [&] {
        DispatchQueued();
        (void)app.TickNow(); // a failing tick shows as the awaited line never coming
        return true;
    });
}

::testing::AssertionResult RunUntilLogged(ScratchUpdaterApp& app, const Installation& install, const char* text)
{
    if (RunUntil(app, [&] { return install.Log().find(text) != std::string::npos; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no " << text << " in\n" << install.Log();
}

// The main button closes the program once the run is over.
void ExpectButtonCloses(ScratchUpdaterApp& app)
{
    app.OnMainButton();
    ASSERT_TRUE(RunUntil(app, [] { return GetMainWindow() == nullptr || !GetMainWindow()->IsOpen(); }));
    DrainQuit();
}
} // namespace

TEST(UpdaterDrop, FileDroppedOnTheWindowInstalls)
{
    Installation install;
    UpdateServer server;
    ASSERT_TRUE(server.Start(L"--mode uptodate")) << server.Error();
    install.PointAt(server.Host());
    const Bytes dropped = Ansi("brought by hand");
    const std::wstring archive = install.WriteArchive({Entry(L"Extras\\Dropped.txt", dropped)}, L"OS=WIN32\r");
    {
        ScratchUpdaterApp app(install.Path(L""));
        ASSERT_OK(app.Init());
        ASSERT_OK(app.OnStart(gCString(L"")));
        ASSERT_TRUE(RunUntilLogged(app, install, "Your product is up to date."));
        ASSERT_TRUE(DropFile(app.GetMainWindowHandle(), archive));
        ASSERT_TRUE(RunUntilLogged(app, install, "installed successfully"));
        EXPECT_EQ(install.Read(L"Extras\\Dropped.txt"), dropped);
        EXPECT_TRUE(LinesInOrder(install.Log(),
                                 {"Installing the update file dropped on the window: ", "Installing the update...",
                                  "The update was installed successfully."}));
        ExpectButtonCloses(app);
        // Lines that come after the window has gone (a transfer still ending) reach the log.
        EXPECT_EQ(app.GetBackdrop(), nullptr);
        EXPECT_OK(app.PostStatusLine(gCString(L"after the window"), 0xFF000000, 1));
        EXPECT_NE(install.Log().find("after the window\r\n"), std::string::npos);
    }
}

TEST(UpdaterButton, CancelDuringTheCheckBreaksOffTheTransfer)
{
    struct Case {
        const wchar_t* mode;
        const char* reached; // the step after which the button is pressed
    } cases[] = {
        // The whole file would come at once.
        {L"--mode file", "Looking up server..."},
        // Mid-body: the rest never comes, and the transfer would end as lost.
        {L"--mode stall --stall-at 20", "Received response from server, download is ready to begin."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        Installation install;
        UpdateServer server;
        ASSERT_TRUE(
            install.Serve(server, {Entry(L"Extras\\Late.txt", Ansi("should not arrive"))}, L"OS=WIN32\r", c.mode))
            << server.Error();
        ScratchUpdaterApp app(install.Path(L""));
        ASSERT_OK(app.Init());
        ASSERT_OK(app.OnStart(gCString(L"")));
        CQVUTransferManager* manager = app.GetTransferManager();
        ASSERT_NE(manager, nullptr);
        manager->SetIdleTimeout(300); // well within the pause below
        ASSERT_TRUE(RunUntilLogged(app, install, c.reached));
        app.OnMainButton();
        EXPECT_EQ(manager->GetSession(), nullptr);
        EXPECT_EQ(manager->GetState(), CQVUTransferManager::kNoTransfer);
        ASSERT_TRUE(RunUntilLogged(app, install, "Cancelled."));
        const DWORD pressed = GetTickCount();
        (void)RunUntil(app, [&] { return GetTickCount() - pressed >= 800; }); // a pause
        // Nothing came after the cancel: no file, no report of a lost connection.
        const std::string log = install.Log();
        const std::string last = "Cancelled.\r\n";
        EXPECT_TRUE(log.size() >= last.size() && log.compare(log.size() - last.size(), last.size(), last) == 0) << log;
        EXPECT_EQ(manager->GetSession(), nullptr);
        EXPECT_EQ(manager->GetRetiredCount(), 0);
        EXPECT_FALSE(install.Exists(L"Extras\\Late.txt"));
        ExpectButtonCloses(app);
    }
}

// Without a readable process list the product may be running: nothing is replaced.
TEST(UpdaterDrop, AnUnreadableProcessListHoldsTheInstallBack)
{
    Installation install;
    const std::wstring archive = install.WriteArchive({Entry(L"Extras\\Held.txt", Ansi("held back"))}, L"OS=WIN32\r");
    ScratchUpdaterApp app(install.Path(L""));
    app.m_processListFails = true;
    ASSERT_OK(app.Init());
    ASSERT_OK(app.OnStart(gCString(L"")));
    ASSERT_TRUE(DropFile(app.GetMainWindowHandle(), archive));
    ASSERT_TRUE(RunUntilLogged(app, install, "Please close Quorvel 2 first"));
    EXPECT_FALSE(install.Exists(L"Extras\\Held.txt"));
    ExpectButtonCloses(app);
}

// CAppWin::Run end to end under Wine and Xvfb, with a real window and a fake content.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "BoxCapture.h"
#include "TestApp.h"

// Every end of a run is reported once, at most, and leaves no window, no heartbeat and no running
// state behind; the window of a run is 640 by 240, centred on the 1280 by 1024 work area.
TEST(AppRun, EachEndIsReportedOnceAndLeavesNothingBehind)
{
    using Log = std::vector<std::string>;
    const Log started = {"Init", "OnStart", "CreateTablet", "OnLoopEnd", "OnExit"};
    struct Case {
        const char* what;
        gCResult start;
        bool window;
        int32_t failingTick; // fails with kOutOfRange; otherwise the tick of this number quits
        int32_t quitTick, exitResult, returned, ticks;
        const wchar_t* box; // nullptr: none
        Log log;
    } cases[] = {
        {"a quit from a tick", kOk, true, 0, 100, 0, 0, 100, nullptr, started},
        {"a tick error ends the loop", kOk, true, 5, 0, 0, 0, 5, L"A parameter was out of sensible range.", started},
        // Without a main window Quit posts WM_QUIT.
        {"the exit result", kOk, false, 0, 1, 9, 9, 1, L"A file could not be located.", started},
        {"a failed start skips the loop",
         kCreateFailure,
         false,
         0,
         0,
         0,
         0,
         0,
         L"An error occurred on attempting to create an object.",
         {"Init", "OnStart", "OnExit"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BoxCapture boxes;
        TestApp app;
        ASSERT_OK(app.CreateInstanceMutex(gCString(L"QvShellTestMutex")));
        HWND window = nullptr;
        bool readyInStart = false;
        RECT placed = {320, 392, 960, 632};
        app.onStart = [&](TestApp& a) -> gCResult {
            readyInStart = a.IsRunning() && a.IsHeartbeatAlive() && a.IsComInitialised() &&
                           a.GetMainThreadId() == GetCurrentThreadId();
            QV_RETURN_IF_FAILED(c.start);
            if (c.window) {
                QV_RETURN_IF_FAILED(a.OpenTestWindow(new FakeContent()));
                window = GetMainWindow()->GetHandle();
                GetClientRect(window, &placed);
                MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&placed), 2);
            }
            a.EnableHeartbeatWork();
            return kOk;
        };
        app.onAppTick = [&](TestApp& a) -> gCResult {
            if (c.failingTick)
                return a.appTicks == c.failingTick ? kOutOfRange : kOk;
            if (a.appTicks == c.quitTick)
                a.Quit();
            return kOk;
        };
        app.exitResult = c.exitResult;
        EXPECT_EQ(app.Run(GetModuleHandleW(nullptr), nullptr, "first second", SW_SHOWNORMAL), c.returned);
        EXPECT_EQ(app.commandLineSeen, L"first second");
        EXPECT_TRUE(readyInStart);
        EXPECT_EQ((std::vector<LONG>{placed.left, placed.top, placed.right, placed.bottom}),
                  (std::vector<LONG>{320, 392, 960, 632}));
        EXPECT_EQ(app.appTicks, c.ticks);
        ASSERT_EQ(boxes.Boxes().size(), c.box ? 1u : 0u);
        if (c.box) {
            EXPECT_EQ(boxes.Boxes()[0].text, c.box);
        }
        EXPECT_EQ(app.log, c.log);
        EXPECT_EQ(GetMainWindow(), nullptr);
        EXPECT_FALSE(window && IsWindow(window));
        EXPECT_EQ(app.GetWindowList().Count(), 0);
        EXPECT_FALSE(app.IsHeartbeatAlive());
        EXPECT_EQ(app.IsRunning(), 0);
    }
}
// Another holder of the instance mutex makes the run return before any step of its own; every
// run of the table before holds it alone.
TEST(AppRun, ASecondInstanceReturnsAtOnce)
{
    CKernelHandle first(CreateMutexW(nullptr, FALSE, L"QvShellTestMutex"));
    BoxCapture boxes;
    TestApp app;
    ASSERT_OK(app.CreateInstanceMutex(gCString(L"QvShellTestMutex")));
    // A run that did start would end at once.
    app.onStart = [](TestApp&) -> gCResult { return kCreateFailure; };
    EXPECT_EQ(app.Run(GetModuleHandleW(nullptr), nullptr, "", SW_SHOWNORMAL), 0);
    EXPECT_TRUE(app.log.empty());
}

TEST(AppRun, UpkeepOnlyWhileWorkIsDisabled)
{
    TestApp app;
    FakeContent* content = new FakeContent();
    ASSERT_OK(app.OpenTestWindow(content));
    EXPECT_RESULT(app.OnTick(0), kHandled);
    EXPECT_OK(app.TickNow());
    EXPECT_EQ(content->upkeepTicks, 2);
    EXPECT_EQ(content->heartbeats + app.appTicks, 0);
    app.EnableHeartbeatWork();
    app.onAppTick = [](TestApp&) -> gCResult { return kBusy; };
    EXPECT_RESULT(app.TickNow(), kBusy);
    EXPECT_EQ(app.GetTickCounter(), 3u);
}

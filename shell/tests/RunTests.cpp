// CAppWin::Run end to end under Wine and Xvfb, with a real window and a fake content.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "BoxCapture.h"
#include "TestApp.h"

TEST(AppRun, RunsEndToEndAndLeavesNothingBehind)
{
    BoxCapture boxes;
    TestApp app;
    HWND window = nullptr;
    bool readyInStart = false;
    RECT placed = {};
    app.onStart = [&](TestApp& a) -> gCResult {
        readyInStart = a.IsRunning() && a.IsHeartbeatAlive() && a.IsComInitialised() &&
                       a.GetMainThreadId() == GetCurrentThreadId();
        QV_RETURN_IF_FAILED(a.OpenTestWindow(new FakeContent()));
        window = GetMainWindow()->GetHandle();
        GetClientRect(window, &placed);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&placed), 2);
        a.EnableHeartbeatWork();
        return kOk;
    };
    app.onAppTick = [](TestApp& a) -> gCResult {
        if (a.appTicks == 100)
            a.Quit();
        return kOk;
    };
    EXPECT_EQ(app.Run(GetModuleHandleW(nullptr), nullptr, "first second", SW_SHOWNORMAL), 0);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(app.log, (std::vector<std::string>{"Init", "OnStart", "CreateTablet", "OnLoopEnd", "OnExit"}));
    EXPECT_EQ(app.commandLineSeen, L"first second");
    EXPECT_TRUE(readyInStart);
    // 640 by 240, centred on the 1280 by 1024 work area.
    EXPECT_EQ((std::vector<LONG>{placed.left, placed.top, placed.right, placed.bottom}),
              (std::vector<LONG>{320, 392, 960, 632}));
    EXPECT_EQ(app.appTicks, 100);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(app.GetWindowList().Count(), 0);
    EXPECT_FALSE(app.IsHeartbeatAlive());
    EXPECT_EQ(app.IsRunning(), 0);
}

TEST(AppRun, EachEndIsReportedOnceAndLeavesNothingBehind)
{
    struct Case {
        const char* what;
        gCResult start;
        bool window;
        int32_t failingTick; // fails with kOutOfRange; 0: the first tick quits
        int32_t exitResult, returned, ticks;
        const wchar_t* box;
    } cases[] = {
        {"a tick error ends the loop", kOk, true, 5, 0, 0, 5, L"A parameter was out of sensible range."},
        // Without a main window Quit posts WM_QUIT.
        {"the exit result", kOk, false, 0, 9, 9, 1, L"A file could not be located."},
        {"a failed start skips the loop", kCreateFailure, false, 0, 0, 0, 0,
         L"An error occurred on attempting to create an object."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BoxCapture boxes;
        TestApp app;
        ASSERT_OK(app.CreateInstanceMutex(gCString(L"QvShellTestMutex")));
        HWND window = nullptr;
        app.onStart = [&](TestApp& a) -> gCResult {
            QV_RETURN_IF_FAILED(c.start);
            if (c.window) {
                QV_RETURN_IF_FAILED(a.OpenTestWindow(new FakeContent()));
                window = GetMainWindow()->GetHandle();
            }
            a.EnableHeartbeatWork();
            return kOk;
        };
        app.onAppTick = [&](TestApp& a) -> gCResult {
            if (c.failingTick)
                return a.appTicks == c.failingTick ? kOutOfRange : kOk;
            a.Quit();
            return kOk;
        };
        app.exitResult = c.exitResult;
        EXPECT_EQ(app.Run(GetModuleHandleW(nullptr), nullptr, "", SW_SHOWNORMAL), c.returned);
        EXPECT_EQ(app.appTicks, c.ticks);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, c.box);
        if (c.start != kOk) {
            EXPECT_EQ(app.log, (std::vector<std::string>{"Init", "OnStart", "OnExit"}));
        }
        EXPECT_EQ(GetMainWindow(), nullptr);
        EXPECT_FALSE(window && IsWindow(window));
        EXPECT_FALSE(app.IsHeartbeatAlive());
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
    EXPECT_EQ(app.OnTick(0), 2);
    EXPECT_OK(app.TickNow());
    EXPECT_EQ(content->upkeepTicks, 2);
    EXPECT_EQ(content->heartbeats + app.appTicks, 0);
    app.EnableHeartbeatWork();
    app.onAppTick = [](TestApp&) -> gCResult { return kBusy; };
    EXPECT_RESULT(app.TickNow(), kBusy);
    EXPECT_EQ(app.GetTickCounter(), 3u);
}

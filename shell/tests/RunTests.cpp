// CAppWin::Run end to end under Wine and Xvfb, with a real window and a fake content.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstdio>
#include <functional>

#include "BoxCapture.h"
#include "TestApp.h"

namespace {
struct RunFacts {
    HWND window = nullptr;
    RECT client = {};
    POINT origin = {};
    LONG style = 0;
    bool runningInStart = false;
    bool heartbeatInStart = false;
    bool mainThread = false;
    bool comInitialised = false;
    bool mainWindowSet = false;
    bool openedOk = false;
};

// Opens the window, leaves heartbeat work off for a while, then enables it from the upkeep.
void ScriptStart(TestApp& app, RunFacts& facts, FakeContent*& content)
{
    app.onStart = [&facts, &content](TestApp& a) -> gCResult {
        facts.runningInStart = a.IsRunning() != 0;
        facts.heartbeatInStart = a.IsHeartbeatAlive();
        facts.mainThread = a.GetMainThreadId() == GetCurrentThreadId();
        facts.comInitialised = a.IsComInitialised() != 0;
        content = new FakeContent();
        gCResult opened = a.OpenTestWindow(content);
        facts.openedOk = opened == 0;
        QV_RETURN_IF_FAILED(opened);
        CWindowBase* window = GetMainWindow();
        facts.mainWindowSet = window != nullptr;
        facts.window = window->GetHandle();
        GetClientRect(facts.window, &facts.client);
        ClientToScreen(facts.window, &facts.origin);
        facts.style = GetWindowLongW(facts.window, GWL_STYLE);
        return 0;
    };
}
} // namespace

TEST(AppRun, RunsEndToEndAndLeavesNothingBehind)
{
    BoxCapture boxes;
    RunFacts facts;
    FakeContent* content = nullptr;
    TestApp app;
    ScriptStart(app, facts, content);
    int32_t upkeepAtEnable = -1;
    int32_t heartbeatsAtEnable = -1;
    DWORD enabledAt = 0;
    uint32_t ticksAtEnable = 0;
    app.onAppTick = [&](TestApp& a) -> gCResult {
        if (a.appTicks == 200) {
            // A figure to look at, not to assert: the heartbeat sleeps 3 ms between ticks.
            double seconds = (GetTickCount() - enabledAt) / 1000.0;
            std::printf("ticks per second: %.0f\n", (a.GetTickCounter() - ticksAtEnable) / (seconds > 0 ? seconds : 1));
            a.Quit();
        }
        return 0;
    };

    // Enable the work from the upkeep after 20 ticks without it.
    struct Enabler : CDeferredObject {
        std::function<bool()> step;
        void Update() override
        {
            if (step())
                SetDead();
        }
    };
    Enabler* enabler = new Enabler();
    enabler->step = [&] {
        if (!content || content->upkeepTicks < 20 || app.IsHeartbeatWorkEnabled())
            return false;
        upkeepAtEnable = content->upkeepTicks;
        heartbeatsAtEnable = content->heartbeats;
        enabledAt = GetTickCount();
        ticksAtEnable = app.GetTickCounter();
        app.EnableHeartbeatWork();
        return true;
    };
    ASSERT_OK(app.AddDeferred(0, enabler));

    int32_t result = app.Run(GetModuleHandleW(nullptr), nullptr, "first second", SW_SHOWNORMAL);

    EXPECT_EQ(result, 0);
    EXPECT_TRUE(boxes.Boxes().empty());
    const std::vector<std::string> order = {"Init", "OnStart", "CreateTablet", "OnLoopEnd", "OnExit"};
    EXPECT_EQ(app.log, order);
    EXPECT_EQ(app.commandLineSeen, L"first second");
    EXPECT_TRUE(facts.openedOk);
    EXPECT_TRUE(facts.runningInStart);
    EXPECT_TRUE(facts.heartbeatInStart);
    EXPECT_TRUE(facts.mainThread);
    EXPECT_TRUE(facts.comInitialised);
    EXPECT_TRUE(facts.mainWindowSet);

    // 640 by 240 client, centred on the 1280 by 1024 work area, without a caption.
    EXPECT_EQ(facts.client.right - facts.client.left, 640);
    EXPECT_EQ(facts.client.bottom - facts.client.top, 240);
    EXPECT_EQ(facts.origin.x, 320);
    EXPECT_EQ(facts.origin.y, 392);
    EXPECT_EQ(facts.style & WS_CAPTION, 0);

    // No work and no window ticks before the work was enabled.
    EXPECT_GE(upkeepAtEnable, 20);
    EXPECT_EQ(heartbeatsAtEnable, 0);
    EXPECT_EQ(app.appTicks, 200);
    EXPECT_GE(ticksAtEnable, 20u);
    EXPECT_EQ(app.firstAppTick, ticksAtEnable);

    EXPECT_EQ(GetMainWindow(), nullptr);
    EXPECT_EQ(app.GetWindowList().Count(), 0);
    EXPECT_FALSE(IsWindow(facts.window));
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

TEST(AppRun, SecondInstanceReturnsAtOnce)
{
    TestApp first;
    ASSERT_OK(first.CreateInstanceMutex(gCString(L"QvShellTestMutex")));
    {
        TestApp second;
        ASSERT_OK(second.CreateInstanceMutex(gCString(L"QvShellTestMutex")));
        EXPECT_EQ(second.Run(GetModuleHandleW(nullptr), nullptr, "", SW_SHOWNORMAL), 0);
        EXPECT_TRUE(second.log.empty());
    }
}

TEST(AppRun, UpkeepOnlyWhileWorkIsDisabled)
{
    TestApp app;
    EXPECT_EQ(app.OnTick(0), 2);
    EXPECT_OK(app.TickNow());
    EXPECT_EQ(app.appTicks, 0);
    app.EnableHeartbeatWork();
    app.onAppTick = [](TestApp&) -> gCResult { return kBusy; };
    EXPECT_RESULT(app.TickNow(), kBusy);
    EXPECT_EQ(app.appTicks, 1);
    EXPECT_EQ(app.GetTickCounter(), 3u);
}

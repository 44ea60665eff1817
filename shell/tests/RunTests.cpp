// CAppWin::Run end to end under Wine and Xvfb, with a real window and a fake content.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstdio>

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
        TestApp* app;
        FakeContent** content;
        int32_t* upkeepAtEnable;
        int32_t* heartbeatsAtEnable;
        DWORD* enabledAt;
        uint32_t* ticksAtEnable;
        void Update() override
        {
            if (*content && (*content)->upkeepTicks >= 20 && !app->IsHeartbeatWorkEnabled()) {
                *upkeepAtEnable = (*content)->upkeepTicks;
                *heartbeatsAtEnable = (*content)->heartbeats;
                *enabledAt = GetTickCount();
                *ticksAtEnable = app->GetTickCounter();
                app->EnableHeartbeatWork();
                SetDead();
            }
        }
    };
    Enabler* enabler = new Enabler();
    enabler->app = &app;
    enabler->content = &content;
    enabler->upkeepAtEnable = &upkeepAtEnable;
    enabler->heartbeatsAtEnable = &heartbeatsAtEnable;
    enabler->enabledAt = &enabledAt;
    enabler->ticksAtEnable = &ticksAtEnable;
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

TEST(AppRun, TickErrorIsReportedOnceAndEndsTheLoop)
{
    BoxCapture boxes;
    RunFacts facts;
    FakeContent* content = nullptr;
    TestApp app;
    ScriptStart(app, facts, content);
    auto start = app.onStart;
    app.onStart = [start](TestApp& a) -> gCResult {
        QV_RETURN_IF_FAILED(start(a));
        a.EnableHeartbeatWork();
        return 0;
    };
    app.onAppTick = [](TestApp& a) -> gCResult { return a.appTicks == 5 ? kOutOfRange : kOk; };
    app.exitResult = 0;

    int32_t result = app.Run(GetModuleHandleW(nullptr), nullptr, "", SW_SHOWNORMAL);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(app.appTicks, 5);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"A parameter was out of sensible range.");
    EXPECT_EQ(GetMainWindow(), nullptr);
    EXPECT_FALSE(IsWindow(facts.window));
    EXPECT_FALSE(app.IsHeartbeatAlive());
}

TEST(AppRun, ReturnsTheExitResultAndReportsIt)
{
    BoxCapture boxes;
    TestApp app;
    app.onStart = [](TestApp& a) -> gCResult {
        a.EnableHeartbeatWork();
        return 0;
    };
    // Without a main window Quit posts WM_QUIT.
    app.onAppTick = [](TestApp& a) -> gCResult {
        a.Quit();
        return 0;
    };
    app.exitResult = 9;
    EXPECT_EQ(app.Run(GetModuleHandleW(nullptr), nullptr, "", SW_SHOWNORMAL), 9);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"A file could not be located.");
    EXPECT_EQ(app.appTicks, 1);
}

TEST(AppRun, StartFailureIsReportedAndSkipsTheLoop)
{
    BoxCapture boxes;
    TestApp app;
    app.onStart = [](TestApp&) -> gCResult { return kCreateFailure; };
    EXPECT_EQ(app.Run(GetModuleHandleW(nullptr), nullptr, "", SW_SHOWNORMAL), 0);
    const std::vector<std::string> order = {"Init", "OnStart", "OnExit"};
    EXPECT_EQ(app.log, order);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"An error occurred on attempting to create an object.");
    EXPECT_FALSE(app.IsHeartbeatAlive());
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

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cmath>

#include "BoxCapture.h"
#include "CMessageHub.h"
#include "FakeHost.h"
#include "ReportError.h"
#include "SinCos.h"
#include "WinHandle.h"

TEST(SinCos, TableCoversOneTurnOver7999Steps)
{
    BuildSinCosTable();
    EXPECT_EQ(gSinCosTable[0].sine, 0.0f);
    EXPECT_EQ(gSinCosTable[0].cosine, 1.0f);
    const float twoPi = 6.2831854820251465f;
    EXPECT_EQ(gSinCosTable[7999].sine, static_cast<float>(std::sin(static_cast<double>(twoPi))));
    EXPECT_NEAR(gSinCosTable[7999].cosine, 1.0f, 1e-6f);
    float step = static_cast<float>(8000 * static_cast<double>(twoPi) / 7999.0);
    EXPECT_EQ(gSinCosTable[8000].sine, static_cast<float>(std::sin(static_cast<double>(step))));
    EXPECT_GT(gSinCosTable[8000].sine, 0.0f);
    EXPECT_NEAR(gSinCosTable[2000].sine, 1.0f, 1e-6f);
}

TEST(EaseOvershoot, HitsItsKnotsExactly)
{
    for (float k : {0.0f, 1.0f, 2.5f}) {
        EXPECT_EQ(EaseOvershoot(0.0f, k), 0.0f);
        EXPECT_EQ(EaseOvershoot(0.8f, k), 1.0f + 0.1f * k);
        EXPECT_EQ(EaseOvershoot(0.92f, k), 1.0f - 0.05f * k);
        EXPECT_EQ(EaseOvershoot(1.0f, k), 1.0f);
    }
    EXPECT_EQ(EaseOvershoot(0.9f, 0.0f), 1.0f);
    EXPECT_EQ(EaseOvershoot(0.95f, 0.0f), 1.0f);
    EXPECT_LT(EaseOvershoot(0.4f, 1.0f), EaseOvershoot(0.6f, 1.0f));
}

TEST(ReportError, ShowsTheCodeTextAndDetailLine)
{
    BoxCapture boxes;
    ReportError(5, "Widget xpsp.");
    ReportError(0, nullptr);
    ReportError(4, "");
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Not enough memory to perform action.\nWidget xpsp.");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"Error.");
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_OK));
    EXPECT_EQ(boxes.Boxes()[1].text, L"Success!");
    EXPECT_EQ(boxes.Boxes()[2].text, L"User has cancelled operation.\n");
}

TEST(ReportError, OutOfRangeCodesShowAsGenericFailure)
{
    BoxCapture boxes;
    for (gCResult code : {32, 1000, -1})
        ReportError(code, nullptr);
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    for (const CapturedBox& box : boxes.Boxes())
        EXPECT_EQ(box.text, L"Generic Failure.");
    EXPECT_STREQ(GetResultText(26), "Whatever you did, it was in really bad taste,\nwe implore you to reconsider.");
}

TEST(ReportError, ReentryIsDroppedAndTheFlagIsCleared)
{
    BoxCapture boxes;
    boxes.onShow = [] { ReportError(9, "nested"); };
    ReportError(14, nullptr);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    boxes.onShow = nullptr;
    ReportError(9, nullptr);
    EXPECT_EQ(boxes.Boxes().size(), 2u);
}

namespace {
FakeHost* gSeen = nullptr;
bool gWorkDuringBox = true;
bool gCursorDuringBox = false;
} // namespace

TEST(ReportError, GuardsSwitchWorkAndCursorsAndRestoreThem)
{
    BoxCapture boxes;
    boxes.onShow = [] {
        gWorkDuringBox = gSeen->heartbeatWork;
        gCursorDuringBox = gSeen->systemCursor;
    };
    {
        FakeHost host;
        gSeen = &host;
        host.heartbeatWork = true;
        host.systemCursor = false;
        host.ownCursor = true;
        ReportError(1, nullptr);
        EXPECT_FALSE(gWorkDuringBox);
        EXPECT_TRUE(gCursorDuringBox);
        EXPECT_TRUE(host.heartbeatWork);
        EXPECT_FALSE(host.systemCursor) << "hidden again, as before";
        EXPECT_TRUE(host.ownCursor) << "own cursor shown again";

        host.heartbeatWork = false;
        host.systemCursor = true;
        ReportError(1, nullptr);
        EXPECT_FALSE(host.heartbeatWork) << "work stays off when it was off";
        EXPECT_TRUE(host.systemCursor);
    }
    gSeen = nullptr;
    boxes.onShow = nullptr;
    // Without an application object the guards do nothing and the box still shows.
    ReportError(1, nullptr);
    EXPECT_EQ(boxes.Boxes().size(), 3u);
}

TEST(ReportError, KillsTheMainWindowTimers)
{
    BoxCapture boxes;
    CUniqueWindow owner(CreateWindowExW(0, L"STATIC", L"t", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    HWND window = owner.Get();
    ASSERT_NE(window, nullptr);
    FakeHost host;
    host.mainWindow = window;
    ASSERT_NE(SetTimer(window, 3, 100000, nullptr), 0u);
    ASSERT_NE(SetTimer(window, 40, 100000, nullptr), 0u);
    ReportError(1, nullptr);
    EXPECT_FALSE(KillTimer(window, 3)) << "timer 3 was already killed";
    EXPECT_TRUE(KillTimer(window, 40)) << "timers from 32 up are left alone";
}

namespace {
struct Listener : gCCmdTarget {
    explicit Listener(uint32_t r) : result(r) {}
    uint32_t OnNotify(uint32_t id, uint32_t a, uint32_t b) override
    {
        ++calls;
        lastId = id;
        lastA = a;
        lastB = b;
        return result;
    }
    uint32_t OnMessage(uint32_t id, uint32_t a, uint32_t b, uint32_t c, uint32_t flag) override
    {
        ++calls;
        lastId = id;
        lastA = a;
        lastB = b;
        lastC = c;
        lastFlag = flag;
        return result;
    }
    uint32_t result;
    int calls = 0;
    uint32_t lastId = 0, lastA = 0, lastB = 0, lastC = 0, lastFlag = 99;
};
} // namespace

TEST(Targets, SendsReachTheGlobalTargetsWithTheirFlag)
{
    gCCmdTarget sender;
    SetViewMessageTarget(nullptr);
    SetAppMessageTarget(nullptr);
    EXPECT_EQ(sender.SendToView(1, 2, 3, 4), 0u);
    EXPECT_EQ(sender.SendToAppFlag0(1, 2, 3, 4), 0u);

    Listener view(11), app(22);
    SetViewMessageTarget(&view);
    SetAppMessageTarget(&app);
    EXPECT_EQ(sender.SendToView(0xff0f0004, 1, 2, 3), 11u);
    EXPECT_EQ(view.lastFlag, 1u);
    EXPECT_EQ(view.lastC, 3u);
    EXPECT_EQ(sender.SendToViewFlag0(5, 0, 0, 0), 11u);
    EXPECT_EQ(view.lastFlag, 0u);
    EXPECT_EQ(sender.SendToApp(6, 7, 8, 9), 22u);
    EXPECT_EQ(app.lastFlag, 1u);
    EXPECT_EQ(app.lastA, 7u);
    EXPECT_EQ(sender.SendToAppFlag0(6, 7, 8, 9), 22u);
    EXPECT_EQ(app.lastFlag, 0u);
    EXPECT_EQ(gCCmdTarget().OnNotify(1, 2, 3), 0u);
    SetViewMessageTarget(nullptr);
    SetAppMessageTarget(nullptr);
}

TEST(MessageHub, FirstNonzeroWinsAndOrderIsKept)
{
    CMessageHub hub;
    EXPECT_EQ(hub.Broadcast(1, 0, 0), 0u);
    Listener a(0), b(7), c(9);
    EXPECT_OK(hub.AddListener(&a));
    EXPECT_OK(hub.AddListener(&b));
    EXPECT_OK(hub.AddListener(&c));
    EXPECT_EQ(hub.OnNotify(42, 1, 2), 7u);
    EXPECT_EQ(a.calls, 1);
    EXPECT_EQ(b.calls, 1);
    EXPECT_EQ(c.calls, 0);
    EXPECT_EQ(a.lastId, 42u);

    hub.RemoveListener(&b);
    Listener absent(5);
    hub.RemoveListener(&absent);
    EXPECT_EQ(hub.ListenerCount(), 2);
    EXPECT_EQ(hub.Broadcast(1, 0, 0), 9u);

    CMessageHub twice;
    Listener quiet(0);
    EXPECT_OK(twice.AddListener(&quiet));
    EXPECT_OK(twice.AddListener(&quiet));
    twice.Broadcast(1, 0, 0);
    EXPECT_EQ(quiet.calls, 2);
    twice.RemoveListener(&quiet);
    EXPECT_EQ(twice.ListenerCount(), 1);
}

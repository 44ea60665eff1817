#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "BoxCapture.h"
#include "CMessageHub.h"
#include "FakeHost.h"
#include "ReportError.h"
#include "SinCos.h"
#include "WinHandle.h"

TEST(EaseOvershoot, HitsItsKnotsExactly)
{
    const float k = 2.5f;
    EXPECT_EQ(EaseOvershoot(0.0f, k), 0.0f);
    EXPECT_EQ(EaseOvershoot(0.8f, k), 1.0f + 0.1f * k);
    EXPECT_EQ(EaseOvershoot(0.92f, k), 1.0f - 0.05f * k);
    EXPECT_EQ(EaseOvershoot(1.0f, k), 1.0f);
}

TEST(ReportError, ShowsTheCodesTextAndTheDetailOnceAtATime)
{
    BoxCapture boxes;
    boxes.onShow = [] { ReportError(9, "nested"); };
    ReportError(5, "Widget xpsp.");
    boxes.onShow = nullptr;
    ReportError(4, "");
    for (gCResult code : {0, 32, -1})
        ReportError(code, nullptr);
    std::vector<std::wstring> texts;
    for (const CapturedBox& box : boxes.Boxes())
        texts.push_back(box.text);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Not enough memory to perform action.\nWidget xpsp.",
                                                L"User has cancelled operation.\n", L"Success!", L"Generic Failure.",
                                                L"Generic Failure."}))
        << "a report raised while one shows is dropped";
    EXPECT_EQ(boxes.Boxes()[0].caption, L"Error.");
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_OK));
}

namespace {
FakeHost* gSeen = nullptr;
bool gWorkDuringBox = true;
bool gCursorDuringBox = false;
} // namespace

TEST(ReportError, StopsWorkShowsTheCursorAndKillsTheTimersWhileItShows)
{
    BoxCapture boxes;
    boxes.onShow = [] {
        gWorkDuringBox = gSeen->heartbeatWork;
        gCursorDuringBox = gSeen->systemCursor;
    };
    CUniqueWindow owner(CreateWindowExW(0, L"STATIC", L"t", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(owner.IsValid());
    ASSERT_NE(SetTimer(owner.Get(), 3, 100000, nullptr), 0u);
    ASSERT_NE(SetTimer(owner.Get(), 40, 100000, nullptr), 0u);
    {
        FakeHost host;
        gSeen = &host;
        host.mainWindow = owner.Get();
        ReportError(1, nullptr);
        EXPECT_FALSE(gWorkDuringBox);
        EXPECT_TRUE(gCursorDuringBox);
        EXPECT_TRUE(host.heartbeatWork && !host.systemCursor && host.ownCursor) << "all as before";
        host.heartbeatWork = false;
        ReportError(1, nullptr);
        EXPECT_FALSE(host.heartbeatWork) << "work stays off when it was off";
    }
    gSeen = nullptr;
    boxes.onShow = nullptr;
    ReportError(1, nullptr);
    EXPECT_EQ(boxes.Boxes().size(), 3u) << "without an application the box still shows";
    EXPECT_FALSE(KillTimer(owner.Get(), 3)) << "timer 3 was already killed";
    EXPECT_TRUE(KillTimer(owner.Get(), 40)) << "timers from 32 up are left alone";
}

namespace {
struct Listener : gCCmdTarget {
    explicit Listener(uint32_t r) : result(r) {}
    uint32_t OnNotify(uint32_t id, uint32_t, uint32_t) override
    {
        ++calls;
        last = id;
        return result;
    }
    uint32_t result;
    int calls = 0;
    uint32_t last = 0;
};
} // namespace

TEST(MessageHub, FirstNonzeroWinsAndOrderIsKept)
{
    CMessageHub hub;
    EXPECT_EQ(hub.Broadcast(1, 0, 0), 0u);
    Listener a(0), b(7), c(9), absent(5);
    for (Listener* l : {&a, &b, &c, &a})
        EXPECT_OK(hub.AddListener(l));
    EXPECT_EQ(hub.OnNotify(42, 1, 2), 7u);
    EXPECT_EQ(a.calls + b.calls + c.calls, 2);
    EXPECT_EQ(a.last, 42u);
    hub.RemoveListener(&b);
    hub.RemoveListener(&absent);
    hub.RemoveListener(&a);
    EXPECT_EQ(hub.ListenerCount(), 2) << "one removal takes one entry";
    EXPECT_EQ(hub.Broadcast(1, 0, 0), 9u);
}

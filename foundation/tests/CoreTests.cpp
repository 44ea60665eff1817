#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "BoxCapture.h"
#include "CMessageHub.h"
#include "FakeHost.h"
#include "ReportError.h"
#include "SinCos.h"
#include "WinHandle.h"

// One turn takes 7999 steps; the last pair is one step into the next turn.
TEST(SinCos, TheTableTurnsOnceOver7999StepsAndOneStepMore)
{
    BuildSinCosTable();
    EXPECT_EQ(gSinCosTable[0].cosine, 1.0f);
    EXPECT_NEAR(gSinCosTable[7999].sine, 0.0f, 1e-6f);
    EXPECT_NEAR(gSinCosTable[8000].sine, 7.855e-4f, 1e-6f);
}

namespace {
FakeHost* gSeen = nullptr;
bool gGuardedDuringBox = false;
} // namespace

// While a box shows, work stops, the system's cursor shows and the timers below 32 are killed;
// a report raised meanwhile is dropped. Without an application the box still shows.
TEST(ReportError, ShowsTheCodesTextAndTheDetailOnceAtATimeWithWorkStopped)
{
    BoxCapture boxes;
    CUniqueWindow owner(CreateWindowExW(0, L"STATIC", L"t", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(owner.IsValid());
    ASSERT_NE(SetTimer(owner.Get(), 3, 100000, nullptr), 0u);
    ASSERT_NE(SetTimer(owner.Get(), 40, 100000, nullptr), 0u);
    {
        FakeHost host;
        gSeen = &host;
        host.mainWindow = owner.Get();
        boxes.onShow = [] {
            gGuardedDuringBox = !gSeen->heartbeatWork && gSeen->systemCursor;
            ReportError(9, "nested");
        };
        ReportError(5, "Widget xpsp.");
        EXPECT_TRUE(gGuardedDuringBox) << "work stopped and the system's cursor shown";
        EXPECT_TRUE(host.heartbeatWork && !host.systemCursor && host.ownCursor) << "all as before";
    }
    boxes.onShow = nullptr;
    ReportError(4, "");
    for (gCResult code : {0, 32, -1})
        ReportError(code, nullptr);
    std::vector<std::wstring> texts;
    for (const CapturedBox& box : boxes.Boxes())
        texts.push_back(box.text);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Not enough memory to perform action.\nWidget xpsp.",
                                                L"User has cancelled operation.\n", L"Success!", L"Generic Failure.",
                                                L"Generic Failure."}));
    EXPECT_EQ(boxes.Boxes()[0].caption, L"Error.");
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_OK));
    EXPECT_FALSE(KillTimer(owner.Get(), 3)) << "timer 3 was already killed";
    EXPECT_TRUE(KillTimer(owner.Get(), 40)) << "timers from 32 up are left alone";
}

namespace {
struct Listener : gCCmdTarget {
    explicit Listener(uint32_t r) : result(r) {}
    uint32_t OnNotify(uint32_t id, uint32_t, uint32_t) override
    {
        seen += id;
        return result;
    }
    uint32_t result;
    uint32_t seen = 0; // the sum of the ids notified
};
} // namespace

TEST(MessageHub, FirstNonzeroWinsAndOrderIsKept)
{
    CMessageHub hub;
    EXPECT_EQ(hub.Broadcast(1, 0, 0), 0u);
    Listener a(0), b(7), c(9);
    for (Listener* l : {&a, &b, &c, &a})
        EXPECT_OK(hub.AddListener(l));
    EXPECT_EQ(hub.OnNotify(42, 1, 2), 7u);
    EXPECT_EQ(a.seen + b.seen + c.seen, 84u) << "a once, b once";
    hub.RemoveListener(&b);
    hub.RemoveListener(&a);
    EXPECT_EQ(hub.ListenerCount(), 2) << "one removal takes one entry";
    EXPECT_EQ(hub.Broadcast(1, 0, 0), 9u);
}

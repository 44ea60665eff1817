// Time steps, time tracks and the shaping curves against a clock that the tests set: every value is
// computed from a stamp and a reading chosen by the test, the counter's wrap-around included.
#include <gtest/gtest.h>

#include "CTimeStep.h"
#include "CTimeTrack.h"
#include "CTimer.h"

namespace {

// Replaces the millisecond clock for the life of the object.
class FakeClock {
public:
    FakeClock() : m_previous(SetMillisecondClock([] { return now; })) { now = 0; }
    ~FakeClock() { SetMillisecondClock(m_previous); }
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    static uint32_t now;

private:
    MillisecondClockFn m_previous;
};
uint32_t FakeClock::now = 0;

} // namespace

TEST(TimeStep, ValueAfterWholeIntervals)
{
    struct Case {
        const char* what;
        float start, target, size;
        uint32_t mode, elapsed;
        float expected;
        uint32_t running;
        float parameter = 0.75f;
    } cases[] = {
        {"three whole steps", 0, 10, 1, kShapeLinear, 350, 3, 1},
        {"one step short of the target", 0, 10, 1, kShapeLinear, 999, 9, 1},
        {"at the target", 0, 10, 1, kShapeLinear, 1000, 10, 0},
        {"a negative size moves the same way", 0, 10, -1, kShapeLinear, 350, 3, 1},
        {"downwards", 10, 0, 2, kShapeLinear, 250, 6, 1},
        {"a last step past the target stops on it", 0, 10, 4, kShapeLinear, 300, 10, 0},
        {"size 0 downwards stays", 10, 0, 0, kShapeLinear, 100000, 10, 1},
        {"smoothstep of the stepped phase", 0, 10, 1, kShapeSmooth, 250, 1.04f, 1},
        // Bias t / (1 + (1/a - 2)(1 - t)); gain in two halves about 0.5.
        {"bias of a quarter", 0, 10, 1, kShapeBias, 500, 2.5f, 1, 0.25f},
        {"gain of a quarter", 0, 10, 1, kShapeGain, 200, 2.0f / 2.2f, 1, 0.25f},
        {"gain of a quarter, second half", 0, 10, 1, kShapeGain, 800, 20.0f / 2.2f, 1, 0.25f},
        {"modes above 4 are linear", 0, 10, 1, 9, 300, 3, 1},
        // The overshoot clock runs at 0.8: nine steps at 1249 ms, the target at 1250 ms.
        {"overshoot before its target", 0, 10, 1, kShapeOvershoot, 1249, 9.708333f, 1},
        {"overshoot at its target", 0, 10, 1, kShapeOvershoot, 1250, 10, 0},
        // The peak 1 + 0.1a at 0.8, the dip 1 - 0.05a at 0.92.
        {"overshoot peak", 0, 10, 1, kShapeOvershoot, 1000, 10.5f, 1, 0.5f},
        {"overshoot dip", 0, 25, 1, kShapeOvershoot, 2875, 24.375f, 1, 0.5f},
    };
    // Every run starts 256 ms before the millisecond counter wraps around.
    FakeClock clock;
    for (const Case& c : cases) {
        clock.now = 0xFFFFFF00u;
        CTimeStep step(c.start, c.target, 100, c.size, 1);
        step.shapingMode = c.mode;
        step.shapingParameter = c.parameter;
        clock.now = 0xFFFFFF00u + c.elapsed;
        EXPECT_NEAR(step.GetValue(), c.expected, 1e-4f) << c.what;
        EXPECT_EQ(step.running, c.running) << c.what;
    }
}

// A new target starts from the stepped value, not from the shaped one, with no jump.
TEST(TimeStep, SetTargetReversesFromWhereItStands)
{
    FakeClock clock;
    CTimeStep step(0, 10, 100, 1, 1);
    clock.now = 350;
    EXPECT_NEAR(step.GetValue(), 2.16f, 1e-5f); // smoothstep of 3 of 10
    step.SetTarget(0);
    EXPECT_EQ(step.GetValue(), 3.0f);
    step.shapingMode = kShapeLinear;
    clock.now = 650;
    EXPECT_EQ(step.GetValue(), 0.0f);
    EXPECT_EQ(step.running, 0u);
}

TEST(TimeTrack, ValueByRepeatModeStepsAndShape)
{
    struct Case {
        const char* what;
        float from, to, steps;
        uint32_t repeat, mode, elapsed;
        float expected;
        uint32_t running;
    } cases[] = {
        {"once, just before the end", 0, 100, 0, kTrackOnce, kShapeLinear, 999, 99.9f, 1},
        {"once, at the end", 0, 100, 0, kTrackOnce, kShapeLinear, 1000, 100, 0},
        // The overshoot runs on the slow clock and is not cut at the to value.
        {"once, overshoot peak", 0, 100, 0, kTrackOnce, kShapeOvershoot, 1000, 107.5f, 1},
        {"once, overshoot end", 0, 100, 0, kTrackOnce, kShapeOvershoot, 1250, 100, 0},
        {"repeat, overshoot on real time", 0, 100, 0, kTrackRepeat, kShapeOvershoot, 800, 107.5f, 1},
        {"back and forth, three quarters back", 0, 100, 0, kTrackBackAndForth, kShapeLinear, 1750, 25, 1},
        // The return half is the forward curve turned by 180 degrees.
        {"back and forth, smoothstep back", 0, 100, 0, kTrackBackAndForth, kShapeSmooth, 1750, 15.625f, 1},
        {"back and forth, quantised back", 0, 100, 4, kTrackBackAndForth, kShapeLinear, 1100, 75, 1},
        {"an unknown repeat mode stands at the start", 0, 100, 0, 5, kShapeLinear, 600, 0, 1},
        {"from equals to", 30, 30, 0, kTrackOnce, kShapeLinear, 5000, 30, 1},
    };
    FakeClock clock;
    for (const Case& c : cases) {
        clock.now = 10;
        CTimeTrack track(c.from, c.to, 1000, c.steps, c.repeat, 1);
        track.shapingMode = c.mode;
        clock.now = 10 + c.elapsed;
        EXPECT_NEAR(track.GetValue(), c.expected, 1e-3f) << c.what;
        EXPECT_EQ(track.running, c.running) << c.what;
    }
}

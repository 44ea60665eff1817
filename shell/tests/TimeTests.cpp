// Time steps, time tracks and the shaping curves against a clock that the tests set: every
// value is computed from a stamp and a reading chosen by the test, the counter's wrap-around
// included.
#include <gtest/gtest.h>

#include <ctime>

#include "CTimeStep.h"
#include "CTimeTrack.h"
#include "CTimer.h"

namespace {

// Replaces the millisecond clock for the life of the object and counts its readings.
class FakeClock {
public:
    FakeClock() : m_previous(SetMillisecondClock(&Read))
    {
        now = 0;
        reads = 0;
    }
    ~FakeClock() { SetMillisecondClock(m_previous); }
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    static uint32_t now;
    static int reads;

private:
    static uint32_t Read()
    {
        ++reads;
        return now;
    }
    MillisecondClockFn m_previous;
};
uint32_t FakeClock::now = 0;
int FakeClock::reads = 0;

const float kShapeTolerance = 1e-5f;

} // namespace

TEST(ShapePhase, EachModeAtKnownPoints)
{
    struct Case {
        uint32_t mode;
        float parameter;
        float t;
        float expected;
    };
    const Case cases[] = {
        {kShapeLinear, 0.75f, 0.3f, 0.3f},
        {kShapeSmooth, 0.75f, 0.25f, 0.15625f},
        {kShapeSmooth, 0.75f, 0.5f, 0.5f},
        {kShapeSmooth, 0.75f, 1.0f, 1.0f},
        // Overshoot: the peak 1 + 0.1a at 0.8, the dip 1 - 0.05a at 0.92, then 1.
        {kShapeOvershoot, 0.75f, 0.8f, 1.075f},
        {kShapeOvershoot, 0.75f, 0.92f, 0.9625f},
        {kShapeOvershoot, 0.75f, 1.0f, 1.0f},
        {kShapeBias, 0.5f, 0.3f, 0.3f},
        {kShapeBias, 0.75f, 0.5f, 0.75f},
        {kShapeBias, 0.25f, 0.5f, 0.25f},
        {kShapeGain, 0.5f, 0.7f, 0.7f},
        {kShapeGain, 0.75f, 0.2f, 1.0f / 3.0f},
        {kShapeGain, 0.75f, 0.8f, 2.0f / 3.0f},
        {kShapeGain, 0.75f, 0.5f, 0.5f},
        {7, 0.75f, 0.4f, 0.4f},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(ShapePhase(c.mode, c.parameter, c.t), c.expected, kShapeTolerance)
            << "mode " << c.mode << " a " << c.parameter << " t " << c.t;
}

TEST(TimeStep, ValueAfterWholeIntervals)
{
    struct Case {
        const char* what;
        float start, target, interval, size;
        uint32_t mode;
        uint32_t elapsed;
        float expected;
        uint32_t running;
    };
    const Case cases[] = {
        {"three whole steps", 0, 10, 100, 1, kShapeLinear, 350, 3, 1},
        {"at the start", 0, 10, 100, 1, kShapeLinear, 99, 0, 1},
        {"at the target", 0, 10, 100, 1, kShapeLinear, 1000, 10, 0},
        {"held at the target", 0, 10, 100, 1, kShapeLinear, 5000, 10, 0},
        {"a negative size moves the same way", 0, 10, 100, -1, kShapeLinear, 350, 3, 1},
        {"downwards", 10, 0, 100, 2, kShapeLinear, 250, 6, 1},
        {"a last step past the target stops on it", 0, 10, 100, 4, kShapeLinear, 300, 10, 0},
        {"start equals target", 5, 5, 100, 1, kShapeSmooth, 0, 5, 0},
        {"size 0 upwards stays", 0, 10, 100, 0, kShapeLinear, 100000, 0, 1},
        {"size 0 downwards stays", 10, 0, 100, 0, kShapeLinear, 100000, 10, 1},
        {"size 0 downwards, shaped", 10, 0, 100, 0, kShapeSmooth, 100000, 10, 1},
        {"smoothstep of the stepped phase", 0, 10, 100, 1, kShapeSmooth, 250, 1.04f, 1},
        {"bias", 0, 10, 100, 1, kShapeBias, 500, 7.5f, 1},
        {"gain", 0, 10, 100, 1, kShapeGain, 200, 10.0f / 3.0f, 1},
        {"modes above 4 are linear", 0, 10, 100, 1, 9, 300, 3, 1},
        // The overshoot clock runs at 0.8: nine steps at 1249 ms, the target at 1250 ms.
        {"overshoot before its target", 0, 10, 100, 1, kShapeOvershoot, 1249, 9.708333f, 1},
        {"overshoot at its target", 0, 10, 100, 1, kShapeOvershoot, 1250, 10, 0},
        {"smoothstep at the same time", 0, 10, 100, 1, kShapeSmooth, 1000, 10, 0},
    };
    FakeClock clock;
    for (const Case& c : cases) {
        clock.now = 40000;
        CTimeStep step(c.start, c.target, c.interval, c.size, 1);
        step.shapingMode = c.mode;
        clock.now = 40000 + c.elapsed;
        EXPECT_NEAR(step.GetValue(), c.expected, 1e-4f) << c.what;
        EXPECT_EQ(step.running, c.running) << c.what;
    }
}

TEST(TimeStep, ShapedValueIsReturnedButTheSteppedValueIsKept)
{
    FakeClock clock;
    CTimeStep step(0, 10, 100, 1, 1);
    clock.now = 250;
    EXPECT_FLOAT_EQ(step.GetValue(), 1.04f);
    EXPECT_EQ(step.currentValue, 2.0f);
}

TEST(TimeStep, SetTargetReversesFromWhereItStands)
{
    FakeClock clock;
    clock.now = 1000;
    CTimeStep step(0, 10, 100, 1, 1);
    step.shapingMode = kShapeLinear;
    clock.now = 1350;
    EXPECT_EQ(step.GetValue(), 3.0f);

    step.SetTarget(0);
    EXPECT_EQ(step.startValue, 3.0f);
    EXPECT_EQ(step.targetValue, 0.0f);
    EXPECT_EQ(step.running, 1u);
    EXPECT_EQ(step.timer.startMilliseconds, 1350u);
    // No jump: the reversed run starts where the value stood.
    EXPECT_EQ(step.GetValue(), 3.0f);
    clock.now = 1550;
    EXPECT_EQ(step.GetValue(), 1.0f);
    clock.now = 1650;
    EXPECT_EQ(step.GetValue(), 0.0f);
    EXPECT_EQ(step.running, 0u);

    // Smoothstep: the shaped value right after the reversal is the present value too.
    step.shapingMode = kShapeSmooth;
    step.SetTarget(8);
    EXPECT_EQ(step.GetValue(), 0.0f);
}

TEST(TimeStep, AtTheTargetTheClockIsNotRead)
{
    FakeClock clock;
    CTimeStep step(0, 2, 10, 1, 1);
    clock.now = 20;
    EXPECT_EQ(step.GetValue(), 2.0f);
    const int reads = clock.reads;
    clock.now = 5;
    EXPECT_EQ(step.GetValue(), 2.0f);
    EXPECT_EQ(step.running, 0u);
    EXPECT_EQ(clock.reads, reads);

    CTimeStep still(4, 4, 10, 1, 1);
    const int before = clock.reads;
    EXPECT_EQ(still.GetValue(), 4.0f);
    EXPECT_EQ(clock.reads, before);
}

TEST(TimeTrack, ValueByRepeatModeStepsAndShape)
{
    struct Case {
        const char* what;
        float from, to, duration, steps;
        uint32_t repeat, mode;
        uint32_t elapsed;
        float expected;
        uint32_t running;
    };
    const Case cases[] = {
        {"once, a quarter", 0, 100, 1000, 0, kTrackOnce, kShapeLinear, 250, 25, 1},
        {"once, just before the end", 0, 100, 1000, 0, kTrackOnce, kShapeLinear, 999, 99.9f, 1},
        {"once, at the end", 0, 100, 1000, 0, kTrackOnce, kShapeLinear, 1000, 100, 0},
        {"once, long after", 0, 100, 1000, 0, kTrackOnce, kShapeLinear, 90000, 100, 0},
        {"once, downwards", 100, 0, 1000, 0, kTrackOnce, kShapeLinear, 250, 75, 1},
        {"once, smoothstep", 0, 100, 1000, 0, kTrackOnce, kShapeSmooth, 250, 15.625f, 1},
        {"once, quantised", 0, 100, 1000, 4, kTrackOnce, kShapeLinear, 499, 25, 1},
        // The overshoot runs on the slow clock and is not cut at the to value.
        {"once, overshoot peak", 0, 100, 1000, 0, kTrackOnce, kShapeOvershoot, 1000, 107.5f, 1},
        {"once, overshoot end", 0, 100, 1000, 0, kTrackOnce, kShapeOvershoot, 1250, 100, 0},
        {"repeat, second run", 0, 100, 1000, 0, kTrackRepeat, kShapeLinear, 1250, 25, 1},
        {"repeat, back at the start", 0, 100, 1000, 0, kTrackRepeat, kShapeLinear, 2000, 0, 1},
        {"repeat, overshoot on real time", 0, 100, 1000, 0, kTrackRepeat, kShapeOvershoot, 800, 107.5f, 1},
        {"back and forth, half way out", 0, 100, 1000, 0, kTrackBackAndForth, kShapeLinear, 500, 50, 1},
        {"back and forth, at the to value", 0, 100, 1000, 0, kTrackBackAndForth, kShapeLinear, 1000, 100, 1},
        {"back and forth, half way back", 0, 100, 1000, 0, kTrackBackAndForth, kShapeLinear, 1500, 50, 1},
        {"back and forth, three quarters back", 0, 100, 1000, 0, kTrackBackAndForth, kShapeLinear, 1750, 25, 1},
        {"back and forth, at the from value", 0, 100, 1000, 0, kTrackBackAndForth, kShapeLinear, 2000, 0, 1},
        // The return half is the forward curve turned by 180 degrees.
        {"back and forth, smoothstep back", 0, 100, 1000, 0, kTrackBackAndForth, kShapeSmooth, 1750, 15.625f, 1},
        {"back and forth, smoothstep out", 0, 100, 1000, 0, kTrackBackAndForth, kShapeSmooth, 250, 15.625f, 1},
        {"back and forth, step 0", 0, 100, 1000, 4, kTrackBackAndForth, kShapeLinear, 249, 0, 1},
        {"back and forth, step 1", 0, 100, 1000, 4, kTrackBackAndForth, kShapeLinear, 250, 25, 1},
        {"back and forth, step 2", 0, 100, 1000, 4, kTrackBackAndForth, kShapeLinear, 500, 50, 1},
        {"back and forth, step 3", 0, 100, 1000, 4, kTrackBackAndForth, kShapeLinear, 999, 75, 1},
        {"back and forth, quantised back", 0, 100, 1000, 4, kTrackBackAndForth, kShapeLinear, 1100, 75, 1},
        {"an unknown repeat mode stands at the start", 0, 100, 1000, 0, 5, kShapeLinear, 600, 0, 1},
        {"from equals to", 30, 30, 1000, 0, kTrackOnce, kShapeLinear, 5000, 30, 1},
    };
    FakeClock clock;
    for (const Case& c : cases) {
        clock.now = 10;
        CTimeTrack track(c.from, c.to, c.duration, c.steps, c.repeat, 1);
        track.shapingMode = c.mode;
        clock.now = 10 + c.elapsed;
        EXPECT_NEAR(track.GetValue(), c.expected, 1e-3f) << c.what;
        EXPECT_EQ(track.running, c.running) << c.what;
    }
}

TEST(TimeTrack, RestartsWhenItsUserStampsItAgain)
{
    FakeClock clock;
    CTimeTrack track(0, 10, 100, 0, kTrackOnce, 1);
    track.shapingMode = kShapeLinear;
    clock.now = 500;
    EXPECT_EQ(track.GetValue(), 10.0f);
    EXPECT_EQ(track.running, 0u);
    track.timer.Stamp();
    track.running = 1;
    clock.now = 550;
    EXPECT_EQ(track.GetValue(), 5.0f);
    EXPECT_EQ(track.running, 1u);
}

TEST(Timer, ElapsedTimeAcrossTheCounterWrap)
{
    FakeClock clock;
    struct Case {
        uint32_t stamp;
        uint32_t now;
        float elapsed;
    };
    const Case cases[] = {
        {0xFFFFFF00u, 0x10u, 272.0f},
        {0xFFFFFFFFu, 0u, 1.0f},
        {100u, 100u, 0.0f},
    };
    for (const Case& c : cases) {
        CTimer timer;
        timer.startMilliseconds = c.stamp;
        clock.now = c.now;
        EXPECT_EQ(timer.ElapsedMilliseconds(), c.elapsed) << c.stamp;

        CTimeStep step(0, 100, 10, 1, 1);
        step.shapingMode = kShapeLinear;
        step.timer.startMilliseconds = c.stamp;
        EXPECT_EQ(step.GetValue(), c.elapsed < 10 ? 0.0f : 27.0f) << c.stamp;

        CTimeTrack track(0, 1000, 1000, 0, kTrackRepeat, 1);
        track.shapingMode = kShapeLinear;
        track.timer.startMilliseconds = c.stamp;
        EXPECT_EQ(track.GetValue(), c.elapsed) << c.stamp;
    }
}

TEST(Timer, StampTakesTheThreeClocks)
{
    FakeClock clock;
    clock.now = 123456;
    const uint32_t secondsBefore = static_cast<uint32_t>(_time64(nullptr));
    const int64_t microsecondsBefore = GetPreciseTime();
    CTimer timer;
    const int64_t microsecondsAfter = GetPreciseTime();
    const uint32_t secondsAfter = static_cast<uint32_t>(_time64(nullptr));
    EXPECT_EQ(timer.startMilliseconds, 123456u);
    EXPECT_GE(timer.startSeconds, secondsBefore);
    EXPECT_LE(timer.startSeconds, secondsAfter);
    EXPECT_GE(timer.startMicroseconds, microsecondsBefore);
    EXPECT_LE(timer.startMicroseconds, microsecondsAfter);
    EXPECT_GT(microsecondsBefore, 0);
}

#include "CTimeTrack.h"

#include <cmath>

namespace {

// A single run counts as over this close to its end.
const float kRunEnd = 0.9999f;

float Fraction(float u)
{
    return u - std::trunc(u);
}

} // namespace

CTimeTrack::CTimeTrack(float from, float to, float length, float steps, uint32_t repeat, uint32_t startNow)
    : fromValue(from), toValue(to), duration(length), stepCount(steps), repeatMode(repeat), running(startNow)
{
    if (startNow) {
        timer.Stamp();
        running = 1;
    }
}

float CTimeTrack::GetValue()
{
    float elapsed = timer.ElapsedMilliseconds();
    if (shapingMode == kShapeOvershoot && repeatMode == kTrackOnce)
        elapsed *= kOvershootClockRate;
    const float delta = toValue - fromValue;
    if (delta == 0.0f)
        return toValue;

    // A duration of 0 or less has no phase: a single run is over at once, a repeating one
    // stands at its start.
    const bool timed = duration > 0.0f;
    float p = 0.0f;
    bool mirrored = false;
    switch (repeatMode) {
    case kTrackOnce:
        p = timed ? elapsed / duration : 1.0f;
        if (p >= kRunEnd) {
            running = 0;
            return toValue;
        }
        break;
    case kTrackRepeat:
        p = timed ? Fraction(elapsed / duration) : 0.0f;
        break;
    case kTrackBackAndForth: {
        // One cycle out and back takes twice the duration.
        const float f = timed ? Fraction(elapsed * 0.5f / duration) : 0.0f;
        if (f <= 0.5f) {
            p = 2.0f * f;
        } else {
            p = 1.0f - (f - 0.5f) * 2.0f;
            mirrored = true;
        }
        break;
    }
    default:
        break;
    }
    if (stepCount > 0.0f)
        p = std::trunc(p * stepCount) / stepCount;
    if (mirrored)
        p = 1.0f - p;
    float s = ShapePhase(shapingMode, shapingParameter, p);
    // The return half is the forward curve turned by 180 degrees, ending at the from value.
    if (mirrored)
        s = 1.0f - s;
    const float value = s * delta + fromValue;
    if (repeatMode == kTrackOnce && shapingMode != kShapeOvershoot) {
        if ((delta > 0.0f && value >= toValue) || (delta < 0.0f && value <= toValue)) {
            running = 0;
            return toValue;
        }
    }
    return value;
}

// A value that runs from one end to the other over a duration: once, repeating, or back and
// forth, optionally quantised to a number of steps and shaped by a curve. To restart it, its
// users stamp the timer again and set running. Its fields are read and written directly.
#pragma once
#include <cstdint>

#include "CTimer.h"

enum : uint32_t {
    kTrackOnce = 0,
    kTrackRepeat = 1,
    kTrackBackAndForth = 2,
};

class CTimeTrack : public CClockResource {
public:
    CTimeTrack(float fromValue, float toValue, float duration, float stepCount, uint32_t repeatMode, uint32_t startNow);
    ~CTimeTrack() override = default;

    float GetValue();

    float fromValue; // at phase 0
    float toValue;   // at phase 1
    float duration;  // milliseconds for one run from one end to the other
    float stepCount; // above 0: the phase is quantised to this many steps
    uint32_t repeatMode;
    uint32_t running; // set to 0 when a single run ends
    CTimer timer;
    uint32_t shapingMode = kShapeSmooth;
    float shapingParameter = 0.75f;
};

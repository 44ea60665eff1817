// Clocks for animation: the microsecond clock, a timer that stamps three clocks at once and
// holds a 1 ms system timer resolution while it lives, and the shaping curves that time steps
// and time tracks apply to their phase.
#pragma once
#include <cstdint>

#include "gCResourceObject.h"

// Microseconds from the performance counter. Safe from any thread.
int64_t GetPreciseTime();

// The system's millisecond clock (timeGetTime). Tests put a clock of their own in its place
// to reach any stamp, the counter's wrap-around included; null puts the system's back.
typedef uint32_t (*MillisecondClockFn)();
MillisecondClockFn SetMillisecondClock(MillisecondClockFn clock);
uint32_t ReadMillisecondClock();

// Time objects are made in code; none is ever read from the resource file.
class CClockResource : public gCResourceObject {
public:
    CClockResource() : gCResourceObject(0) {}
    ~CClockResource() override = default;
    gCResult LoadByName(const gCString& name, gCStream* stream, CResourceDirectory* directory) override;
    gCResult LoadByID(uint32_t id, gCStream* stream, CResourceDirectory* directory) override;
};

class CTimer : public CClockResource {
public:
    CTimer();
    ~CTimer() override;
    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;

    // Writes the three start fields, in their order.
    void Stamp();
    // Milliseconds since the stamp, as an unsigned 32-bit difference.
    float ElapsedMilliseconds() const;

    // Users compare a clock of their own choice against the matching field.
    uint32_t startSeconds = 0;      // low 32 bits of _time64
    uint32_t startMilliseconds = 0; // timeGetTime
    int64_t startMicroseconds = 0;  // GetPreciseTime
};

enum : uint32_t {
    kShapeLinear = 0,
    kShapeSmooth = 1,
    kShapeOvershoot = 2,
    kShapeBias = 3,
    kShapeGain = 4,
};

// The overshoot curve runs on a slower clock, so that its swing past the end has time.
constexpr float kOvershootClockRate = 0.8f;

// s(t) for a phase t in 0..1; modes above 4 are linear.
float ShapePhase(uint32_t mode, float parameter, float t);

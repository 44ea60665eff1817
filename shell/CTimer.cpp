#include "CTimer.h"

#include <windows.h>
#include <mmsystem.h>

#include <ctime>

#include "SinCos.h"

namespace {

MillisecondClockFn gMillisecondClock = nullptr;

// The counter's 64 bits as high word x 2^32 + low word, in double: integer maths on
// counter x 1,000,000 overflows after days of uptime.
double CounterValue(const LARGE_INTEGER& value)
{
    return static_cast<double>(value.HighPart) * 65536.0 * 65536.0 + static_cast<double>(value.LowPart);
}

} // namespace

int64_t GetPreciseTime()
{
    LARGE_INTEGER frequency = {};
    LARGE_INTEGER counter = {};
    if (!QueryPerformanceFrequency(&frequency) || !QueryPerformanceCounter(&counter))
        return 0;
    const double perSecond = CounterValue(frequency);
    if (perSecond <= 0.0)
        return 0;
    return static_cast<int64_t>(CounterValue(counter) * 1000000.0 / perSecond);
}

MillisecondClockFn SetMillisecondClock(MillisecondClockFn clock)
{
    MillisecondClockFn previous = gMillisecondClock;
    gMillisecondClock = clock;
    return previous;
}

uint32_t ReadMillisecondClock()
{
    return gMillisecondClock ? gMillisecondClock() : static_cast<uint32_t>(timeGetTime());
}

gCResult CClockResource::LoadByName(const gCString&, gCStream*, CResourceDirectory*)
{
    return kNotImplemented;
}

gCResult CClockResource::LoadByID(uint32_t, gCStream*, CResourceDirectory*)
{
    return kNotImplemented;
}

CTimer::CTimer()
{
    // Requests nest; each timer releases its own in the destructor.
    (void)timeBeginPeriod(1); // a coarser resolution only makes animation less smooth
    Stamp();
}

CTimer::~CTimer()
{
    (void)timeEndPeriod(1); // pairs the constructor's request; nothing to do on failure
}

void CTimer::Stamp()
{
    startSeconds = static_cast<uint32_t>(_time64(nullptr));
    startMilliseconds = ReadMillisecondClock();
    startMicroseconds = GetPreciseTime();
}

float CTimer::ElapsedMilliseconds() const
{
    // Unsigned: a counter that wrapped since the stamp still gives the right difference.
    const uint32_t elapsed = ReadMillisecondClock() - startMilliseconds;
    return static_cast<float>(elapsed);
}

float ShapePhase(uint32_t mode, float a, float t)
{
    switch (mode) {
    case kShapeSmooth:
        return t * t * (3.0f - 2.0f * t);
    case kShapeOvershoot:
        return EaseOvershoot(t, a);
    case kShapeBias:
        return t / (1.0f + (1.0f / a - 2.0f) * (1.0f - t));
    case kShapeGain: {
        const float k = (1.0f / a - 2.0f) * (1.0f - 2.0f * t);
        return t < 0.5f ? t / (1.0f + k) : (k - t) / (k - 1.0f);
    }
    default:
        return t;
    }
}

#include "CTimeStep.h"

#include <cmath>

namespace {

// Whole intervals elapsed. A quotient that is not a finite count (an interval of 0 or less)
// counts as every step at once.
int32_t WholeSteps(float elapsed, float interval)
{
    const float steps = elapsed / interval;
    if (!(steps >= 0.0f && steps < 2147483648.0f))
        return INT32_MAX;
    return static_cast<int32_t>(steps);
}

} // namespace

CTimeStep::CTimeStep(float start, float target, float interval, float size, uint32_t startNow)
    : stepInterval(interval), stepSize(size), currentValue(start), targetValue(target), running(startNow),
      startValue(start)
{
    if (startNow)
        timer.Stamp();
}

void CTimeStep::SetTarget(float newTarget)
{
    startValue = currentValue;
    targetValue = newTarget;
    timer.Stamp();
    running = 1;
}

float CTimeStep::GetValue()
{
    if (currentValue == targetValue) {
        running = 0;
        return currentValue;
    }
    float elapsed = timer.ElapsedMilliseconds();
    if (shapingMode == kShapeOvershoot)
        elapsed *= kOvershootClockRate;
    const int32_t steps = WholeSteps(elapsed, stepInterval);

    // The direction comes from where the target lies, not from the step's sign: a step of
    // size 0 is -0.0 on the way down, and must leave the value where it is.
    const bool upwards = targetValue > currentValue;
    const float size = std::fabs(stepSize);
    const float signedStep = upwards ? size : -size;
    const float value = static_cast<float>(static_cast<double>(startValue) + static_cast<double>(steps) * signedStep);
    currentValue = value;
    if (upwards ? value >= targetValue : value <= targetValue) {
        running = 0;
        currentValue = targetValue;
        return targetValue;
    }
    if (shapingMode == kShapeLinear || shapingMode > kShapeGain)
        return value;
    const float span = targetValue - startValue;
    const float t = (value - startValue) / span;
    return startValue + span * ShapePhase(shapingMode, shapingParameter, t);
}

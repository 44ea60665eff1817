// A value that moves from its start towards a target in whole steps of a fixed size, one step
// per interval, shaped by a curve. SetTarget restarts it from wherever it stands, so a reversed
// animation goes on without a jump. Its fields are read and written directly by its users.
#pragma once
#include <cstdint>

#include "CTimer.h"

class CTimeStep : public CClockResource {
public:
    CTimeStep(float startValue, float targetValue, float stepInterval, float stepSize, uint32_t startNow);
    ~CTimeStep() override = default;

    void SetTarget(float newTarget);
    // Computed from the timer's stamp whenever asked; running only reports the end.
    float GetValue();

    float stepInterval; // milliseconds per step
    float stepSize;     // its sign is ignored
    float currentValue; // the unshaped value last computed
    float targetValue;
    uint32_t running;
    float startValue;
    CTimer timer;
    uint32_t shapingMode = kShapeSmooth;
    float shapingParameter = 0.75f;
};

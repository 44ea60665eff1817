#include "SinCos.h"

#include <cmath>

gSinCosPair gSinCosTable[8001];

void BuildSinCosTable()
{
    const double twoPi = static_cast<double>(6.2831854820251465f);
    for (int i = 0; i <= 8000; ++i) {
        float angle = static_cast<float>(i * twoPi / 7999.0);
        gSinCosTable[i].sine = static_cast<float>(std::sin(static_cast<double>(angle)));
        gSinCosTable[i].cosine = static_cast<float>(std::cos(static_cast<double>(angle)));
    }
}

namespace {
float Smoothstep(float t)
{
    return t * t * (3.0f - 2.0f * t);
}
} // namespace

float EaseOvershoot(float x, float k)
{
    const float peak = 1.0f + 0.1f * k;
    const float dip = 1.0f - 0.05f * k;
    if (x < 0.8f)
        return peak * Smoothstep(x / 0.8f);
    if (x < 0.92f)
        return peak + (dip - peak) * Smoothstep((x - 0.8f) / (0.92f - 0.8f));
    return dip + (1.0f - dip) * Smoothstep((x - 0.92f) / (1.0f - 0.92f));
}

// The animation code's sine/cosine table and its overshooting easing curve.
#pragma once

struct gSinCosPair {
    float sine;
    float cosine;
};

// Pair i holds the angle i x 2pi / 7999, for i = 0..8000.
extern gSinCosPair gSinCosTable[8001];

void BuildSinCosTable();

// Rises from 0 past 1 (peak 1 + 0.1k at x = 0.8), dips to 1 - 0.05k at x = 0.92, settles on 1.
float EaseOvershoot(float x, float k);

// A colour gradient from the resource file: stops at positions from 0 to 1, each with its
// colour 0xAARRGGBB, in rising order.
#pragma once
#include <cstdint>

#include "CMemBlockT.h"
#include "gCResourceObject.h"

struct CGradientStop {
    float position;
    uint32_t colour;
};

class CGradient : public CBodyResource {
public:
    CGradient();

    int32_t GetCount() const { return m_stops.Count(); }
    // Index 0..count-1.
    const CGradientStop& GetStop(int32_t index) const { return m_stops.Data()[index]; }

private:
    // A damaged body is reported (23) and leaves the gradient as it was.
    gCResult ReadBody(CResourceBody body) override;

    CMemBlockT<CGradientStop> m_stops;
};

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

class CGradient : public gCResourceObject {
public:
    CGradient();

    // A damaged body is reported (23) and leaves the gradient as it was.
    gCResult LoadByName(const gCString& name, gCStream* stream, CResourceDirectory* directory) override;
    gCResult LoadByID(uint32_t id, gCStream* stream, CResourceDirectory* directory) override;

    int32_t GetCount() const { return m_stops.Count(); }
    // Index 0..count-1.
    const CGradientStop& GetStop(int32_t index) const { return m_stops.Data()[index]; }

private:
    gCResult ReadBody(CResourceBody body);

    CMemBlockT<CGradientStop> m_stops;
};

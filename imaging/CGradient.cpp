#include "CGradient.h"

#include "ResourceTags.h"

CGradient::CGradient() : CBodyResource(kTagGradient) {}

gCResult CGradient::ReadBody(CResourceBody body)
{
    uint32_t count = 0;
    if (!body.ReadU32(count) || count < 1 || count > kMaxGradientStops || !body.Holds(count, 8))
        return body.Fail("Error reading number of gradient stops.");
    CMemBlockT<CGradientStop> stops;
    if (stops.Resize(static_cast<int32_t>(count)) != kOk)
        return body.Fail("Out of memory for gradient stops.", kOutOfMemory);
    float previous = 0.0f;
    for (uint32_t i = 0; i < count; ++i) {
        CGradientStop& stop = stops.Data()[i];
        if (!body.ReadFloat(stop.position) || !body.ReadU32(stop.colour))
            return body.Fail("Error reading gradient stop.");
        // Written so that a NaN fails too.
        if (!(stop.position >= previous && stop.position <= 1.0f))
            return body.Fail("Gradient stop out of order.");
        previous = stop.position;
    }
    m_stops.Swap(stops);
    return kOk;
}

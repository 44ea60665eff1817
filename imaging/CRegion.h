// A dirty region: a short list of rectangles (exclusive right and bottom) that may overlap.
// It never loses area: when the list is full, the region becomes its bounding rectangle.
#pragma once
#include <cstdint>

#include "gCGeometry.h"

class CRegion {
public:
    static const int32_t kMaxRects = 8;

    // An empty rectangle adds nothing; one inside a listed rectangle neither.
    void Add(const gCRect& rect);
    void Clear() { m_count = 0; }
    bool IsEmpty() const { return m_count == 0; }
    int32_t Count() const { return m_count; }
    const gCRect& At(int32_t index) const { return m_rects[index]; }
    bool Intersects(const gCRect& rect) const;

private:
    gCRect m_rects[kMaxRects];
    int32_t m_count = 0;
};

bool IsEmptyRect(const gCRect& rect);
// The common part of the two; empty (and at a's top-left) when they do not meet.
gCRect IntersectRects(const gCRect& a, const gCRect& b);

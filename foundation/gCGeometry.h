// Integer point (also a width/height pair) and rectangle with exclusive right and bottom.
#pragma once
#include <cstdint>

struct gCPoint {
    int32_t x = 0;
    int32_t y = 0;

    static gCPoint Difference(const gCPoint& a, const gCPoint& b) { return {a.x - b.x, a.y - b.y}; }
    bool operator==(const gCPoint& o) const { return x == o.x && y == o.y; }
};

struct gCRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    gCPoint TopLeft() const { return {left, top}; }
    gCPoint BottomRight() const { return {right, bottom}; }
    gCPoint Size() const { return {right - left, bottom - top}; }
    gCRect OffsetNeg(const gCPoint& p) const { return {left - p.x, top - p.y, right - p.x, bottom - p.y}; }
    bool operator==(const gCRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

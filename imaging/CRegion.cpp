#include "CRegion.h"

#include <algorithm>

namespace {
bool Contains(const gCRect& outer, const gCRect& inner)
{
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

gCRect Union(const gCRect& a, const gCRect& b)
{
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}
} // namespace

bool IsEmptyRect(const gCRect& rect)
{
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

gCRect IntersectRects(const gCRect& a, const gCRect& b)
{
    const gCRect common = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                           std::min(a.bottom, b.bottom)};
    return IsEmptyRect(common) ? gCRect{a.left, a.top, a.left, a.top} : common;
}

void CRegion::Add(const gCRect& rect)
{
    if (IsEmptyRect(rect))
        return;
    int32_t kept = 0;
    for (int32_t i = 0; i < m_count; ++i) {
        if (Contains(m_rects[i], rect))
            return;
        if (!Contains(rect, m_rects[i]))
            m_rects[kept++] = m_rects[i];
    }
    m_count = kept;
    if (m_count < kMaxRects) {
        m_rects[m_count++] = rect;
        return;
    }
    gCRect bounds = rect;
    for (int32_t i = 0; i < m_count; ++i)
        bounds = Union(bounds, m_rects[i]);
    m_rects[0] = bounds;
    m_count = 1;
}

bool CRegion::Intersects(const gCRect& rect) const
{
    for (int32_t i = 0; i < m_count; ++i)
        if (!IsEmptyRect(IntersectRects(m_rects[i], rect)))
            return true;
    return false;
}

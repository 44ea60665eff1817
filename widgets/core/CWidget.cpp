#include "CWidget.h"

void CWidget::Invalidate(const gCRect& area)
{
    m_dirty.Add(IntersectRects(area, {0, 0, GetWidth(), GetHeight()}));
}

void RectOffset(gCRect& out, const gCRect& rect, const gCPoint& by)
{
    out = {rect.left + by.x, rect.top + by.y, rect.right + by.x, rect.bottom + by.y};
}

#include "CWidget.h"

void RectOffset(gCRect& out, const gCRect& rect, const gCPoint& by)
{
    out = {rect.left + by.x, rect.top + by.y, rect.right + by.x, rect.bottom + by.y};
}

#include "CWidget.h"

#include "ResourceTags.h"

CWidget::CWidget() : CBodyResource(kTagWidget) {}

// Chunks of tags this widget does not know are stepped over by their sizes, within the block.
gCResult CWidget::ReadBody(CResourceBody body)
{
    uint32_t blockSize = 0;
    if (!body.ReadU32(blockSize) || !body.Holds(blockSize, 1))
        return body.Fail("Error reading widget data block size.");
    CResourceBody block = body.Part(blockSize);
    bool sized = false;
    int32_t width = 0, height = 0;
    while (block.Holds(1, 1)) {
        uint32_t tag = 0, size = 0;
        if (!block.ReadU32(tag) || !block.ReadU32(size) || (tag != kTagWidgetSize && !block.Skip(size)))
            return block.Fail("Error reading widget data chunk.");
        if (tag != kTagWidgetSize)
            continue;
        if (size != 8 || !block.ReadS32(width) || !block.ReadS32(height) || width < 0 || height < 0 ||
            width > kMaxWidgetSide || height > kMaxWidgetSide)
            return block.Fail("Error reading widget size.");
        sized = true;
    }
    if (!sized)
        return body.Fail("Widget has no size.");
    gCResult r = SetSize(width, height, 0);
    return r == kOk ? r : body.Fail("Widget size could not be set.", r);
}

gCResult CWidget::SetSize(int32_t width, int32_t height, int32_t)
{
    if (width < 0 || height < 0)
        return kBadParameter;
    m_position.right = m_position.left + width;
    m_position.bottom = m_position.top + height;
    return kOk;
}

void CWidget::Invalidate(const gCRect& area)
{
    m_dirty.Add(IntersectRects(area, {0, 0, GetWidth(), GetHeight()}));
}

void RectOffset(gCRect& out, const gCRect& rect, const gCPoint& by)
{
    out = {rect.left + by.x, rect.top + by.y, rect.right + by.x, rect.bottom + by.y};
}

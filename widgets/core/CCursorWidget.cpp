#include "CCursorWidget.h"

namespace {
// 'X' the outline, '.' the fill, ' ' clear; the tip is the top-left pixel.
const char* const kArrow[CCursorWidget::kHeight] = {
    "X           ", "XX          ", "X.X         ", "X..X        ", "X...X       ", "X....X      ", "X.....X     ",
    "X......X    ", "X.......X   ", "X........X  ", "X.........X ", "X......XXXXX", "X...X..X    ", "X..XX..X    ",
    "X.X  X..X   ", "XX   X..X   ", "X     X..X  ", "      X..X  ", "       XX   ",
};
const uint32_t kOutline = 0xFF000000;
const uint32_t kFill = 0xFFFFFFFF;

// The arrow's own pixel at a point of its rectangle; 0 where it is clear.
uint32_t ArrowPixel(int32_t x, int32_t y)
{
    if (x < 0 || y < 0 || x >= CCursorWidget::kWidth || y >= CCursorWidget::kHeight)
        return 0;
    switch (kArrow[y][x]) {
    case 'X':
        return kOutline;
    case '.':
        return kFill;
    default:
        return 0;
    }
}
} // namespace

CCursorWidget::CCursorWidget()
{
    m_position = {0, 0, kWidth, kHeight};
}

void CCursorWidget::MoveTo(const gCPoint& tip)
{
    m_position = {tip.x, tip.y, tip.x + kWidth, tip.y + kHeight};
}

gCResult CCursorWidget::Render(const CImageBase& backBuffer)
{
    if (!m_picture.IsValid())
        QV_RETURN_IF_FAILED(m_picture.Create(kWidth, kHeight));
    // The section may still have GDI's drawing pending.
    GdiFlush();
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            const uint32_t arrow = ArrowPixel(x, y);
            m_picture.SetPixel(x, y, arrow ? arrow : backBuffer.GetPixel(m_position.left + x, m_position.top + y));
        }
    return kOk;
}

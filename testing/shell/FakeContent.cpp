#include "FakeContent.h"

gCResult FakeContent::SetSize(int32_t width, int32_t height, int32_t)
{
    if (failSize != kOk)
        return failSize;
    m_selected.Restore();
    m_dc.Reset();
    m_bitmap.Reset();
    m_pixels = nullptr;
    if (width > 0 && height > 0) {
        // Top-down rows of 32 bits.
        BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        void* bits = nullptr;
        m_bitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        m_dc.Reset(CreateCompatibleDC(nullptr));
        // A half-made buffer is let go by the next resize or the content's end.
        if (!m_bitmap.IsValid() || !m_dc.IsValid() || !m_selected.Select(m_dc.Get(), m_bitmap.Get()))
            return kOutOfMemory;
        m_pixels = static_cast<uint32_t*>(bits);
    }
    m_width = width;
    m_height = height;
    return kOk;
}

void FakeContent::Fill(uint32_t pixel)
{
    GdiFlush();
    for (int32_t i = 0; m_pixels && i < m_width * m_height; ++i)
        m_pixels[i] = pixel;
}

gCResult FakeContent::DispatchKeyDown(int32_t& handled, int32_t code)
{
    keys.push_back(code);
    handled = handleKeys;
    return kOk;
}

gCResult FakeContent::DispatchHeartbeat()
{
    ++heartbeats;
    return kOk;
}

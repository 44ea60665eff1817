#include "CImageBase.h"

#include <utility>

CImageBase::~CImageBase()
{
    Destroy();
}

gCResult CImageBase::Create(int32_t width, int32_t height)
{
    if (width < 1 || height < 1)
        return kBadParameter;
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u > 0x7FFFFFFFu)
        return kOutOfMemory;
    Destroy();

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    CBitmapHandle bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap.IsValid() || !bits)
        return kOutOfMemory;
    m_bitmap = std::move(bitmap);
    m_bits = static_cast<uint32_t*>(bits);
    m_width = width;
    m_height = height;
    return kOk;
}

void CImageBase::Destroy()
{
    ReleaseMemDC();
    m_bitmap.Reset();
    m_bits = nullptr;
    m_width = 0;
    m_height = 0;
}

uint32_t CImageBase::GetPixel(int32_t x, int32_t y) const
{
    if (!m_bits || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0;
    return m_bits[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)];
}

void CImageBase::SetPixel(int32_t x, int32_t y, uint32_t pixel)
{
    if (!m_bits || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    m_bits[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)] = pixel;
}

void CImageBase::Fill(uint32_t pixel)
{
    const size_t count = static_cast<size_t>(m_width) * static_cast<size_t>(m_height);
    for (size_t i = 0; i < count; ++i)
        m_bits[i] = pixel;
}

HDC CImageBase::GetMemDC()
{
    if (m_memDC.IsValid())
        return m_memDC.Get();
    if (!m_bitmap.IsValid())
        return nullptr;
    CMemoryDC dc(CreateCompatibleDC(nullptr));
    if (!dc.IsValid() || !m_selected.Select(dc.Get(), m_bitmap.Get()))
        return nullptr;
    m_memDC = std::move(dc);
    return m_memDC.Get();
}

void CImageBase::ReleaseMemDC()
{
    m_selected.Restore();
    m_memDC.Reset();
}

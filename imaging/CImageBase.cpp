#include "CImageBase.h"

#include <utility>

#include "ResourceTags.h"

CImageBase::CImageBase() : CBodyResource(kTagImage) {}

CImageBase::~CImageBase()
{
    Destroy();
}

// The pixels go into a section of their own, which becomes the image's only once all of them
// were read.
gCResult CImageBase::ReadImage(CResourceBody& body)
{
    uint32_t width = 0, height = 0;
    if (!body.ReadU32(width) || !body.ReadU32(height) || width < 1 || height < 1 || width > kMaxImageSide ||
        height > kMaxImageSide || !body.Holds(static_cast<uint64_t>(width) * height, 4))
        return body.Fail("Error reading image size.");
    CBitmapHandle bitmap;
    uint32_t* bits = nullptr;
    gCResult r = MakeSection(static_cast<int32_t>(width), static_cast<int32_t>(height), bitmap, bits);
    if (r != kOk)
        return body.Fail("Out of memory for image pixels.", r);
    if (!body.ReadBytes(bits, width * height * 4u))
        return body.Fail("Error reading image pixels.");
    TakeSection(bitmap, bits, static_cast<int32_t>(width), static_cast<int32_t>(height));
    return kOk;
}

gCResult CImageBase::Create(int32_t width, int32_t height)
{
    CBitmapHandle bitmap;
    uint32_t* bits = nullptr;
    QV_RETURN_IF_FAILED(MakeSection(width, height, bitmap, bits));
    TakeSection(bitmap, bits, width, height);
    return kOk;
}

gCResult CImageBase::MakeSection(int32_t width, int32_t height, CBitmapHandle& bitmap, uint32_t*& bits)
{
    if (width < 1 || height < 1)
        return kBadParameter;
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u > 0x7FFFFFFFu)
        return kOutOfMemory;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* section = nullptr;
    bitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &section, nullptr, 0));
    if (!bitmap.IsValid() || !section)
        return kOutOfMemory;
    bits = static_cast<uint32_t*>(section);
    return kOk;
}

void CImageBase::TakeSection(CBitmapHandle& bitmap, uint32_t* bits, int32_t width, int32_t height)
{
    Destroy();
    m_bitmap = std::move(bitmap);
    m_bits = bits;
    m_width = width;
    m_height = height;
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

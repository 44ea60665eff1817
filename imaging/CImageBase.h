// A 32-bit image held in a top-down DIB section (pixels 0xAARRGGBB, stored B, G, R, A). The
// image owns its section and the memory DC that GetMemDC creates on first use. It is also the
// image resource of the resource file, whose size and pixels load into the section.
#pragma once
#include <windows.h>

#include <cstdint>

#include "WinHandle.h"
#include "gCResourceObject.h"
#include "gCResult.h"

class CImageBase : public CBodyResource {
public:
    CImageBase();
    ~CImageBase() override;
    CImageBase(const CImageBase&) = delete;
    CImageBase& operator=(const CImageBase&) = delete;

    // Reads one image's size and pixels from a body, as a load and an image list do.
    gCResult ReadImage(CResourceBody& body);

    // Replaces the pixels with a new, zeroed section: 0, 6 for a size below 1, 5 when the
    // section cannot be had.
    gCResult Create(int32_t width, int32_t height);
    void Destroy();

    bool IsValid() const { return m_bitmap.IsValid(); }
    int32_t GetWidth() const { return m_width; }
    int32_t GetHeight() const { return m_height; }
    // Row y starts at GetBits() + y * width. Call GdiFlush before reading after GDI drew.
    uint32_t* GetBits() { return m_bits; }
    uint32_t GetPixel(int32_t x, int32_t y) const;
    void SetPixel(int32_t x, int32_t y, uint32_t pixel);
    void Fill(uint32_t pixel);

    // The memory DC with the section selected; null on failure or without pixels.
    HDC GetMemDC();
    // Puts the DC's previous bitmap back and deletes the DC.
    void ReleaseMemDC();

private:
    // A damaged body is reported (23) and leaves the image as it was.
    gCResult ReadBody(CResourceBody body) override { return ReadImage(body); }

    // A new section of that size, not yet the image's: 0, 6 or 5 as for Create.
    static gCResult MakeSection(int32_t width, int32_t height, CBitmapHandle& bitmap, uint32_t*& bits);
    void TakeSection(CBitmapHandle& bitmap, uint32_t* bits, int32_t width, int32_t height);

    CBitmapHandle m_bitmap;
    uint32_t* m_bits = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
    // Declared after the section: the selection is undone, then the DC deleted, then the section.
    CMemoryDC m_memDC;
    CSelectGuard m_selected;
};

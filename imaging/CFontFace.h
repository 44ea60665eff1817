// One FreeType face at one pixel size, drawing single lines of text into a 32-bit image with
// kerning and anti-aliasing. Used by windows that draw their own text; the face is opened from
// a font resource, which must outlive it, or from a font file, whose bytes it keeps.
#pragma once
#include <cstdint>

#include "CImageBase.h"
#include "CMemBlockT.h"
#include "FontEngine.h"
#include "gCFont.h"
#include "gCGeometry.h"
#include "gCString.h"

class CFontFace {
public:
    CFontFace() = default;
    ~CFontFace();
    CFontFace(const CFontFace&) = delete;
    CFontFace& operator=(const CFontFace&) = delete;

    // 0; 24 without the font engine or when FreeType cannot open the file; 6 for a size < 1.
    gCResult Open(const gCString& fontFile, int32_t pixelSize);
    // The same over a loaded font's bytes; 24 when the font holds none.
    gCResult Open(const gCFont& font, int32_t pixelSize);
    bool IsOpen() const { return m_face.IsValid(); }
    void Close();

    // Pixels from the top of a line to its baseline, and the whole line's height.
    int32_t GetAscent() const { return m_ascent; }
    int32_t GetLineHeight() const { return m_lineHeight; }
    // The advance of the text in pixels, kerning included.
    int32_t MeasureText(const gCString& text) const;
    // Blends the text in the colour (0xAARRGGBB; alpha scales the coverage) over the image,
    // its line's top-left at (x, top), clipped to the rectangle. Returns the advance.
    int32_t DrawText(CImageBase& image, int32_t x, int32_t top, const gCString& text, uint32_t colour,
                     const gCRect& clip) const;

private:
    gCResult OpenBytes(const uint8_t* bytes, int32_t length, int32_t pixelSize);
    // The glyph of the character; the pen moves by the kerning after the previous glyph.
    FT_UInt NextGlyph(wchar_t c, FT_UInt& previous, FT_Pos& pen) const;

    // A font file's bytes, which the face reads from for its whole life; empty for a face over
    // a font resource.
    CMemBlockT<uint8_t> m_data;
    CFaceHandle m_face;
    int32_t m_ascent = 0;
    int32_t m_lineHeight = 0;
};

// The full path of the first of the named files that lies in the system fonts folder.
// 0, or 9 when none does.
gCResult FindSystemFont(const wchar_t* const* names, int32_t count, gCString& path);

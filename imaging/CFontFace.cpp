#include "CFontFace.h"

#include <shlobj.h>

#include <cwchar>
#include <utility>

#include "FileOps.h"
#include "ResourceTags.h"
#include "gCFRef.h"
#include "gCFile.h"

CFontFace::~CFontFace()
{
    Close();
}

void CFontFace::Close()
{
    m_face.Reset();
    m_data.Free();
}

gCResult CFontFace::Open(const gCString& fontFile, int32_t pixelSize)
{
    if (pixelSize < 1)
        return kBadParameter;
    Close();
    // FreeType takes 8-bit names; the wide name's short form would depend on the volume, so
    // the file is read through the toolkit instead and handed over as memory.
    gCFile file;
    if (file.OpenFullPath(fontFile, kAccessRead) != kOk)
        return kCreateFailure;
    const int64_t length = file.GetLength();
    if (length <= 0 || length > kMaxFontBytes || m_data.Resize(static_cast<int32_t>(length)) != kOk)
        return kCreateFailure;
    if (file.ReadBytes(m_data.Data(), static_cast<uint32_t>(length)) != kOk)
        return kCreateFailure;
    return OpenBytes(m_data.Data(), m_data.Count(), pixelSize);
}

gCResult CFontFace::Open(const gCFont& font, int32_t pixelSize)
{
    if (pixelSize < 1)
        return kBadParameter;
    Close();
    return OpenBytes(font.GetBytes(), font.GetByteCount(), pixelSize);
}

gCResult CFontFace::OpenBytes(const uint8_t* bytes, int32_t length, int32_t pixelSize)
{
    CFaceHandle face;
    QV_RETURN_IF_FAILED(OpenMemoryFace(bytes, length, face));
    if (FT_Set_Pixel_Sizes(face.Get(), 0, static_cast<FT_UInt>(pixelSize)) != 0)
        return kCreateFailure;
    const FT_Size_Metrics& metrics = face.Get()->size->metrics;
    m_ascent = static_cast<int32_t>((metrics.ascender + 63) >> 6);
    m_lineHeight = static_cast<int32_t>((metrics.height + 63) >> 6);
    m_face = std::move(face);
    return kOk;
}

namespace {
uint8_t Channel(uint32_t pixel, int32_t shift)
{
    return static_cast<uint8_t>((pixel >> shift) & 0xFF);
}

// Straight-alpha "over" for one pixel whose destination is taken as opaque.
uint32_t BlendOver(uint32_t destination, uint32_t colour, uint32_t coverage)
{
    const uint32_t alpha = coverage * Channel(colour, 24) / 255;
    uint32_t out = 0xFF000000;
    for (int32_t shift = 0; shift <= 16; shift += 8) {
        const uint32_t d = Channel(destination, shift);
        const uint32_t s = Channel(colour, shift);
        out |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
    }
    return out;
}
} // namespace

FT_UInt CFontFace::NextGlyph(wchar_t c, FT_UInt& previous, FT_Pos& pen) const
{
    const FT_UInt glyph = FT_Get_Char_Index(m_face.Get(), c);
    if (FT_HAS_KERNING(m_face.Get()) && previous && glyph) {
        FT_Vector delta;
        if (FT_Get_Kerning(m_face.Get(), previous, glyph, FT_KERNING_DEFAULT, &delta) == 0)
            pen += delta.x;
    }
    previous = glyph;
    return glyph;
}

int32_t CFontFace::MeasureText(const gCString& text) const
{
    if (!m_face.IsValid())
        return 0;
    FT_Pos pen = 0;
    FT_UInt previous = 0;
    for (int32_t i = 0; i < text.Length(); ++i) {
        const FT_UInt glyph = NextGlyph(text[i], previous, pen);
        if (FT_Load_Glyph(m_face.Get(), glyph, FT_LOAD_DEFAULT) == 0)
            pen += m_face.Get()->glyph->advance.x;
    }
    return static_cast<int32_t>((pen + 63) >> 6);
}

int32_t CFontFace::DrawText(CImageBase& image, int32_t x, int32_t top, const gCString& text, uint32_t colour,
                            const gCRect& clip) const
{
    if (!m_face.IsValid() || !image.IsValid())
        return 0;
    const int32_t left = clip.left > 0 ? clip.left : 0;
    const int32_t upper = clip.top > 0 ? clip.top : 0;
    const int32_t right = clip.right < image.GetWidth() ? clip.right : image.GetWidth();
    const int32_t lower = clip.bottom < image.GetHeight() ? clip.bottom : image.GetHeight();
    const int32_t baseline = top + m_ascent;
    FT_Pos pen = static_cast<FT_Pos>(x) << 6;
    FT_UInt previous = 0;
    uint32_t* bits = image.GetBits();
    const int32_t stride = image.GetWidth();
    for (int32_t i = 0; i < text.Length(); ++i) {
        const FT_UInt glyph = NextGlyph(text[i], previous, pen);
        if (FT_Load_Glyph(m_face.Get(), glyph, FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot slot = m_face.Get()->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int32_t originX = static_cast<int32_t>((pen + 32) >> 6) + slot->bitmap_left;
        const int32_t originY = baseline - slot->bitmap_top;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            for (uint32_t row = 0; row < bitmap.rows; ++row) {
                const int32_t y = originY + static_cast<int32_t>(row);
                if (y < upper || y >= lower)
                    continue;
                const uint8_t* source = bitmap.buffer + static_cast<int32_t>(row) * bitmap.pitch;
                for (uint32_t column = 0; column < bitmap.width; ++column) {
                    const int32_t px = originX + static_cast<int32_t>(column);
                    const uint32_t coverage = gGlyphGamma[source[column]];
                    if (px < left || px >= right || coverage == 0)
                        continue;
                    uint32_t& target = bits[static_cast<size_t>(y) * stride + px];
                    target = BlendOver(target, colour, coverage);
                }
            }
        }
        pen += slot->advance.x;
    }
    return static_cast<int32_t>((pen + 63) >> 6) - x;
}

gCResult FindSystemFont(const wchar_t* const* names, int32_t count, gCString& path)
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_FONTS, nullptr, 0, folder)))
        return kFileNotFound;
    gCString base(folder);
    if (base.Length() > 0 && base[base.Length() - 1] != L'\\')
        QV_RETURN_IF_FAILED(base.AppendChar(L'\\'));
    for (int32_t i = 0; i < count; ++i) {
        gCString candidate = gCString::Concat(base, gCString(names[i]));
        if (FileExists(gCFRef(candidate))) {
            path = candidate;
            return kOk;
        }
    }
    return kFileNotFound;
}

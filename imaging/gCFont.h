// A font from the resource file: a font file's bytes, opened by FreeType from memory. The
// bytes live as long as the font; the faces drawn at a size (CFontFace) read them too, so the
// font outlives the faces made from it.
#pragma once
#include <cstdint>

#include "CMemBlockT.h"
#include "FontEngine.h"
#include "gCResourceObject.h"

class gCFont : public CBodyResource {
public:
    gCFont();
    ~gCFont() override = default;
    gCFont(const gCFont&) = delete;
    gCFont& operator=(const gCFont&) = delete;

    // Null until a font is loaded.
    FT_Face GetFace() const { return m_face.Get(); }
    const uint8_t* GetBytes() const { return m_bytes.Data(); }
    int32_t GetByteCount() const { return m_bytes.Count(); }

private:
    // A damaged body, or bytes that FreeType refuses, are reported (23) and leave the font as
    // it was.
    gCResult ReadBody(CResourceBody body) override;

    // Declared before the face, which reads them: the face goes first.
    CMemBlockT<uint8_t> m_bytes;
    CFaceHandle m_face;
};

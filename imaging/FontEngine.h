// The process-wide FreeType library object and the glyph gamma tables. The application
// object starts the engine at construction and stops it at destruction.
#pragma once
#include <cstdint>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "WinHandle.h"
#include "gCResult.h"

// Creates the library once: 0, 5 when memory runs out, or 24 when it cannot be initialised.
gCResult InitFontEngine();
void DoneFontEngine();
// Null while the engine is stopped.
FT_Library GetFontLibrary();

struct CFaceTraits {
    using Type = FT_Face;
    static Type Invalid() { return nullptr; }
    static void Close(Type face) { FT_Done_Face(face); }
};
using CFaceHandle = CUniqueHandle<CFaceTraits>;

// Opens the first face of a font file held in memory, which the caller keeps unchanged for as
// long as the face lives: 0, or 24 without the engine or when FreeType refuses the bytes.
gCResult OpenMemoryFace(const uint8_t* bytes, int32_t length, CFaceHandle& face);

// Fills the glyph gamma tables: round(255 (i/255)^g) and round(255 (i/255)^(1/g)).
void BuildGammaTables(float gamma);
extern uint8_t gGlyphGamma[256];
extern uint8_t gGlyphGammaInverse[256];

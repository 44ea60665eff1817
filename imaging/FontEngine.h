// The process-wide FreeType library object and the glyph gamma tables. The application
// object starts the engine at construction and stops it at destruction.
#pragma once
#include <cstdint>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "gCResult.h"

// Creates the library once: 0, 5 when memory runs out, or 24 when it cannot be initialised.
gCResult InitFontEngine();
void DoneFontEngine();
// Null while the engine is stopped.
FT_Library GetFontLibrary();

// Fills the glyph gamma tables: round(255 (i/255)^g) and round(255 (i/255)^(1/g)).
void BuildGammaTables(float gamma);
extern uint8_t gGlyphGamma[256];
extern uint8_t gGlyphGammaInverse[256];

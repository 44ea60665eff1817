#include "FontEngine.h"

#include FT_MODULE_H

#include <cmath>

#include "gMem.h"

uint8_t gGlyphGamma[256];
uint8_t gGlyphGammaInverse[256];

namespace {
FT_Library gLibrary = nullptr;

// FreeType allocates through the toolkit's memory hooks like everything else.
void* FtAlloc(FT_Memory, long size)
{
    return gMemAlloc(static_cast<size_t>(size));
}

void FtFree(FT_Memory, void* block)
{
    gMemFree(block);
}

void* FtRealloc(FT_Memory, long, long newSize, void* block)
{
    return gMemRealloc(block, static_cast<size_t>(newSize));
}

FT_MemoryRec_ gMemory = {nullptr, FtAlloc, FtFree, FtRealloc};

uint8_t GammaEntry(int32_t i, float exponent)
{
    float value = 255.0f * std::pow(static_cast<float>(i) / 255.0f, exponent);
    // Halves to even, as the default rounding mode does.
    return static_cast<uint8_t>(std::lrintf(value));
}
} // namespace

gCResult InitFontEngine()
{
    if (gLibrary)
        return kOk;
    FT_Library library = nullptr;
    FT_Error error = FT_New_Library(&gMemory, &library);
    if (error == FT_Err_Out_Of_Memory)
        return kOutOfMemory;
    if (error != 0 || !library)
        return kCreateFailure;
    FT_Add_Default_Modules(library);
    FT_Set_Default_Properties(library);
    gLibrary = library;
    return kOk;
}

void DoneFontEngine()
{
    if (gLibrary) {
        FT_Done_Library(gLibrary);
        gLibrary = nullptr;
    }
}

FT_Library GetFontLibrary()
{
    return gLibrary;
}

gCResult OpenMemoryFace(const uint8_t* bytes, int32_t length, CFaceHandle& face)
{
    FT_Face opened = nullptr;
    if (!gLibrary || !bytes || length < 1 ||
        FT_New_Memory_Face(gLibrary, bytes, static_cast<FT_Long>(length), 0, &opened) != 0)
        return kCreateFailure;
    face.Reset(opened);
    return kOk;
}

void BuildGammaTables(float gamma)
{
    for (int32_t i = 0; i < 256; ++i) {
        gGlyphGamma[i] = GammaEntry(i, gamma);
        gGlyphGammaInverse[i] = GammaEntry(i, 1.0f / gamma);
    }
}

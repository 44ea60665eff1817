// The font engine's start and stop, its gamma tables, and the 32-bit image with
// its memory DC.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CImageBase.h"
#include "FailingAllocator.h"
#include "FontEngine.h"

TEST(FontEngine, OutOfMemoryLeavesNoLibraryThenStartsOnceAndStops)
{
    gCResult result;
    {
        FailingAllocator fail(0);
        result = InitFontEngine();
    }
    EXPECT_RESULT(result, kOutOfMemory);
    EXPECT_EQ(GetFontLibrary(), nullptr);
    ASSERT_OK(InitFontEngine());
    FT_Library library = GetFontLibrary();
    EXPECT_OK(InitFontEngine());
    EXPECT_EQ(GetFontLibrary(), library);
    DoneFontEngine();
    EXPECT_EQ(GetFontLibrary(), nullptr);
}

TEST(GammaTables, FollowThePowerCurveRoundedToNearest)
{
    BuildGammaTables(2.2f);
    EXPECT_EQ(gGlyphGamma[128], 56);         // 255 x 0.50196^2.2 = 55.98
    EXPECT_EQ(gGlyphGammaInverse[128], 186); // 255 x 0.50196^(1/2.2) = 186.4
    EXPECT_EQ(gGlyphGamma[255], 255);
    BuildGammaTables(1.0f);
}

TEST(CImageBase, SizesAtTheLimitsRowsTopDownAndTheMemoryDCGivenBack)
{
    CImageBase image;
    EXPECT_RESULT(image.Create(0, 5), kBadParameter);
    EXPECT_RESULT(image.Create(5, 0), kBadParameter);
    EXPECT_RESULT(image.Create(70000, 70000), kOutOfMemory);
    EXPECT_FALSE(image.IsValid());

    ASSERT_OK(image.Create(3, 2));
    image.Fill(0xFF00FF00);
    image.SetPixel(2, 1, 0xFFA0B0C0);
    HDC dc = image.GetMemDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetPixel(dc, 2, 1), RGB(0xA0, 0xB0, 0xC0));
    // Drawing through the DC lands in the pixels.
    RECT cell = {0, 0, 1, 1};
    CBrushHandle brush(CreateSolidBrush(RGB(0x11, 0x22, 0x33)));
    FillRect(dc, &cell, brush.Get());
    GdiFlush();
    EXPECT_EQ(image.GetPixel(0, 0) & 0xFFFFFF, 0x112233u);
    image.ReleaseMemDC();
    ASSERT_NE(image.GetMemDC(), nullptr);
    // A new size drops the DC with the old section.
    ASSERT_OK(image.Create(1, 1));
    EXPECT_EQ(GetPixel(image.GetMemDC(), 0, 0), RGB(0, 0, 0));
}

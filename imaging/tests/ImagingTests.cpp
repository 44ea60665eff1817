#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CImageBase.h"
#include "FailingAllocator.h"
#include "FontEngine.h"

TEST(FontEngine, StartsOnceAndStops)
{
    ASSERT_OK(InitFontEngine());
    FT_Library library = GetFontLibrary();
    ASSERT_NE(library, nullptr);
    EXPECT_OK(InitFontEngine());
    EXPECT_EQ(GetFontLibrary(), library);

    FT_Int major = 0, minor = 0, patch = 0;
    FT_Library_Version(library, &major, &minor, &patch);
    EXPECT_EQ(major, 2);

    DoneFontEngine();
    EXPECT_EQ(GetFontLibrary(), nullptr);
    DoneFontEngine();
}

TEST(FontEngine, OutOfMemoryGivesFiveAndNoLibrary)
{
    gCResult result;
    {
        FailingAllocator fail(0);
        result = InitFontEngine();
    }
    EXPECT_EQ(result, 5);
    EXPECT_EQ(GetFontLibrary(), nullptr);
    EXPECT_OK(InitFontEngine());
    DoneFontEngine();
}

TEST(GammaTables, FollowThePowerCurveRoundedToNearest)
{
    BuildGammaTables(1.0f);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(gGlyphGamma[i], i);
        ASSERT_EQ(gGlyphGammaInverse[i], i);
    }
    BuildGammaTables(2.2f);
    EXPECT_EQ(gGlyphGamma[0], 0);
    EXPECT_EQ(gGlyphGamma[255], 255);
    EXPECT_EQ(gGlyphGamma[128], 56);         // 255 x 0.50196^2.2 = 55.98
    EXPECT_EQ(gGlyphGammaInverse[128], 186); // 255 x 0.50196^(1/2.2) = 186.4
    EXPECT_EQ(gGlyphGammaInverse[255], 255);
    for (int i = 1; i < 256; ++i)
        ASSERT_LE(gGlyphGamma[i - 1], gGlyphGamma[i]);
    BuildGammaTables(1.0f);
}

TEST(CImageBase, RejectsEmptySizes)
{
    CImageBase image;
    for (auto size : {std::pair<int, int>{0, 5}, {5, 0}, {-1, 3}})
        EXPECT_EQ(image.Create(size.first, size.second), 6);
    EXPECT_EQ(image.Create(70000, 70000), 5);
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetMemDC(), nullptr);
}

TEST(CImageBase, RowsRunTopDownInTheMemoryDC)
{
    CImageBase image;
    ASSERT_OK(image.Create(3, 2));
    EXPECT_EQ(image.GetPixel(2, 1), 0u);
    image.SetPixel(0, 0, 0xFF102030);
    image.SetPixel(2, 1, 0xFFA0B0C0);
    HDC dc = image.GetMemDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(image.GetMemDC(), dc);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(GetPixel(dc, 2, 1), RGB(0xA0, 0xB0, 0xC0));

    // Drawing through the DC lands in the pixels.
    RECT cell = {1, 0, 2, 1};
    CBrushHandle brush(CreateSolidBrush(RGB(0x11, 0x22, 0x33)));
    FillRect(dc, &cell, brush.Get());
    GdiFlush();
    EXPECT_EQ(image.GetPixel(1, 0) & 0xFFFFFF, 0x112233u);
}

TEST(CImageBase, ReleaseGivesTheBitmapBackAndANewDCFollows)
{
    CImageBase image;
    ASSERT_OK(image.Create(4, 4));
    image.Fill(0xFF00FF00);
    HDC first = image.GetMemDC();
    ASSERT_NE(first, nullptr);
    image.ReleaseMemDC();
    image.ReleaseMemDC();
    HDC second = image.GetMemDC();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetPixel(second, 3, 3), RGB(0, 0xFF, 0));
    // A new size drops the DC with the old section.
    ASSERT_OK(image.Create(2, 2));
    EXPECT_EQ(image.GetPixel(1, 1), 0u);
    HDC third = image.GetMemDC();
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(GetPixel(third, 1, 1), RGB(0, 0, 0));
}

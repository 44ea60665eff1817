// The font engine's start and stop, and the 32-bit image with its memory DC. The windows' back
// buffers are such images: the widgets' tests show their rows reaching the screen top first.
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

TEST(CImageBase, SizesAtTheLimitsRowsTopDownAndTheMemoryDCGivenBack)
{
    CImageBase image;
    EXPECT_RESULT(image.Create(0, 5), kBadParameter);
    EXPECT_RESULT(image.Create(5, 0), kBadParameter);
    EXPECT_RESULT(image.Create(70000, 70000), kOutOfMemory);
    EXPECT_FALSE(image.IsValid());

    ASSERT_OK(image.Create(3, 2));
    image.SetPixel(2, 1, 0xFFA0B0C0);
    ASSERT_NE(image.GetMemDC(), nullptr);
    image.ReleaseMemDC();
    EXPECT_EQ(GetPixel(image.GetMemDC(), 2, 1), RGB(0xA0, 0xB0, 0xC0));
    // A new image drops the DC with the old section.
    ASSERT_OK(image.Create(3, 2));
    EXPECT_EQ(GetPixel(image.GetMemDC(), 2, 1), RGB(0, 0, 0));
}

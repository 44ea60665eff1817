// What the screen shows: the window under Xvfb with a back buffer that the test filled.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstdio>

#include "CBackdrop.h"
#include "TestApp.h"
#include "WidgetServices.h"
#include "WinHandle.h"

namespace {
const uint32_t kQuadrants[4] = {0xFFD02020, 0xFF20B040, 0xFF2040D0, 0xFFF0E020};

// Left/right halves, top/bottom halves, and a white frame one pixel wide.
void FillPattern(CImageBase& image)
{
    const int32_t w = image.GetWidth();
    const int32_t h = image.GetHeight();
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            bool edge = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            int32_t quadrant = (x >= w / 2 ? 1 : 0) + (y >= h / 2 ? 2 : 0);
            image.SetPixel(x, y, edge ? 0xFFFFFFFF : kQuadrants[quadrant]);
        }
}

COLORREF ToColorRef(uint32_t pixel)
{
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

// Copies a rectangle of the screen into a top-down 32-bit image.
bool GrabScreen(const RECT& rect, CImageBase& shot)
{
    if (shot.Create(rect.right - rect.left, rect.bottom - rect.top) != 0)
        return false;
    CWindowDC screen(nullptr);
    HDC target = shot.GetMemDC();
    bool ok = screen.Get() && target &&
              BitBlt(target, 0, 0, shot.GetWidth(), shot.GetHeight(), screen.Get(), rect.left, rect.top, SRCCOPY);
    shot.ReleaseMemDC();
    GdiFlush();
    return ok;
}

// Keeps the picture beside the test program for a person to look at.
void SaveBitmap(CImageBase& image, const char* name)
{
    CStdFile file(std::fopen(name, "wb"));
    if (!file.IsValid())
        return;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = image.GetWidth();
    info.biHeight = -image.GetHeight();
    info.biPlanes = 1;
    info.biBitCount = 32;
    const DWORD pixels = static_cast<DWORD>(image.GetWidth() * image.GetHeight() * 4);
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(header) + sizeof(info);
    header.bfSize = header.bfOffBits + pixels;
    std::fwrite(&header, sizeof(header), 1, file.Get());
    std::fwrite(&info, sizeof(info), 1, file.Get());
    std::fwrite(image.GetBits(), 1, pixels, file.Get());
}
} // namespace

TEST(Screenshot, ShowsTheFilledBackBuffer)
{
    TestApp app(GetWidgetServices());
    CBackdrop* content = new CBackdrop();
    ASSERT_OK(app.OpenTestWindow(content));
    HWND window = GetMainWindow()->GetHandle();
    FillPattern(content->GetBackBuffer());
    EXPECT_OK(content->Present());
    PumpFor(100);

    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    RECT around = {client.left - 20, client.top - 20, client.right + 20, client.bottom + 20};
    CImageBase shot;
    ASSERT_TRUE(GrabScreen(around, shot));
    SaveBitmap(shot, "window-screenshot.bmp");

    auto at = [&](int32_t x, int32_t y) { return ToColorRef(shot.GetPixel(x + 20, y + 20)); };
    EXPECT_EQ(at(160, 60), ToColorRef(kQuadrants[0]));
    EXPECT_EQ(at(480, 60), ToColorRef(kQuadrants[1]));
    EXPECT_EQ(at(160, 180), ToColorRef(kQuadrants[2]));
    EXPECT_EQ(at(480, 180), ToColorRef(kQuadrants[3]));
    EXPECT_EQ(at(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(at(639, 239), RGB(255, 255, 255));
    // Nothing of the window outside its client area: no caption, no border.
    EXPECT_NE(at(-1, 100), RGB(255, 255, 255));
    EXPECT_NE(at(100, -1), RGB(255, 255, 255));
    EXPECT_NE(at(640, 100), RGB(255, 255, 255));

    GetMainWindow()->Close();
    DrainQuit();
}

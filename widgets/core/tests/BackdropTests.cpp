// The backdrop on its own and in a real window: its back buffer, rollover, presenting and its own
// cursor; the widgets' rectangle offset.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ResultAssert.h"

#include "CBackdrop.h"
#include "TestApp.h"
#include "WidgetServices.h"

TEST(Backdrop, SizeSetsThePositionAndTheBackBuffer)
{
    struct Case {
        int32_t width, height;
        gCResult result;
        gCRect position;
        bool buffer;
    } cases[] = {
        {1, 1, kOk, {10, 20, 11, 21}, true},
        {0, 240, kOk, {10, 20, 10, 260}, false},
        {640, 0, kOk, {10, 20, 650, 20}, false},
        {-1, 240, kBadParameter, {10, 20, 30, 40}, false},
        {640, -1, kBadParameter, {10, 20, 30, 40}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " by " << c.height);
        CBackdrop backdrop;
        backdrop.SetPosition({10, 20, 30, 40});
        EXPECT_EQ(backdrop.SetSize(c.width, c.height, 0), c.result);
        EXPECT_EQ(backdrop.GetPosition(), c.position);
        EXPECT_EQ(backdrop.GetBackBufferDC() != nullptr, c.buffer);
        backdrop.ReleaseBackBufferDC();
    }
    // A size without pixels lets the old buffer go; without a window nothing is on screen.
    CBackdrop backdrop;
    ASSERT_OK(backdrop.SetSize(8, 8, 0));
    EXPECT_OK(backdrop.Present());
    backdrop.UpdateRollover();
    EXPECT_EQ(backdrop.GetRollover(), nullptr);
    ASSERT_OK(backdrop.SetSize(0, 8, 0));
    EXPECT_FALSE(backdrop.GetBackBuffer().IsValid());
    // A widget's rectangle moves each edge along its own axis.
    gCRect moved;
    RectOffset(moved, {-3, 4, 10, 20}, {5, -7});
    EXPECT_EQ(moved, (gCRect{2, -3, 15, 13}));
}

TEST(Backdrop, StopsBeingTheViewTargetWhenItGoes)
{
    CBackdrop other;
    {
        CBackdrop backdrop;
        SetViewMessageTarget(&backdrop);
    }
    EXPECT_EQ(GetViewMessageTarget(), nullptr);
    SetViewMessageTarget(&other);
    delete new CBackdrop();
    EXPECT_EQ(GetViewMessageTarget(), &other);
    SetViewMessageTarget(nullptr);
}

TEST(BackdropInWindow, RolloverFollowsTheClientAreaAndPresentDrawsAtOnceTopRowFirst)
{
    TestApp app(GetWidgetServices());
    CBackdrop* backdrop = new CBackdrop();
    ASSERT_OK(app.OpenTestWindow(backdrop));
    HWND window = GetMainWindow()->GetHandle();
    PumpFor(50);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    EXPECT_EQ(backdrop->LocalToScreen({5, -7}), (gCPoint{origin.x + 5, origin.y - 7}));
    struct Case {
        int dx, dy;
        bool inside;
    } cases[] = {{0, 0, true}, {639, 239, true}, {640, 100, false}, {100, 240, false}, {-1, 100, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
        ASSERT_TRUE(SetCursorPos(origin.x + c.dx, origin.y + c.dy));
        backdrop->UpdateRollover();
        EXPECT_EQ(backdrop->GetRollover(), c.inside ? backdrop : nullptr);
    }
    backdrop->ClearRollover();
    EXPECT_EQ(backdrop->GetRollover(), nullptr);

    // The first paint is done and nothing is left to paint: only Present can draw now. A
    // layered content is presented by its own road, not by this copy.
    const auto pixel = [window](int x, int y) {
        CWindowDC dc(window);
        return GetPixel(dc.Get(), x, y);
    };
    CImageBase& buffer = backdrop->GetBackBuffer();
    buffer.Fill(0xFF30C050);
    for (int32_t x = 600; x < 640; ++x)
        buffer.SetPixel(x, 239, 0xFF2040D0);
    backdrop->InvalidateAll();
    ValidateRect(window, nullptr);
    EXPECT_NE(pixel(5, 5), RGB(0x30, 0xC0, 0x50));
    EXPECT_OK(backdrop->Present());
    EXPECT_EQ(pixel(5, 5), RGB(0x30, 0xC0, 0x50));
    EXPECT_EQ(pixel(639, 239), RGB(0x20, 0x40, 0xD0));
    backdrop->SetLayered(1);
    buffer.Fill(0xFF000000);
    EXPECT_OK(backdrop->Present());
    EXPECT_EQ(pixel(5, 5), RGB(0x30, 0xC0, 0x50));
}

// Present copies what was marked, once. The own cursor is drawn over the picture on the screen,
// never into the back buffer; it follows the pointer, comes back after a paint and goes when
// hidden.
TEST(BackdropInWindow, PresentCopiesOnlyTheDirtyPartAndTheOwnCursorIsDrawnOverIt)
{
    TestApp app(GetWidgetServices());
    CBackdrop* backdrop = new CBackdrop();
    ASSERT_OK(app.OpenTestWindow(backdrop));
    HWND window = GetMainWindow()->GetHandle();
    PumpFor(50);
    const auto expectScreen = [window](std::vector<std::pair<gCPoint, COLORREF>> pixels) {
        CWindowDC dc(window);
        for (const auto& p : pixels)
            EXPECT_EQ(GetPixel(dc.Get(), p.first.x, p.first.y), p.second) << p.first.x << "," << p.first.y;
    };
    const COLORREF green = RGB(0x30, 0xC0, 0x50), blue = RGB(0x20, 0x40, 0xD0), black = 0, white = RGB(255, 255, 255);
    CImageBase& buffer = backdrop->GetBackBuffer();
    buffer.Fill(0xFF30C050);
    backdrop->InvalidateAll();
    ASSERT_OK(backdrop->Present());
    ValidateRect(window, nullptr);

    buffer.Fill(0xFF2040D0);
    backdrop->Invalidate({0, 100, 640, 110});
    EXPECT_OK(backdrop->Present());
    expectScreen({{{320, 99}, green}, {{320, 100}, blue}, {{639, 109}, blue}, {{320, 110}, green}});
    EXPECT_TRUE(backdrop->GetDirtyRegion().IsEmpty());
    EXPECT_OK(backdrop->Present());
    expectScreen({{{320, 99}, green}});

    buffer.Fill(0xFF30C050);
    backdrop->InvalidateAll();
    ASSERT_OK(backdrop->Present());
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    ASSERT_TRUE(SetCursorPos(origin.x + 100, origin.y + 50));
    backdrop->ShowCursor();
    EXPECT_EQ(backdrop->IsCursorShown(), 1);
    // The tip is outline, two rows down the middle is fill.
    expectScreen({{{100, 50}, black}, {{101, 52}, white}, {{99, 50}, green}});
    EXPECT_EQ(buffer.GetPixel(100, 50), 0xFF30C050u);
    ASSERT_TRUE(SetCursorPos(origin.x + 300, origin.y + 120));
    backdrop->UpdateCursorWidget();
    expectScreen({{{100, 50}, green}, {{101, 52}, green}, {{300, 120}, black}});
    // A paint copies the buffer over it; the next move puts it back where it is.
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    expectScreen({{{300, 120}, green}});
    backdrop->UpdateCursorWidget();
    expectScreen({{{300, 120}, black}});
    backdrop->HideCursor();
    EXPECT_EQ(backdrop->IsCursorShown(), 0);
    expectScreen({{{300, 120}, green}, {{301, 122}, green}});
}

// The backdrop on its own and in a real window: its back buffer, rollover and presenting; the
// widgets' rectangle offset.
#include <gtest/gtest.h>

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

// The clipboard, the system cursor's display counter and the main window's minimise and
// restore, on a real window under Xvfb.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstring>

#include "FailingAllocator.h"
#include "ShellHandles.h"
#include "TestApp.h"

namespace {

// This thread's cursor display counter, left as it was.
int CursorCounter()
{
    int counter = ShowCursor(TRUE);
    ShowCursor(FALSE);
    return counter - 1;
}

void MoveCursorCounter(int steps)
{
    for (; steps > 0; --steps)
        ShowCursor(TRUE);
    for (; steps < 0; ++steps)
        ShowCursor(FALSE);
}

// Puts 8-bit text alone on the clipboard, as an older program would.
bool PutAnsiOnly(HWND owner, const char* text)
{
    CClipboardSession clipboard(owner);
    if (!clipboard.IsOpen())
        return false;
    EmptyClipboard();
    const size_t size = std::strlen(text) + 1;
    CGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block.IsValid())
        return false;
    {
        CGlobalLock lock(block.Get());
        std::memcpy(lock.Data(), text, size);
    }
    if (!SetClipboardData(CF_TEXT, block.Get()))
        return false;
    (void)block.Release(); // the clipboard owns the block now
    return true;
}

bool EmptyTheClipboard(HWND owner)
{
    CClipboardSession clipboard(owner);
    if (!clipboard.IsOpen())
        return false;
    EmptyClipboard();
    return true;
}

} // namespace

TEST(Clipboard, TextRoundTripsEightBitTextIsReadThroughTheAnsiCodePageAndMemoryFailureGives5)
{
    TestApp app;
    ASSERT_OK(app.OpenPlainWindow());
    for (const wchar_t* text : {L"Quorvel \u4E2D\u6587 \u00E9\u20AC", L"", L"line\r\nline"}) {
        ASSERT_OK(app.SetClipboardText(gCString(text)));
        gCString read(L"before");
        EXPECT_OK(app.GetClipboardText(read));
        EXPECT_EQ(W(read), text);
    }

    ASSERT_TRUE(PutAnsiOnly(app.GetMainWindowHandle(), "caf\xE9 \x80"));
    gCString read;
    EXPECT_OK(app.GetClipboardText(read));
    EXPECT_EQ(W(read), L"caf\u00E9 \u20AC");

    ASSERT_OK(app.SetClipboardText(gCString(L"a text that needs a buffer of its own")));
    gCString starved;
    gCResult result;
    {
        FailingAllocator failing(0);
        result = app.GetClipboardText(starved);
    }
    EXPECT_RESULT(result, kOutOfMemory);
    EXPECT_TRUE(starved.IsUnset());
}

TEST(Clipboard, NoTextGives2AndNoWindowGives24)
{
    {
        TestApp app;
        ASSERT_OK(app.OpenPlainWindow());
        ASSERT_TRUE(EmptyTheClipboard(app.GetMainWindowHandle()));
        gCString read(L"kept");
        EXPECT_RESULT(app.GetClipboardText(read), kHandled);
        EXPECT_EQ(W(read), L"kept");
        ASSERT_OK(app.SetClipboardText(gCString(L"left for the next app")));
    }
    CApp windowless;
    EXPECT_RESULT(windowless.SetClipboardText(gCString(L"x")), kCreateFailure);
    gCString read(L"kept");
    EXPECT_RESULT(windowless.GetClipboardText(read), kCreateFailure);
    EXPECT_EQ(W(read), L"kept");
}

TEST(SystemCursor, CounterIsWalkedToExactlyMinusOneAndZero)
{
    CApp app;
    const int start = CursorCounter();
    for (int from : {3, -4, 0, -1}) {
        SCOPED_TRACE(from);
        MoveCursorCounter(from - CursorCounter());
        ASSERT_EQ(CursorCounter(), from);
        app.HideSystemCursor();
        EXPECT_EQ(CursorCounter(), -1);
        EXPECT_FALSE(app.IsSystemCursorShown());
        app.ShowSystemCursor();
        EXPECT_EQ(CursorCounter(), 0);
        EXPECT_TRUE(app.IsSystemCursorShown());
    }
    MoveCursorCounter(start - CursorCounter());
}

TEST(SystemCursor, SavingTwiceKeepsTheFirstState)
{
    TestApp app;
    ASSERT_OK(app.OpenPlainWindow());
    app.ShowAppCursor();
    ASSERT_TRUE(app.IsOwnCursorShowing());
    app.SaveCursorState();
    EXPECT_EQ(CursorCounter(), 0);
    app.HideAllCursors();
    app.SaveCursorState();
    app.RestoreCursorState();
    EXPECT_TRUE(app.IsOwnCursorShowing());
    EXPECT_EQ(CursorCounter(), -1);
    app.ShowSystemCursor();
}

TEST(MainWindow, MinimiseAndRestore)
{
    {
        CApp windowless;
        EXPECT_OK(windowless.Minimise());
        EXPECT_OK(windowless.Restore());
    }
    TestApp app;
    ASSERT_OK(app.OpenPlainWindow());
    HWND window = app.GetMainWindowHandle();
    EXPECT_OK(app.Minimise());
    EXPECT_TRUE(IsIconic(window));
    EXPECT_OK(app.Restore());
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(IsWindowVisible(window));
}

namespace {
// Synthetic input reaches the key state through the display: pump until it has.
bool WithinASecond(CAppWin& app, int32_t (CAppWin::*isDown)(), bool down)
{
    return PumpUntil([&] { return ((app.*isDown)() != 0) == down; }, 1000);
}

// Without a window manager only a click gives the window the display's keyboard focus.
void ClickInto(HWND window)
{
    SetForegroundWindow(window);
    RECT rect;
    GetWindowRect(window, &rect);
    SetCursorPos(rect.left + 10, rect.top + 10);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    PumpFor(100);
}
} // namespace

TEST(Keys, ModifiersFollowTheKeyboard)
{
    TestApp app;
    ASSERT_OK(app.OpenPlainWindow());
    ClickInto(app.GetMainWindowHandle());
    ASSERT_EQ(GetForegroundWindow(), app.GetMainWindowHandle());
    struct Key {
        WORD virtualKey;
        int32_t (CAppWin::*isDown)();
    };
    for (const Key& key : {Key{VK_SHIFT, &CAppWin::IsShiftDown}, Key{VK_CONTROL, &CAppWin::IsControlDown},
                           Key{VK_MENU, &CAppWin::IsAltDown}}) {
        SCOPED_TRACE(key.virtualKey);
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key.virtualKey;
        ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
        EXPECT_TRUE(WithinASecond(app, key.isDown, true));
        EXPECT_TRUE(app.IsKeyDown(key.virtualKey));
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
        EXPECT_TRUE(WithinASecond(app, key.isDown, false));
    }
}

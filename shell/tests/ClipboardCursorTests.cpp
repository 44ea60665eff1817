// The clipboard, the system cursor's display counter, the main window's minimise and restore
// and the modifier keys, on a real window under Xvfb.
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

// Empties the clipboard, then puts 8-bit text alone on it, as an older program would.
bool PutAnsiOnly(HWND owner, const char* text)
{
    CClipboardSession clipboard(owner);
    if (!clipboard.IsOpen() || !EmptyClipboard())
        return false;
    if (!text)
        return true;
    CGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1));
    if (!block.IsValid())
        return false;
    {
        CGlobalLock lock(block.Get());
        std::memcpy(lock.Data(), text, std::strlen(text) + 1);
    }
    if (!SetClipboardData(CF_TEXT, block.Get()))
        return false;
    (void)block.Release(); // the clipboard owns the block now
    return true;
}
} // namespace

TEST(Clipboard, TextRoundTripsEightBitTextIsReadThroughTheCodePageAndFailuresKeepTheText)
{
    {
        TestApp app;
        ASSERT_OK(app.OpenPlainWindow());
        for (const wchar_t* text : {L"Quorvel \u4E2D\u6587 \u00E9\u20AC", L""}) {
            ASSERT_OK(app.SetClipboardText(gCString(text)));
            gCString read(L"before");
            EXPECT_OK(app.GetClipboardText(read));
            EXPECT_EQ(W(read), text);
        }
        ASSERT_TRUE(PutAnsiOnly(app.GetMainWindowHandle(), "caf\xE9 \x80"));
        gCString read;
        EXPECT_OK(app.GetClipboardText(read));
        EXPECT_EQ(W(read), L"caf\u00E9 \u20AC");

        ASSERT_TRUE(PutAnsiOnly(app.GetMainWindowHandle(), nullptr));
        gCString kept(L"kept");
        EXPECT_RESULT(app.GetClipboardText(kept), kHandled);
        ASSERT_OK(app.SetClipboardText(gCString(L"a text that needs a buffer of its own")));
        {
            FailingAllocator failing(0);
            EXPECT_RESULT(app.GetClipboardText(kept), kOutOfMemory);
        }
        EXPECT_EQ(W(kept), L"kept");
    }
    // The text is still there; a program without a window reaches none of it.
    CApp windowless;
    EXPECT_RESULT(windowless.SetClipboardText(gCString(L"x")), kCreateFailure);
    gCString read(L"kept");
    EXPECT_RESULT(windowless.GetClipboardText(read), kCreateFailure);
    EXPECT_EQ(W(read), L"kept");
}

TEST(SystemCursor, CounterIsWalkedToExactlyMinusOneAndZeroAndASecondSaveKeepsTheFirst)
{
    TestApp app;
    ASSERT_OK(app.OpenPlainWindow());
    const int start = CursorCounter();
    for (int from : {3, -4, 0, -1}) {
        SCOPED_TRACE(from);
        MoveCursorCounter(from - CursorCounter());
        app.HideSystemCursor();
        EXPECT_EQ(CursorCounter(), -1);
        app.ShowSystemCursor();
        EXPECT_EQ(CursorCounter(), 0);
        EXPECT_TRUE(app.IsSystemCursorShown());
    }
    app.ShowAppCursor();
    app.SaveCursorState();
    EXPECT_EQ(CursorCounter(), 0);
    app.HideAllCursors();
    app.SaveCursorState();
    app.RestoreCursorState();
    EXPECT_TRUE(app.IsOwnCursorShowing());
    EXPECT_EQ(CursorCounter(), -1);
    MoveCursorCounter(start - CursorCounter());
}

TEST(MainWindow, MinimiseAndRestoreAndWithoutAWindowNothing)
{
    {
        CApp windowless;
        EXPECT_OK(windowless.Minimise());
    }
    TestApp app;
    ASSERT_OK(app.OpenPlainWindow());
    HWND window = app.GetMainWindowHandle();
    EXPECT_OK(app.Minimise());
    EXPECT_TRUE(IsIconic(window));
    EXPECT_OK(app.Restore());
    EXPECT_FALSE(IsIconic(window));
}

// Synthetic input reaches the key state through the display; without a window manager only
// a click gives the window the display's keyboard focus.
TEST(Keys, ModifiersFollowTheKeyboard)
{
    TestApp app;
    ASSERT_OK(app.OpenPlainWindow());
    HWND window = app.GetMainWindowHandle();
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
    ASSERT_EQ(GetForegroundWindow(), window);
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
        for (bool down : {true, false}) {
            input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
            ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
            EXPECT_TRUE(PumpUntil([&] { return ((app.*key.isDown)() != 0) == down; }, 1000));
            EXPECT_EQ(app.IsKeyDown(key.virtualKey) != 0, down);
        }
    }
}

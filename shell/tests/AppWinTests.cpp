// The application's services on the system: the cursors, the clipboard, minimising and the
// keyboard's modifiers, on a real window under Xvfb.
#include <gtest/gtest.h>

#include "ResultAssert.h"

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
} // namespace

TEST(SystemCursor, CounterIsWalkedToExactlyMinusOneAndZero)
{
    CApp app;
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
    MoveCursorCounter(start - CursorCounter());
}

// Real key presses move the modifiers, each its own, down and up; Unicode text round trips
// through the clipboard and an empty one leaves the text; a second save of the cursor state
// keeps the first, whose own cursor the restore brings back.
TEST(MainWindow, ModifiersClipboardMinimisingAndTheSavedCursorState)
{
    TestApp app;
    // Before any window opens: with one the Alt key would start its menu mode. A press can be
    // lost when Wine takes the keyboard's state again from the X server, which never saw it: it
    // is sent again then.
    for (const auto& [key, mask] : {std::pair<WORD, int32_t>{VK_SHIFT, 1}, {VK_CONTROL, 2}, {VK_MENU, 4}}) {
        for (DWORD up : {0ul, static_cast<DWORD>(KEYEVENTF_KEYUP)}) {
            INPUT input = {INPUT_KEYBOARD, {}};
            input.ki = {key, 0, up, 0, 0};
            const int32_t want = up ? 0 : mask;
            bool seen = false;
            for (int attempt = 0; attempt < 5 && !seen; ++attempt) {
                ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
                seen = PumpUntil(
                    [&] { return (app.IsShiftDown() | app.IsControlDown() << 1 | app.IsAltDown() << 2) == want; }, 400);
            }
            EXPECT_TRUE(seen) << key << (up ? " up" : " down");
        }
    }
    ASSERT_OK(app.OpenPlainWindow());
    const wchar_t* text = L"Quorvel \u4E2D\u6587 \u20AC\r\n";
    ASSERT_OK(app.SetClipboardText(gCString(text)));
    gCString read;
    EXPECT_OK(app.GetClipboardText(read));
    {
        CClipboardSession clipboard(app.GetMainWindowHandle());
        ASSERT_TRUE(clipboard.IsOpen() && EmptyClipboard());
    }
    EXPECT_RESULT(app.GetClipboardText(read), kHandled);
    EXPECT_EQ(W(read), text);

    EXPECT_OK(app.Minimise());
    EXPECT_TRUE(IsIconic(app.GetMainWindowHandle()));
    EXPECT_OK(app.Restore());
    EXPECT_FALSE(IsIconic(app.GetMainWindowHandle()));

    app.ShowAppCursor();
    app.SaveCursorState();
    app.HideAllCursors();
    app.SaveCursorState();
    app.RestoreCursorState();
    EXPECT_TRUE(app.IsOwnCursorShowing());
    app.ShowSystemCursor();
}

// The clipboard and the system cursor's display counter, on a real window under Xvfb.
#include <gtest/gtest.h>

#include "ResultAssert.h"

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

bool EmptyTheClipboard(HWND owner)
{
    CClipboardSession clipboard(owner);
    return clipboard.IsOpen() && EmptyClipboard();
}
} // namespace

TEST(Clipboard, TextRoundTripsAndFailuresKeepTheText)
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
        ASSERT_TRUE(EmptyTheClipboard(app.GetMainWindowHandle()));
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

// The system cursor's display counter, which Win32 keeps per thread.
#include <gtest/gtest.h>

#include "CApp.h"

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

// The widget base: its size comes from its position, and rectangles move by a point.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CWidget.h"
#include "Expect.h"

TEST(Widget, RectOffsetMovesEveryEdge)
{
    struct Case {
        gCRect rect;
        gCPoint by;
        gCRect moved;
    } cases[] = {
        {{0, 0, 10, 20}, {0, 0}, {0, 0, 10, 20}},
        {{0, 0, 10, 20}, {5, 7}, {5, 7, 15, 27}},
        {{-3, 4, 10, 20}, {-10, -20}, {-13, -16, 0, 0}},
    };
    for (const Case& c : cases) {
        gCRect out;
        RectOffset(out, c.rect, c.by);
        EXPECT_EQ(out, c.moved);
    }
}

TEST(Widget, SizeAndNameFollowWhatWasSet)
{
    CWidget widget;
    EXPECT_EQ(widget.GetWidth(), 0);
    widget.SetPosition({10, 20, 50, 25});
    EXPECT_EQ(widget.GetWidth(), 40);
    EXPECT_EQ(widget.GetHeight(), 5);
    gCString name(L"Progress");
    ASSERT_OK(widget.SetWidgetName(name));
    ASSERT_OK(name.SetText(L"changed"));
    EXPECT_EQ(W(widget.GetWidgetName()), L"Progress");
    EXPECT_OK(widget.Present());
}

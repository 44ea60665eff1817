// Rectangles move by a point.
#include <gtest/gtest.h>

#include "CWidget.h"

TEST(Widget, RectOffsetMovesEveryEdge)
{
    struct Case {
        gCRect rect;
        gCPoint by;
        gCRect moved;
    } cases[] = {
        {{0, 0, 10, 20}, {5, 7}, {5, 7, 15, 27}},
        {{-3, 4, 10, 20}, {-10, -20}, {-13, -16, 0, 0}},
    };
    for (const Case& c : cases) {
        gCRect out;
        RectOffset(out, c.rect, c.by);
        EXPECT_EQ(out, c.moved);
    }
}

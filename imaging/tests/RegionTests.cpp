// The dirty region: what it keeps of each rectangle added, and that it never loses area.
#include <gtest/gtest.h>

#include <vector>

#include "CRegion.h"

TEST(CRegion, KeepsEachNewAreaOnceAndBecomesItsBoundsWhenFull)
{
    struct Case {
        const char* name;
        std::vector<gCRect> added;
        std::vector<gCRect> kept;
    } cases[] = {
        {"empty ones", {{5, 5, 5, 9}, {5, 5, 9, 4}}, {}},
        {"one inside another", {{0, 0, 10, 10}, {2, 2, 4, 4}}, {{0, 0, 10, 10}}},
        {"one around others", {{2, 2, 4, 4}, {6, 6, 8, 8}, {0, 0, 10, 10}}, {{0, 0, 10, 10}}},
        {"overlapping", {{0, 0, 10, 10}, {5, 5, 15, 15}}, {{0, 0, 10, 10}, {5, 5, 15, 15}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRegion region;
        for (const gCRect& r : c.added)
            region.Add(r);
        std::vector<gCRect> kept;
        for (int32_t i = 0; i < region.Count(); ++i)
            kept.push_back(region.At(i));
        EXPECT_EQ(kept, c.kept);
    }
    // One more than it lists: the bounds of them all.
    CRegion full;
    for (int32_t i = 0; i <= CRegion::kMaxRects; ++i)
        full.Add({i * 10, 100 - i, i * 10 + 5, 101 - i});
    ASSERT_EQ(full.Count(), 1);
    EXPECT_EQ(full.At(0), (gCRect{0, 100 - CRegion::kMaxRects, CRegion::kMaxRects * 10 + 5, 101}));
    EXPECT_TRUE(full.Intersects({40, 96, 41, 97}));
    EXPECT_FALSE(full.Intersects({0, 101, 90, 120}));
    full.Clear();
    EXPECT_TRUE(full.IsEmpty());
}

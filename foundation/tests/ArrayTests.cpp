#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CMemBlockT.h"
#include "FailingAllocator.h"
#include "gCArray.h"
#include "gCGeometry.h"
#include "gCOwnedPtr.h"

namespace {
void Fill(gCArray<int>& a, int n)
{
    for (int i = 0; i < n; ++i)
        ASSERT_OK(a.Add(i));
}
} // namespace

// Brings an array to exactly `held` elements at capacity `held`, then adds one more under the
// grow step `step`; the capacity it grows to.
int32_t CapacityAfterOneMore(int held, int32_t step = -1)
{
    gCArray<int> a;
    EXPECT_OK(a.Add(0));
    a.SetGrowStep(held - 1);
    Fill(a, held - 1);
    EXPECT_EQ(a.Capacity(), held);
    a.SetGrowStep(step);
    EXPECT_OK(a.Add(held));
    EXPECT_EQ(a[held], held);
    return a.Capacity();
}

TEST(ArrayGrowth, FirstAllocationIsExactThenAQuarterClampedTo8And2048)
{
    gCArray<int> a;
    ASSERT_OK(a.Add(1));
    EXPECT_EQ(a.Capacity(), 1);
    EXPECT_EQ(CapacityAfterOneMore(8), 16);
    EXPECT_EQ(CapacityAfterOneMore(100), 125);
    EXPECT_EQ(CapacityAfterOneMore(20000), 22048);

    gCArray<int> fixed;
    fixed.SetGrowStep(3);
    Fill(fixed, 2);
    EXPECT_EQ(fixed.Capacity(), 4);
}

TEST(ArrayGrowth, AFixedStepBelowZeroStillMakesRoomForTheNewCount)
{
    // An array of 10 at capacity 10 grows by one element under each fixed step.
    const struct {
        int32_t step;
        int32_t capacity;
    } cases[] = {{-5, 11}, {-2, 11}, {-20, 11}, {0, 11}, {3, 13}};
    for (const auto& c : cases)
        EXPECT_EQ(CapacityAfterOneMore(10, c.step), c.capacity) << c.step;
}

TEST(ArrayGrowth, FailedGrowthReturns5AndKeepsTheArray)
{
    gCArray<int> a;
    Fill(a, 9);
    ASSERT_EQ(a.Capacity(), 9);
    const int* before = a.Data();
    gCResult grow, first;
    {
        FailingAllocator fail(0);
        grow = a.Add(42);
    }
    EXPECT_EQ(grow, 5);
    EXPECT_EQ(a.Count(), 9);
    EXPECT_EQ(a.Capacity(), 9);
    EXPECT_EQ(a.Data(), before);
    EXPECT_EQ(a[8], 8);

    gCArray<int> empty;
    {
        FailingAllocator fail(0);
        first = empty.Add(1);
    }
    EXPECT_EQ(first, 5);
    EXPECT_EQ(empty.Count(), 0);
    EXPECT_EQ(empty.Data(), nullptr);
}

TEST(ArrayRemoval, KeepsOrderAndDestroysElements)
{
    gCArray<int> a;
    Fill(a, 5);
    a.RemoveAt(1);
    a.RemoveAt(99);
    ASSERT_EQ(a.Count(), 4);
    EXPECT_EQ(a[0], 0);
    EXPECT_EQ(a[1], 2);
    EXPECT_EQ(a[3], 4);
    EXPECT_EQ(a.IndexOf(4), 3);
    EXPECT_EQ(a.IndexOf(1), -1);
}

TEST(MemBlock, ResizeCopyAndFailure)
{
    CMemBlockT<char> block;
    ASSERT_OK(block.Resize(4));
    block.CopyFrom("abcdefgh", 8);
    EXPECT_EQ(std::string(block.Data(), 4), "abcd");
    block.CopyFrom("xy", 2);
    EXPECT_EQ(std::string(block.Data(), 4), "xycd");
    gCResult resize;
    {
        FailingAllocator fail(0);
        resize = block.Resize(1000);
    }
    EXPECT_EQ(resize, 5);
    EXPECT_EQ(block.Count(), 4);
    EXPECT_EQ(std::string(block.Data(), 4), "xycd");
}

namespace {
struct Counted : gCBaseObject {
    explicit Counted(int* d) : deaths(d) {}
    ~Counted() override { ++*deaths; }
    int* deaths;
};
} // namespace

TEST(OwnedPtr, DeletesOnlyWhatItOwns)
{
    int deaths = 0;
    gCBaseObject* owned = new Counted(&deaths);
    gCBaseObject* borrowed = new Counted(&deaths);
    {
        gCOwnedPtr a(&owned, 1);
        gCOwnedPtr b(&borrowed, 0);
        a.Release();
        EXPECT_EQ(owned, nullptr);
        EXPECT_EQ(deaths, 1);
    }
    EXPECT_EQ(deaths, 1);
    EXPECT_NE(borrowed, nullptr);
    delete borrowed;
}

TEST(Geometry, PointAndRectHelpers)
{
    gCRect r{10, 20, 110, 70};
    EXPECT_EQ(r.Width(), 100);
    EXPECT_EQ(r.Height(), 50);
    EXPECT_EQ(r.Size(), (gCPoint{100, 50}));
    EXPECT_EQ(r.OffsetNeg({10, 20}), (gCRect{0, 0, 100, 50}));
    EXPECT_EQ(gCPoint::Difference({5, 5}, {2, 7}), (gCPoint{3, -2}));
}

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CMemBlockT.h"
#include "FailingAllocator.h"
#include "gCArray.h"

namespace {

// Brings an array to `held` elements at capacity `held`, then adds one more under the grow
// step `step`: the capacity it grows to.
int32_t CapacityAfterOneMore(int held, int32_t step = -1)
{
    gCArray<int> a;
    a.SetGrowStep(held - 1);
    for (int i = 0; i <= held; ++i) {
        if (i == held)
            a.SetGrowStep(step);
        EXPECT_OK(a.Add(i));
    }
    EXPECT_EQ(a[held], held);
    return a.Capacity();
}

} // namespace

TEST(ArrayGrowth, AQuarterClampedTo8And2048OrTheFixedStep)
{
    // A fixed step below 0 still makes room for the element asked for.
    const struct {
        int held;
        int32_t step, capacity;
    } cases[] = {{8, -1, 16},   {100, -1, 125}, {20000, -1, 22048}, {10, -5, 11},
                 {10, -20, 11}, {10, 0, 11},    {10, 3, 13}};
    for (const auto& c : cases)
        EXPECT_EQ(CapacityAfterOneMore(c.held, c.step), c.capacity) << c.held << " " << c.step;
}

TEST(ArrayGrowth, FailedGrowthReturns5AndKeepsTheArray)
{
    gCArray<int> a, empty;
    for (int i = 0; i < 9; ++i)
        ASSERT_OK(a.Add(i));
    const int* before = a.Data();
    gCResult grow, first;
    {
        FailingAllocator fail(0);
        grow = a.Add(42);
        first = empty.Add(1);
    }
    EXPECT_RESULT(grow, kOutOfMemory);
    EXPECT_RESULT(first, kOutOfMemory);
    EXPECT_EQ(a.Count(), 9);
    EXPECT_EQ(a.Data(), before);
    EXPECT_EQ(empty.Data(), nullptr);

    a.RemoveAt(1);
    a.RemoveAt(99);
    EXPECT_EQ(a.IndexOf(2), 1) << "removal keeps the order";
}

TEST(MemBlock, ResizeKeepsTheLeadingBytesAndAFailedOneKeepsAll)
{
    CMemBlockT<char> block;
    ASSERT_OK(block.Resize(4));
    block.CopyFrom("abcdefgh", 8);
    gCResult resize;
    {
        FailingAllocator fail(0);
        resize = block.Resize(1000);
    }
    EXPECT_RESULT(resize, kOutOfMemory);
    ASSERT_OK(block.Resize(6));
    EXPECT_EQ(std::string(block.Data(), 4), "abcd");
}

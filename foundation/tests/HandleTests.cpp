#include <gtest/gtest.h>

#include <vector>

#include "WinHandle.h"

namespace {

// A handle is an int; the traits record every close and refuse the ones they are told to.
std::vector<int> gClosed;
bool gRefuse = false;

template <bool KeepsRefused>
struct FakeTraits {
    using Type = int;
    static constexpr bool kKeepsRefused = KeepsRefused;
    static Type Invalid() { return -1; }
    static bool Close(Type h)
    {
        gClosed.push_back(h);
        return !gRefuse;
    }
};

struct QuietTraits {
    using Type = int;
    static Type Invalid() { return -1; }
    static void Close(Type h) { gClosed.push_back(h); }
};

template <typename Owner>
void CheckClose(bool refuse, bool answer, bool stillHeld)
{
    gClosed.clear();
    gRefuse = refuse;
    {
        Owner owner(7);
        EXPECT_EQ(owner.Close(), answer);
        EXPECT_EQ(owner.IsValid(), stillHeld);
        gRefuse = false;
    }
    // A kept handle is tried again when its owner ends; a gone one is never closed twice.
    EXPECT_EQ(gClosed, stillHeld ? std::vector<int>({7, 7}) : std::vector<int>({7}));
}

} // namespace

TEST(HandleOwner, TheTraitsDecideWhatARefusedCloseLeaves)
{
    static_assert(!CUniqueHandle<QuietTraits>::kCloseCanFail, "a void close cannot fail");
    static_assert(CUniqueHandle<FakeTraits<true>>::kCloseCanFail, "a bool close can fail");
    CheckClose<CUniqueHandle<FakeTraits<true>>>(false, true, false);
    CheckClose<CUniqueHandle<FakeTraits<true>>>(true, false, true);
    CheckClose<CUniqueHandle<FakeTraits<false>>>(false, true, false);
    CheckClose<CUniqueHandle<FakeTraits<false>>>(true, false, false);
    CheckClose<CUniqueHandle<QuietTraits>>(false, true, false);
}

TEST(HandleOwner, PutReleaseAndMoveHandOverWithoutDoubleCloses)
{
    gClosed.clear();
    gRefuse = false;
    {
        CUniqueHandle<QuietTraits> owner(1);
        *owner.Put() = 2; // the held handle is closed before the slot is handed out
        EXPECT_EQ(gClosed, std::vector<int>({1}));
        CUniqueHandle<QuietTraits> moved(std::move(owner));
        EXPECT_FALSE(owner.IsValid());
        EXPECT_EQ(moved.Get(), 2);
        CUniqueHandle<QuietTraits> other(3);
        other = std::move(moved);
        EXPECT_EQ(gClosed, std::vector<int>({1, 3}));
        EXPECT_EQ(other.Release(), 2);
    }
    EXPECT_EQ(gClosed, std::vector<int>({1, 3})) << "a released handle is the caller's";
}

TEST(HandleOwner, ASelectionIsPutBackSoTheBitmapCanGo)
{
    CMemoryDC dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc.IsValid());
    const HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_BITMAP);
    CMemoryDC otherDC(CreateCompatibleDC(nullptr));
    CBitmapHandle bitmap(CreateBitmap(4, 4, 1, 32, nullptr));
    ASSERT_TRUE(bitmap.IsValid());
    {
        CSelectGuard selected;
        ASSERT_TRUE(selected.Select(dc.Get(), bitmap.Get()));
        EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), bitmap.Get());
        CSelectGuard elsewhere;
        EXPECT_FALSE(elsewhere.Select(otherDC.Get(), bitmap.Get())) << "a bitmap lives in one DC at a time";
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), original);
    CSelectGuard elsewhere;
    EXPECT_TRUE(elsewhere.Select(otherDC.Get(), bitmap.Get())) << "the first DC let the bitmap go";

    CSelectGuard refused;
    EXPECT_FALSE(refused.Select(dc.Get(), nullptr));
    EXPECT_FALSE(refused.IsSelected());
}

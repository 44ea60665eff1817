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

// A kept handle is tried again when its owner ends; a gone one is never closed twice.
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
    EXPECT_EQ(gClosed, stillHeld ? std::vector<int>({7, 7}) : std::vector<int>({7}));
}

} // namespace

TEST(HandleOwner, TheTraitsDecideWhatARefusedCloseLeaves)
{
    CheckClose<CUniqueHandle<FakeTraits<true>>>(false, true, false);
    CheckClose<CUniqueHandle<FakeTraits<true>>>(true, false, true);
    CheckClose<CUniqueHandle<FakeTraits<false>>>(true, false, false);
    CheckClose<CUniqueHandle<QuietTraits>>(false, true, false);
}

TEST(HandleOwner, PutReleaseAndMoveHandOverWithoutDoubleCloses)
{
    gClosed.clear();
    {
        CUniqueHandle<QuietTraits> owner(1), other(3);
        *owner.Put() = 2; // the held handle is closed before the slot is handed out
        CUniqueHandle<QuietTraits> moved(std::move(owner));
        other = std::move(moved);
        EXPECT_EQ(gClosed, std::vector<int>({1, 3}));
        EXPECT_EQ(other.Release(), 2);
    }
    EXPECT_EQ(gClosed, std::vector<int>({1, 3})) << "a released handle is the caller's";
}

TEST(HandleOwner, ASelectionIsPutBackSoTheBitmapCanGo)
{
    CMemoryDC dc(CreateCompatibleDC(nullptr)), otherDC(CreateCompatibleDC(nullptr));
    const HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_BITMAP);
    CBitmapHandle bitmap(CreateBitmap(4, 4, 1, 32, nullptr));
    ASSERT_TRUE(bitmap.IsValid());
    {
        CSelectGuard selected, elsewhere;
        ASSERT_TRUE(selected.Select(dc.Get(), bitmap.Get()));
        EXPECT_FALSE(elsewhere.Select(otherDC.Get(), bitmap.Get())) << "a bitmap lives in one DC at a time";
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), original);
    CSelectGuard elsewhere, refused;
    EXPECT_TRUE(elsewhere.Select(otherDC.Get(), bitmap.Get())) << "the first DC let the bitmap go";
    EXPECT_FALSE(refused.Select(dc.Get(), nullptr));
}

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>

#include "FakeHost.h"
#include "FileOps.h"
#include "PathTestSupport.h"
#include "gCFRef.h"
#include "gCFRelative.h"

// Copy, move and delete turn the system's reasons into their codes and touch nothing else.
TEST(FileOps, CopyMoveAndDeleteMapTheSystemsReasons)
{
    TempFolder scratch;
    for (const wchar_t* name : {L"src.txt", L"old.txt", L"held.txt"})
        ASSERT_TRUE(WriteText(scratch, name, std::string(name, name + 3)));
    // Shared with nobody.
    CFileHandle held(CreateFileW((scratch / L"held.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.IsValid());
    enum Op { kCopy, kCopyNew, kMove, kDelete };
    const struct {
        Op op;
        const wchar_t *source, *target;
        gCResult expected;
        const char* targetAfter;
    } cases[] = {
        {kCopy, L"missing.txt", L"t1.txt", kFileNotFound, "missing"},
        {kCopyNew, L"src.txt", L"old.txt", kTargetExists, "old"},
        {kCopy, L"src.txt", L"no\\folder\\t.txt", kStreamFailure, "missing"},
        {kCopy, L"src.txt", L"old.txt", kOk, "src"},
        {kMove, L"missing.txt", L"m.txt", kFileNotFound, "missing"},
        {kMove, L"src.txt", L"old.txt", kTargetExists, "src"},
        {kMove, L"src.txt", L"no\\folder\\a.txt", kStreamFailure, "missing"},
        {kMove, L"held.txt", L"moved.txt", kFileOpenFailure, "missing"},
        {kMove, L"src.txt", L"moved.txt", kOk, "src"},
        {kDelete, L"moved.txt", L"moved.txt", kOk, "missing"},
        {kDelete, L"moved.txt", L"moved.txt", kStreamFailure, "missing"},
        {kDelete, L"held.txt", L"held.txt", kStreamFailure, ""}, // still there, unread while held
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.source) + L" -> " + c.target));
        const gCString source = S(scratch / c.source), target = S(scratch / c.target);
        const gCResult r = c.op == kMove     ? MovePathFile(source, target)
                           : c.op == kDelete ? DeletePathFile(source)
                                             : CopyPathFile(source, target, c.op == kCopyNew);
        EXPECT_EQ(r, c.expected);
        EXPECT_EQ(ReadText(scratch, c.target), c.targetAfter);
    }
    EXPECT_RESULT(DeletePathFile(gCString(L"")), kStreamFailure);
    EXPECT_RESULT(DeletePath(gCFRef()), kBadParameter);
    held.Reset();
    FakeHost host;
    host.programFolder = S(scratch.Path());
    EXPECT_OK(CopyPath(gCFRelative(gCString(L"held.txt")), gCFRef(S(scratch / L"copy.txt")), 1));
    EXPECT_RESULT(CopyPath(gCFRelative(gCString(L"held.txt")), gCFRelative(gCString(L"copy.txt")), 1), kTargetExists);
    EXPECT_RESULT(CopyPath(gCFRef(), gCFRef(S(scratch / L"x.txt")), 0), kBadParameter);
    EXPECT_OK(DeletePath(gCFRelative(gCString(L"held.txt"))));
    EXPECT_EQ(ReadText(scratch, L"held.txt") + ReadText(scratch, L"copy.txt"), "missinghel");
}

// A missing or unassociated file starts nothing; every result of the shell up to 32 is a failure.
// That a program starts with its parameters shows in the updater's runs through its slave copy.
TEST(ShellOpen, RefusesMissingAndUnassociatedFiles)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteText(scratch, L"data.qvzz", "nobody opens this"));
    EXPECT_RESULT(ShellOpen(S(scratch / L"missing.exe"), gCString(L"")), kFileNotFound);
    EXPECT_RESULT(ShellOpen(S(scratch / L"data.qvzz"), gCString(L"")), kBadParameter);
    const std::pair<INT_PTR, gCResult> codes[] = {
        {0, kGenericFailure}, {8, kOutOfMemory}, {11, kDamagedObject}, {32, kGenericFailure}, {33, kOk}};
    for (const auto& c : codes)
        EXPECT_EQ(ShellResultCode(c.first), c.second) << "shell result " << c.first;
}

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>

#include "FakeHost.h"
#include "FileOps.h"
#include "PathTestSupport.h"
#include "gCFRef.h"
#include "gCFRelative.h"

TEST(DeleteFiles, AnyFailureIs16)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteText(scratch, L"a.txt", "a"));
    ASSERT_TRUE(WriteText(scratch, L"held.txt", "h"));

    EXPECT_OK(DeletePathFile(S(scratch / L"a.txt")));
    EXPECT_FALSE(PathExists(scratch / L"a.txt"));
    EXPECT_RESULT(DeletePathFile(S(scratch / L"a.txt")), kStreamFailure);
    EXPECT_RESULT(DeletePathFile(gCString(L"")), kStreamFailure);
    {
        CFileHandle held(OpenUnshared(scratch / L"held.txt"));
        ASSERT_TRUE(held.IsValid());
        EXPECT_RESULT(DeletePathFile(S(scratch / L"held.txt")), kStreamFailure);
    }
    EXPECT_TRUE(PathExists(scratch / L"held.txt"));

    EXPECT_RESULT(DeletePath(gCFRef()), kBadParameter);
    FakeHost host;
    host.programFolder = S(scratch.Path());
    EXPECT_OK(DeletePath(gCFRelative(gCString(L"held.txt"))));
    EXPECT_FALSE(PathExists(scratch / L"held.txt"));
}

TEST(CopyFiles, MapsTheSystemsReasons)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteText(scratch, L"src.txt", "new"));
    ASSERT_TRUE(WriteText(scratch, L"old.txt", "old"));

    struct Case {
        const wchar_t *source, *target;
        int32_t failIfExists;
        gCResult expected;
        const char* targetAfter; // null: the target must not exist
    } cases[] = {
        {L"missing.txt", L"t1.txt", 0, kFileNotFound, nullptr},
        {L"src.txt", L"old.txt", 1, kTargetExists, "old"},
        {L"src.txt", L"no\\folder\\t.txt", 0, kStreamFailure, nullptr},
        {L"src.txt", L"t2.txt", 1, 0, "new"},
        {L"src.txt", L"old.txt", 0, 0, "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.source) + L" -> " + c.target));
        EXPECT_EQ(CopyPathFile(S(scratch / c.source), S(scratch / c.target), c.failIfExists), c.expected);
        std::string bytes;
        EXPECT_EQ(ReadText(scratch, c.target, bytes), c.targetAfter != nullptr);
        if (c.targetAfter) {
            EXPECT_EQ(bytes, c.targetAfter);
        }
    }
    std::string source;
    ASSERT_TRUE(ReadText(scratch, L"src.txt", source));
    EXPECT_EQ(source, "new");
}

TEST(CopyFiles, PathObjectsCopyTheirFullTexts)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteText(scratch, L"src.txt", "bytes"));
    FakeHost host;
    host.programFolder = S(scratch.Path());

    EXPECT_OK(CopyPath(gCFRelative(gCString(L"src.txt")), gCFRef(S(scratch / L"dst.txt")), 1));
    std::string bytes;
    ASSERT_TRUE(ReadText(scratch, L"dst.txt", bytes));
    EXPECT_EQ(bytes, "bytes");
    EXPECT_RESULT(CopyPath(gCFRelative(gCString(L"src.txt")), gCFRelative(gCString(L"dst.txt")), 1), kTargetExists);
    EXPECT_RESULT(CopyPath(gCFRef(), gCFRef(S(scratch / L"x.txt")), 0), kBadParameter);
    EXPECT_RESULT(CopyPath(gCFRelative(gCString(L"src.txt")), gCFRelative(), 0), kBadParameter);
}

TEST(MoveFiles, MapsTheSystemsReasons)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteText(scratch, L"a.txt", "a"));
    ASSERT_TRUE(WriteText(scratch, L"b.txt", "b"));
    ASSERT_TRUE(WriteText(scratch, L"held.txt", "h"));

    EXPECT_RESULT(MovePathFile(S(scratch / L"missing.txt"), S(scratch / L"m.txt")), kFileNotFound);
    EXPECT_RESULT(MovePathFile(S(scratch / L"a.txt"), S(scratch / L"b.txt")), kTargetExists);
    EXPECT_RESULT(MovePathFile(S(scratch / L"a.txt"), S(scratch / L"no\\folder\\a.txt")), kStreamFailure);
    {
        CFileHandle held(OpenUnshared(scratch / L"held.txt"));
        ASSERT_TRUE(held.IsValid());
        EXPECT_RESULT(MovePathFile(S(scratch / L"held.txt"), S(scratch / L"moved.txt")), kFileOpenFailure);
    }
    EXPECT_TRUE(PathExists(scratch / L"held.txt"));
    EXPECT_FALSE(PathExists(scratch / L"moved.txt"));

    EXPECT_OK(MovePathFile(S(scratch / L"a.txt"), S(scratch / L"c.txt")));
    EXPECT_FALSE(PathExists(scratch / L"a.txt"));
    std::string bytes;
    ASSERT_TRUE(ReadText(scratch, L"c.txt", bytes));
    EXPECT_EQ(bytes, "a");
}

TEST(ShellOpen, EveryShellFailureIsAFailure)
{
    struct Case {
        INT_PTR shell;
        gCResult expected;
    } cases[] = {{0, kGenericFailure},
                 {2, kFileNotFound},
                 {3, kFileNotFound},
                 {5, kBadParameter},
                 {8, kOutOfMemory},
                 {11, kDamagedObject},
                 {26, kBadParameter},
                 {27, kBadParameter},
                 {28, kGenericFailure},
                 {29, kGenericFailure},
                 {30, kGenericFailure},
                 {31, kBadParameter},
                 {32, kGenericFailure},
                 {1, kGenericFailure},
                 {33, 0},
                 {42, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(ShellResultCode(c.shell), c.expected) << "shell result " << c.shell;
}

TEST(ShellOpen, MissingAndUnassociatedFilesAreRefused)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteText(scratch, L"data.qvzz", "nobody opens this"));
    EXPECT_RESULT(ShellOpen(S(scratch / L"missing.exe"), gCString(L"")), kFileNotFound);
    EXPECT_RESULT(ShellOpen(S(scratch / L"data.qvzz"), gCString(L"")), kBadParameter);
}

TEST(ShellOpen, StartsAProgramWithItsParameters)
{
    TempFolder scratch;
    const std::wstring program = scratch / L"ExitAtOnce.exe";
    const std::wstring marker = scratch / L"ran.txt";
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"ExitAtOnce.exe").c_str(), program.c_str(), FALSE));

    ASSERT_OK(ShellOpen(S(program), S(L"\"" + marker + L"\"")));

    // A running program cannot be deleted: once its copy goes, nothing of it runs on.
    bool ran = false, ended = false;
    for (int i = 0; i < 600 && !(ran && ended); ++i) {
        ran = ran || PathExists(marker);
        ended = ran && DeleteFileW(program.c_str());
        if (!(ran && ended))
            Sleep(50);
    }
    EXPECT_TRUE(ran);
    EXPECT_TRUE(ended);
}

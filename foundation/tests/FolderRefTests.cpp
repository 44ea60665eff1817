#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>

#include "PathTestSupport.h"
#include "gCFolderRef.h"

namespace {

gCFolderRef Folder(const gCString& text)
{
    gCFolderRef folder;
    EXPECT_OK(folder.SetPath(text));
    return folder;
}

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

TEST(FolderRef, TextsEndWithASeparator)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\A", L"C:\\A\\"}, {L"C:\\A/", L"C:\\A/"}, {L"C:", L"C:\\"}, {L"", L"\\"}};
    for (const auto& c : cases)
        EXPECT_EQ(W(Folder(gCString(c.first)).GetPath()), c.second);
}

TEST(FolderCreate, MakesEveryMissingLevelAsNamedAndNothingForABadText)
{
    TempFolder scratch;
    // U+0101 would become 'a' in the ANSI code page: it must stay itself.
    gCFolderRef target = Folder(S(scratch / L"X\\\u0101"));
    EXPECT_OK(target.Create());
    EXPECT_TRUE(IsFolder(scratch / L"X\\\u0101"));
    EXPECT_OK(target.Create()) << "an existing folder is left as it is";

    ASSERT_TRUE(WriteText(scratch, L"file", "not a folder"));
    EXPECT_RESULT(Folder(S(scratch / L"file\\sub")).Create(), kCreateFailure);
    EXPECT_RESULT(Folder(WithEmbeddedZero(scratch / L"made")).Create(), kCreateFailure);
    EXPECT_FALSE(IsFolder(scratch / L"made")) << "the cut name must not be made";

    // Thousands of levels that cannot be made end too, and leave the working folder.
    const std::wstring before = CurrentFolder();
    std::wstring deep = scratch / L"file\\";
    for (int i = 0; i < 2000; ++i)
        deep += L"d\\";
    EXPECT_RESULT(Folder(S(deep)).Create(), kCreateFailure);
    EXPECT_RESULT(Folder(S(deep + std::wstring(40000, L'n'))).Create(), kCreateFailure);
    EXPECT_EQ(CurrentFolder(), before);
}

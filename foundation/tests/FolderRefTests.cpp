#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>

#include "FileOps.h"
#include "PathTestSupport.h"
#include "gCFRef.h"
#include "gCFolderRef.h"

namespace {

gCFolderRef Folder(const std::wstring& text)
{
    gCFolderRef folder;
    EXPECT_OK(folder.SetPath(S(text)));
    return folder;
}

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A drive letter that names no drive here.
std::wstring MissingDrive()
{
    const DWORD drives = GetLogicalDrives();
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter)
        if (!(drives & (1u << (letter - L'A'))))
            return std::wstring(1, letter) + L":";
    return L"";
}

} // namespace

TEST(FolderRef, TextAlwaysEndsWithASeparator)
{
    struct Case {
        const wchar_t *given, *stored;
    } cases[] = {
        {L"C:\\A", L"C:\\A\\"}, {L"C:\\A\\", L"C:\\A\\"}, {L"C:\\A/", L"C:\\A/"}, {L"", L"\\"}, {L"C:", L"C:\\"},
    };
    for (const Case& c : cases) {
        gCFolderRef folder;
        EXPECT_OK(gCBasePath::SetPathFromString(folder, gCString(c.given)));
        EXPECT_EQ(W(folder.GetPath()), c.stored);
        EXPECT_EQ(folder.GetKind(), kPathKindFolder);
    }
}

TEST(FolderRef, SplitFolderPathDropsOneSeparatorAndTheLastName)
{
    struct Case {
        const wchar_t *text, *drive, *folder;
    } cases[] = {
        {L"C:\\A\\B\\", L"C:", L"\\A\\"}, {L"C:\\", L"C:", L""}, {L"A\\", L"", L""}, {L"\\", L"", L""},
        {L"C:\\A\\\\", L"C:", L"\\A\\"},  {L"x/y", L"", L"x/"},
    };
    for (const Case& c : cases) {
        gCString drive(L"old"), folder(L"old");
        ASSERT_OK(SplitFolderPath(gCString(c.text), &drive, &folder)) << W(gCString(c.text));
        EXPECT_EQ(W(drive) + L"|" + W(folder), std::wstring(c.drive) + L"|" + c.folder);
    }
    EXPECT_RESULT(SplitFolderPath(gCString(L""), nullptr, nullptr), kBadParameter);
}

TEST(FolderRef, ParentsEndAtTheDriveRoot)
{
    struct Case {
        const wchar_t *folder, *parent;
    } cases[] = {
        {L"C:\\A\\B\\", L"C:\\A\\"}, {L"C:\\A\\", L"C:\\"}, {L"C:\\", L"C:\\"},
        {L"C:\\A/B/", L"C:\\A/"},    {L"\\A\\", L"\\"},
    };
    for (const Case& c : cases) {
        gCFolderRef parent;
        EXPECT_OK(Folder(c.folder).GetParent(parent));
        EXPECT_EQ(W(parent.GetPath()), c.parent);
    }
    gCFolderRef untouched = Folder(L"C:\\Keep\\");
    EXPECT_EQ(Folder(L"A\\").GetParent(untouched), 2);
    EXPECT_EQ(Folder(L"\\").GetParent(untouched), 2);
    EXPECT_EQ(gCFolderRef().GetParent(untouched), 2);
    EXPECT_EQ(W(untouched.GetPath()), L"C:\\Keep\\");
}

TEST(FolderRef, FolderOfAFileAndFilesInAFolder)
{
    gCFolderRef folder;
    EXPECT_OK(folder.SetToFolderOf(gCFRef(gCString(L"C:\\A\\b.txt"))));
    EXPECT_EQ(W(folder.GetPath()), L"C:\\A\\");
    gCFRef file;
    EXPECT_OK(folder.BuildFilePath(gCString(L"b.txt"), file));
    EXPECT_EQ(W(file.GetPath()), L"C:\\A\\b.txt");

    EXPECT_OK(folder.SetToFolderOf(gCFRef(gCString(L"b.txt"))));
    EXPECT_EQ(W(folder.GetPath()), L"\\");
}

TEST(FolderCreate, MakesEveryMissingLevelOutermostFirst)
{
    TempFolder scratch;
    gCFolderRef target = Folder(scratch / L"X\\Y");
    EXPECT_FALSE(target.Exists());
    EXPECT_OK(target.Create());
    EXPECT_TRUE(IsFolder(scratch / L"X"));
    EXPECT_TRUE(IsFolder(scratch / L"X\\Y"));
    EXPECT_TRUE(target.Exists());

    // An existing folder is left as it is.
    ASSERT_TRUE(WriteText(scratch, L"X\\Y\\kept.txt", "k"));
    EXPECT_OK(target.Create());
    std::string bytes;
    EXPECT_TRUE(ReadText(scratch, L"X\\Y\\kept.txt", bytes));
}

TEST(FolderCreate, NamesOutsideTheAnsiCodePageAreMadeAsGiven)
{
    TempFolder scratch;
    // U+0101 would become 'a' in the ANSI code page, U+0416 '?': both must stay themselves.
    const std::wstring inner = scratch / L"\u0101\\\u0416";
    EXPECT_OK(Folder(inner).Create());
    EXPECT_TRUE(IsFolder(inner));
    EXPECT_TRUE(Folder(inner).Exists());
    EXPECT_FALSE(IsFolder(scratch / L"a"));
}

TEST(FolderCreate, FailuresEndWithTheirCodes)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteText(scratch, L"file", "not a folder"));
    const std::wstring before = CurrentFolder();

    EXPECT_RESULT(Folder(scratch / L"file\\sub").Create(), kCreateFailure);

    wchar_t unique[64];
    swprintf(unique, 64, L"qv-missing-%lu\\", GetCurrentProcessId());
    EXPECT_EQ(Folder(unique).Create(), 2);
    EXPECT_FALSE(IsFolder(unique));

    const std::wstring drive = MissingDrive();
    ASSERT_FALSE(drive.empty());
    EXPECT_RESULT(Folder(drive + L"\\").Create(), kCreateFailure);
    EXPECT_RESULT(Folder(drive + L"\\X\\Y\\").Create(), kCreateFailure);
    EXPECT_EQ(CurrentFolder(), before);
}

TEST(FolderCreate, ATextWithAnEmbeddedZeroMakesNothing)
{
    TempFolder scratch;
    std::wstring withZero = scratch / L"made";
    withZero += L'\0';
    withZero += L"ghost\\";
    gCString text;
    ASSERT_OK(text.SetTextN(withZero.data(), static_cast<int32_t>(withZero.size())));
    gCFolderRef folder;
    ASSERT_OK(folder.SetPath(text));
    EXPECT_RESULT(folder.Create(), kCreateFailure);
    EXPECT_FALSE(IsFolder(scratch / L"made")) << "the cut name must not be made";
}

TEST(FolderCreate, ThousandsOfLevelsOnAMissingDriveEnd)
{
    std::wstring deep = MissingDrive() + L"\\";
    for (int i = 0; i < 2000; ++i)
        deep += L"d\\";
    EXPECT_RESULT(Folder(deep).Create(), kCreateFailure);
    EXPECT_RESULT(Folder(deep + std::wstring(40000, L'n')).Create(), kCreateFailure);
}

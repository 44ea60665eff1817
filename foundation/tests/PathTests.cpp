#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>
#include <tuple>

#include "FailingAllocator.h"
#include "FakeHost.h"
#include "FileOps.h"
#include "PathSplit.h"
#include "PathTestSupport.h"
#include "gCFRef.h"
#include "gCFRelative.h"
#include "gCFolderRef.h"

namespace {

gCFolderRef Folder(const gCString& text)
{
    gCFolderRef folder;
    EXPECT_OK(folder.SetPath(text));
    return folder;
}

// The part of C:\A\b.txt inside the other path, or "outside".
std::wstring Relative(const wchar_t* other)
{
    const gCFRef file(gCString(L"C:\\A\\b.txt")), folder((gCString(other)));
    return file.IsInside(folder) ? W(file.GetRelativePart(folder)) : L"outside";
}

// A call's result and the text of the path it changed, with a file path's type code.
std::wstring After(gCResult r, const gCBasePath& path)
{
    return std::to_wstring(r) + L" " + W(path.GetPath());
}

std::wstring After(gCResult r, const gCFPath& path)
{
    const uint32_t c = path.GetTypeCode();
    return After(r, static_cast<const gCBasePath&>(path)) + L" " +
           std::wstring{wchar_t(c >> 24), wchar_t(c >> 16 & 255), wchar_t(c >> 8 & 255), wchar_t(c & 255)};
}

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

TEST(SplitPath, SplitsByTheWindowsRules)
{
    const struct {
        const wchar_t *text, *drive, *folder, *name, *extension;
    } cases[] = {
        {L"C:\\A\\b.txt", L"C:", L"\\A\\", L"b", L".txt"}, {L"C:b", L"C:", L"", L"b", L""},
        {L"/x/y.tar.gz", L"", L"/x/", L"y.tar", L".gz"},   {L"a.b\\c", L"", L"a.b\\", L"c", L""},
        {L".profile", L"", L"", L"", L".profile"},         {L"x\\", L"", L"x\\", L"", L""},
    };
    for (const auto& c : cases) {
        gCString drive, folder, name, extension;
        ASSERT_OK(SplitPath(gCString(c.text), &drive, &folder, &name, &extension));
        EXPECT_EQ(W(drive) + L"|" + W(folder) + L"|" + W(name) + L"|" + W(extension),
                  std::wstring(c.drive) + L"|" + c.folder + L"|" + c.name + L"|" + c.extension);
    }
    gCString kept(L"keep");
    EXPECT_RESULT(SplitPath(gCString(L""), &kept, nullptr, &kept, nullptr), kBadParameter);
    EXPECT_EQ(W(kept), L"keep");
}

TEST(PathLimits, MakePathAddsOnlyMissingSeparatorsBelow260PartCharactersAndLongerTextsAreNeverCut)
{
    EXPECT_EQ(W(MakePath(gCString(L"Dxyz"), gCString(L"\\A\\"), gCString(L"b"), gCString(L".txt"))), L"D:\\A\\b.txt");
    EXPECT_EQ(W(MakePath(gCString(L""), gCString(L"A/"), gCString(L"b"), gCString(L""))), L"A/b");
    // 1 + 201 + 54 + 3 = 259 characters of parts; the added ':', '\' and '.' make 262.
    const std::wstring folder = L"\\" + std::wstring(200, L'f'), name(54, L'n');
    EXPECT_EQ(W(MakePath(gCString(L"C"), S(folder), S(name), gCString(L"ext"))),
              L"C:" + folder + L"\\" + name + L".ext");
    EXPECT_EQ(W(MakePath(gCString(L"C"), S(folder), S(name), gCString(L"extn"))), L"") << "260 characters of parts";

    const std::wstring full = L"C:\\A\\" + std::wstring(300, L'n') + L".txt";
    gCFRef path(S(full));
    EXPECT_EQ(W(path.GetFolder()) + W(path.GetName()) + W(path.GetExtension()), full);
}

// Rows run in order: the parents, and the file types of one path.
TEST(PathQueries, FolderRelationsAndFileTypes)
{
    gCFolderRef parent, folder;
    gCFRef path(gCString(L"C:\\A\\readme"));
    const uint32_t kLookUp = kUnknownFileType;
    const std::pair<std::wstring, std::wstring> cases[] = {
        {Relative(L"c:\\a\\"), L"b.txt"},
        {Relative(L"C:\\A\\b.txt"), L"outside"},
        {Relative(L""), L"outside"},
        {After(Folder(S(L"C:\\A\\B\\")).GetParent(parent), parent), L"0 C:\\A\\"},
        {After(Folder(S(L"A\\")).GetParent(parent), parent), L"2 C:\\A\\"},
        {After(Folder(S(L"C:\\")).GetParent(parent), parent), L"0 C:\\"},
        {After(folder.SetToFolderOf(gCFRef(S(L"C:\\A\\b.txt"))), folder), L"0 C:\\A\\"},
        {After(folder.SetToFolderOf(gCFRef(S(L"b.txt"))), folder), L"0 \\"},
        {After(path.SetExtension(S(L".txt"), 0, kLookUp), path), L"0 C:\\A\\readme TEXT"},
        {After(path.SetFileType(3, 1, S(L""), 0), path), L"0 C:\\A\\readme.bmp BMP "},
        {After(path.SetExtension(S(L"doc"), 0, 'TEXT'), path), L"0 C:\\A\\readme.doc TEXT"},
        {After(path.SetFileType(5, 0, S(L"gif"), 'GIFf'), path), L"0 C:\\A\\readme.gif GIFf"},
        {After(path.SetFileType(23, 0, S(L""), 0), path), L"0 C:\\A\\readme ????"},
        {After(path.SetFileType(9, 0, S(L""), 0), path), L"0 C:\\A\\readme TEXT"},
        {After(path.SetFileType(24, 1, S(L""), 0), path), L"6 C:\\A\\readme TEXT"},
        {After(path.SetExtension(S(L""), 1, 'PNGf'), path), L"6 C:\\A\\readme TEXT"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.first, c.second) << "row " << (&c - cases);
}

TEST(Existence, FilesAndFoldersCountAsFilesEvenWithoutMemoryAndOnlyFoldersAsFolders)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteText(scratch, L"f.txt", "x"));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"sub").c_str(), nullptr));
    const std::tuple<std::wstring, bool, bool> cases[] = {
        {scratch / L"f.txt", true, false},
        {scratch / L"sub\\", true, true},
        {scratch / L"nothing\\deeper\\", false, false},
        {L"", false, false},
    };
    wchar_t before[MAX_PATH] = {}, after[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    for (const auto& [text, file, folder] : cases) {
        EXPECT_EQ(FileExists(gCFRef(S(text))), file) << testing::PrintToString(text);
        EXPECT_EQ(FolderExists(gCFRef(S(text))), folder) << testing::PrintToString(text);
    }
    GetCurrentDirectoryW(MAX_PATH, after);
    EXPECT_STREQ(after, before) << "asking for a folder puts the working folder back";
    EXPECT_FALSE(FileExists(gCFRef(WithEmbeddedZero(scratch / L"f.txt"))));

    // Asking a file or folder reference whether it exists needs no memory.
    gCFRef file(S(scratch / L"f.txt")), missing(S(scratch / L"missing.txt"));
    gCFolderRef folder;
    ASSERT_OK(folder.SetPath(S(scratch.Path())));
    bool fileSeen, missingSeen, folderSeen;
    {
        FailingAllocator failing(0);
        fileSeen = file.Exists();
        missingSeen = missing.Exists();
        folderSeen = folder.Exists();
    }
    EXPECT_TRUE(fileSeen && folderSeen);
    EXPECT_FALSE(missingSeen);
}

// Relative paths resolve against the host's folders of the moment, with colons as separators;
// a path short of memory keeps its old text or gives none, never a partial one.
TEST(PathMemory, RelativePathsAndFailedAllocationsKeepTheOldTextAndNeverGiveAPartialPath)
{
    FakeHost host;
    host.programFolder = gCString(L"C:\\Prog\\");
    host.secondFolder = gCString(L"D:\\Other\\");
    gCFRelative resources(gCString(L"Resources:system.vsf"));
    EXPECT_EQ(W(gCFRelative(gCString(L"A:B:c.txt"), 1).GetPath()), L"D:\\Other\\A\\B\\c.txt");
    // Absolute texts are not recognised: their colon becomes a separator too.
    EXPECT_EQ(W(gCFRelative(gCString(L"C:\\A\\b.txt")).GetPath()), L"C:\\Prog\\C\\\\A\\b.txt");
    host.programFolder = gCString(L"E:\\Moved\\");
    EXPECT_EQ(W(resources.GetPath()), L"E:\\Moved\\Resources\\system.vsf");
    EXPECT_EQ(W(gCFRelative(gCString(L"")).GetPath()), L"");

    // A copy takes the full text and the codes; short of memory at any step it keeps no old text.
    gCFRelative source(gCString(L"A:b.txt"), 1), target(gCString(L"t.txt"));
    source.SetTypeCode('TEXT');
    EXPECT_EQ(W(gCBasePath::CopyText(gCBasePath::AssignFrom(target, source))), L"D:\\Other\\A\\b.txt");
    for (int failFrom = 0; failFrom < 4; ++failFrom) {
        gCFRelative starved(gCString(L"t.txt"));
        {
            FailingAllocator failing(failFrom);
            gCBasePath::AssignFrom(starved, source);
        }
        EXPECT_NE(W(gCBasePath::CopyText(starved)), L"t.txt") << failFrom;
    }
    EXPECT_EQ(target.GetTypeCode(), static_cast<uint32_t>('TEXT'));

    gCFRef path(gCString(L"C:\\A\\b.txt"));
    gCFolderRef folder;
    ASSERT_OK(folder.SetPath(gCString(L"C:\\A")));
    // Arguments made before the allocator fails; the new texts need more room than the old.
    const gCString name(L"a-longer-name"), other(L"D:\\a\\much\\longer\\path.txt");
    const gCString folderPart(L"C:\\A\\"), base(L"b");
    gCResult renamed, stored, folderStored, joined;
    gCString full, out(L"before");
    {
        FailingAllocator failing(0);
        renamed = path.SetName(name);
        stored = path.SetPath(other);
        folderStored = folder.SetPath(other);
        full = resources.GetPath();
        joined = JoinFolderAndName(folderPart, base, out);
    }
    for (gCResult r : {renamed, stored, folderStored, joined})
        EXPECT_RESULT(r, kOutOfMemory);
    EXPECT_EQ(W(path.GetPath()) + W(folder.GetPath()) + W(out), L"C:\\A\\b.txtC:\\A\\before");
    EXPECT_EQ(W(full), L"");

    // Nor does a folder and a name whose text was lost join to the bare name.
    const gCString empty(L""), lost;
    const std::tuple<const gCString*, const gCString*, gCResult> cases[] = {
        {&lost, &base, kOutOfMemory}, {&folderPart, &lost, kOutOfMemory}, {&empty, &base, kBadParameter}};
    for (const auto& [folderText, nameText, result] : cases) {
        EXPECT_EQ(JoinFolderAndName(*folderText, *nameText, out), result) << W(*folderText) << " " << W(*nameText);
        EXPECT_EQ(W(out), L"before");
    }
    EXPECT_OK(JoinFolderAndName(folderPart, base, out));
    EXPECT_EQ(W(out), L"C:\\A\\b");
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

    // Thousands of levels that cannot be made end too.
    std::wstring deep = scratch / L"file\\";
    for (int i = 0; i < 2000; ++i)
        deep += L"d\\";
    EXPECT_RESULT(Folder(S(deep)).Create(), kCreateFailure);
    EXPECT_RESULT(Folder(S(deep + std::wstring(40000, L'n'))).Create(), kCreateFailure);
}

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

} // namespace

TEST(SplitPath, SplitsByTheWindowsRulesAndMakePathAddsOnlyMissingSeparatorsBelow260PartCharacters)
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

    // MakePath adds only missing separators, below 260 characters of parts; longer texts are never cut.
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

// A reference is asked without a copy of its text, so it needs no memory.
TEST(Existence, FilesAndFoldersCountAsFilesEvenWithoutMemoryAndOnlyFoldersAsFolders)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteText(scratch, L"f.txt", "x"));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"sub").c_str(), nullptr));
    const std::tuple<gCString, bool, bool> cases[] = {
        {S(scratch / L"f.txt"), true, false},
        {S(scratch / L"sub\\"), true, true},
        {S(scratch / L"nothing\\deeper\\"), false, false},
        {gCString(L""), false, false},
        {WithEmbeddedZero(scratch / L"f.txt"), false, false},
    };
    wchar_t before[MAX_PATH] = {}, after[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    gCFolderRef folder;
    ASSERT_OK(folder.SetPath(S(scratch.Path())));
    for (const auto& [text, file, isFolder] : cases) {
        const gCFRef path(text);
        bool seen, folderSeen;
        {
            FailingAllocator failing(0);
            seen = path.Exists();
            folderSeen = folder.Exists();
        }
        EXPECT_EQ(seen, file) << W(text);
        EXPECT_TRUE(folderSeen);
        EXPECT_EQ(FileExists(path), file) << W(text);
        EXPECT_EQ(FolderExists(path), isFolder) << W(text);
    }
    GetCurrentDirectoryW(MAX_PATH, after);
    EXPECT_STREQ(after, before) << "asking for a folder puts the working folder back";
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
    const gCString lost;
    EXPECT_RESULT(JoinFolderAndName(lost, base, out), kOutOfMemory);
    EXPECT_RESULT(JoinFolderAndName(folderPart, lost, out), kOutOfMemory);
    EXPECT_RESULT(JoinFolderAndName(gCString(L""), base, out), kBadParameter);
    EXPECT_EQ(W(out), L"before");
    EXPECT_OK(JoinFolderAndName(folderPart, base, out));
    EXPECT_EQ(W(out), L"C:\\A\\b");
}

TEST(FolderCreate, MakesEveryMissingLevelAsNamedAndNothingForABadText)
{
    TempFolder scratch;
    // U+0101 would become 'a' in the ANSI code page: it must stay itself.
    gCFolderRef target = Folder(S(scratch / L"X\\\u0101"));
    EXPECT_OK(target.Create());
    EXPECT_TRUE(PathExists(scratch / L"X\\\u0101"));
    EXPECT_OK(target.Create()) << "an existing folder is left as it is";

    ASSERT_TRUE(WriteText(scratch, L"file", "not a folder"));
    EXPECT_RESULT(Folder(S(scratch / L"file\\sub")).Create(), kCreateFailure);
    EXPECT_RESULT(Folder(WithEmbeddedZero(scratch / L"made")).Create(), kCreateFailure);
    EXPECT_FALSE(PathExists(scratch / L"made")) << "the cut name must not be made";

    // Thousands of levels that cannot be made end too.
    std::wstring deep = scratch / L"file\\";
    for (int i = 0; i < 2000; ++i)
        deep += L"d\\";
    EXPECT_RESULT(Folder(S(deep)).Create(), kCreateFailure);
    EXPECT_RESULT(Folder(S(deep + std::wstring(40000, L'n'))).Create(), kCreateFailure);
}

// Copy, move, replace and delete turn the system's reasons into their codes and touch nothing
// else.
TEST(FileOps, CopyMoveAndDeleteMapTheSystemsReasons)
{
    TempFolder scratch;
    for (const wchar_t* name : {L"src.txt", L"old.txt", L"held.txt", L"rep.txt"})
        ASSERT_TRUE(WriteText(scratch, name, std::string(name, name + 3)));
    // Shared with nobody.
    CFileHandle held(CreateFileW((scratch / L"held.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.IsValid());
    enum Op { kCopy, kCopyNew, kMove, kReplace, kDelete };
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
        {kReplace, L"missing.txt", L"old.txt", kFileNotFound, "src"},
        {kReplace, L"rep.txt", L"held.txt", kStreamFailure, ""},
        {kReplace, L"rep.txt", L"old.txt", kOk, "rep"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.source) + L" -> " + c.target));
        const gCString source = S(scratch / c.source), target = S(scratch / c.target);
        const gCResult r = c.op == kMove      ? MovePathFile(source, target)
                           : c.op == kReplace ? ReplacePathFile(source, target)
                           : c.op == kDelete  ? DeletePathFile(source)
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

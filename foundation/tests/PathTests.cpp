#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>

#include "FailingAllocator.h"
#include "FakeHost.h"
#include "FileOps.h"
#include "FileTypeTable.h"
#include "PathSplit.h"
#include "PathTestSupport.h"
#include "gCFRef.h"
#include "gCFRelative.h"
#include "gCFolderRef.h"

namespace {

const uint32_t kUnknown = kUnknownFileType;

} // namespace

TEST(FileTypes, ExtensionsMapToTheirTypeCodeInAnySpelling)
{
    struct Case {
        const wchar_t* extension;
        uint32_t code;
    } cases[] = {
        {L"bmp", 'BMP '},         {L".BMP", 'BMP '},
        {L".Bmp", 'BMP '},        {L"jpg", 'JPEG'},
        {L".png", 'PNGf'},        {L".psd", '8BPS'},
        {L".txt", 'TEXT'},        {L".h", 'TEXT'},
        {L".pdf", 'PDF '},        {L".vrf", 'VRES'},
        {L".wav", '.WAV'},        {L"", kUnknown},
        {L".jpeg", kUnknown},     {L".doc", kUnknown},
        {L".*", kUnknown},        {L".bmp,.jpg,.png,.psd", 'JPEG'},
        {L".bmp,.jpg", kUnknown}, {L"Last Type Index.", kUnknown},
        {L".", kUnknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetFileTypeOfPath(gCString(c.extension)), c.code)
            << "extension " << testing::PrintToString(std::wstring(c.extension));
}

TEST(FileTypes, TheTableEndsWithAllFilesAndRowsWithoutCodes)
{
    EXPECT_EQ(std::wstring(gFileTypeNames[kAllFilesTypeIndex]), L"All Files (*.*)");
    for (int32_t row : {24, 25})
        EXPECT_EQ(std::wstring(gFileTypeExtensions[row]), std::wstring(gFileTypeNames[row]));
    EXPECT_EQ(gFileTypeCodes[23], kUnknown);
    EXPECT_EQ(gFileTypeCodes[24], 0u);
}

TEST(SplitPath, SplitsByTheWindowsRules)
{
    struct Case {
        const wchar_t *text, *drive, *folder, *name, *extension;
    } cases[] = {
        {L"C:\\A\\b.txt", L"C:", L"\\A\\", L"b", L".txt"},
        {L"C:b", L"C:", L"", L"b", L""},
        {L"C:", L"C:", L"", L"", L""},
        {L"/x/y.tar.gz", L"", L"/x/", L"y.tar", L".gz"},
        {L"a.b\\c", L"", L"a.b\\", L"c", L""},
        {L".profile", L"", L"", L"", L".profile"},
        {L"x\\", L"", L"x\\", L"", L""},
        {L"Q", L"", L"", L"Q", L""},
    };
    for (const Case& c : cases) {
        gCString drive, folder, name, extension;
        ASSERT_OK(SplitPath(gCString(c.text), &drive, &folder, &name, &extension));
        EXPECT_EQ(W(drive) + L"|" + W(folder) + L"|" + W(name) + L"|" + W(extension),
                  std::wstring(c.drive) + L"|" + c.folder + L"|" + c.name + L"|" + c.extension)
            << W(gCString(c.text));
    }
}

TEST(SplitPath, EmptyTextTouchesNoOutAndAbsentOutsAreSkipped)
{
    gCString drive(L"keep"), name(L"keep");
    EXPECT_RESULT(SplitPath(gCString(L""), &drive, nullptr, &name, nullptr), kBadParameter);
    EXPECT_RESULT(SplitPath(gCString(), &drive, nullptr, nullptr, nullptr), kBadParameter);
    EXPECT_EQ(W(drive), L"keep");
    EXPECT_EQ(W(name), L"keep");
    EXPECT_OK(SplitPath(gCString(L"D:\\x\\n.e"), nullptr, nullptr, &name, nullptr));
    EXPECT_EQ(W(name), L"n");
}

TEST(MakePath, AddsDriveColonSeparatorAndDot)
{
    struct Case {
        const wchar_t *drive, *folder, *name, *extension, *joined;
    } cases[] = {
        {L"C:", L"\\A", L"b", L"txt", L"C:\\A\\b.txt"},
        {L"Dxyz", L"\\A\\", L"b", L".txt", L"D:\\A\\b.txt"},
        {L"", L"A/", L"b", L"", L"A/b"},
        {L"", L"", L"b", L"", L"b"},
        {L"C", L"", L"", L"", L"C:"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(W(MakePath(gCString(c.drive), gCString(c.folder), gCString(c.name), gCString(c.extension))),
                  c.joined);
}

TEST(PathLimits, PartsBelow260JoinWholeAndPartsOf260GiveEmpty)
{
    // 1 + 201 + 54 + 3 = 259 characters of parts; the added ':', '\' and '.' make 262.
    const std::wstring folder = L"\\" + std::wstring(200, L'f');
    const std::wstring name(54, L'n');
    gCString joined = MakePath(gCString(L"C"), S(folder), S(name), gCString(L"ext"));
    EXPECT_EQ(joined.Length(), 262);
    EXPECT_EQ(W(joined), L"C:" + folder + L"\\" + name + L".ext");

    EXPECT_EQ(
        W(MakePath(S(std::wstring(100, L'd')), S(std::wstring(100, L'f')), S(std::wstring(59, L'n')), gCString(L"e"))),
        L"");
    EXPECT_EQ(W(MakePath(gCString(L""), gCString(L""), S(std::wstring(300, L'n')), gCString(L""))), L"");
}

TEST(PathLimits, LongNamesSplitWholeAndSettersNeverCutThem)
{
    const std::wstring name(300, L'n');
    const std::wstring full = L"C:\\A\\" + name + L".txt";
    gCFRef path(S(full));
    EXPECT_EQ(W(path.GetName()), name);
    EXPECT_EQ(W(path.GetExtension()), L".txt");
    EXPECT_EQ(W(path.GetFolder()) + W(path.GetFileName()), full);

    // Joining it again would pass the limit: refused, and the text stays whole.
    EXPECT_RESULT(path.SetExtension(gCString(L".png"), 0, 'PNGf'), kBadParameter);
    EXPECT_RESULT(path.SetDrive(gCString(L"D")), kBadParameter);
    EXPECT_EQ(W(path.GetPath()), full);
    // The type code set before the join was refused stays set.
    EXPECT_EQ(path.GetTypeCode(), static_cast<uint32_t>('PNGf'));

    const std::wstring longFolder = L"C:\\" + std::wstring(400, L'f') + L"\\";
    gCFRef deep(S(longFolder + L"b.txt"));
    EXPECT_EQ(W(deep.GetFolder()), longFolder);
    EXPECT_EQ(W(deep.GetFileName()), L"b.txt");
}

TEST(FilePath, GettersOfTheWorkedExample)
{
    gCFRef path(gCString(L"C:\\A\\b.txt"));
    EXPECT_EQ(W(path.GetFolder()), L"C:\\A\\");
    EXPECT_EQ(W(path.GetDrive()), L"C:");
    EXPECT_EQ(W(path.GetName()), L"b");
    EXPECT_EQ(W(gCBasePath::GetName(path)), L"b");
    EXPECT_EQ(W(path.GetExtension()), L".txt");
    EXPECT_EQ(W(path.GetFileName()), L"b.txt");
    EXPECT_EQ(W(path.GetPathString()), L"C:\\A\\b.txt");

    gCFRef empty;
    EXPECT_FALSE(empty.IsValid());
    for (const gCString& part :
         {empty.GetFolder(), empty.GetDrive(), empty.GetName(), empty.GetExtension(), empty.GetFileName()})
        EXPECT_EQ(W(part), L"");
}

TEST(FilePath, PartSettersReplaceOnePartAndKeepTheRest)
{
    using Setter = gCResult (gCFPath::*)(const gCString&);
    struct Case {
        Setter setter;
        const wchar_t *argument, *result;
    } cases[] = {
        {&gCFPath::SetName, L"c", L"C:\\A\\c.txt"},
        {&gCFPath::SetName, L"c.doc", L"C:\\A\\c.doc.txt"},
        {&gCFPath::SetDrive, L"D:", L"D:\\A\\b.txt"},
        {&gCFPath::SetDrive, L"Dxyz", L"D:\\A\\b.txt"},
        {&gCFPath::SetFolder, L"\\X\\Y\\", L"C:\\X\\Y\\b.txt"},
        {&gCFPath::SetFolder, L"D:\\X\\", L"D:\\X\\b.txt"},
        {&gCFPath::SetFolder, L"\\X\\Y", L"C:\\X\\b.txt"},
        {&gCFPath::SetFolder, L"X", L"C:b.txt"},
    };
    for (const Case& c : cases) {
        gCFRef path(gCString(L"C:\\A\\b.txt"));
        EXPECT_OK((path.*c.setter)(gCString(c.argument))) << W(gCString(c.argument));
        EXPECT_EQ(W(path.GetPath()), c.result) << W(gCString(c.argument));
    }
}

TEST(FilePath, PartSettersRefuseInvalidPathsAndEmptyArguments)
{
    for (auto setter : {&gCFPath::SetName, &gCFPath::SetDrive, &gCFPath::SetFolder}) {
        gCFRef empty;
        EXPECT_RESULT((empty.*setter)(gCString(L"x")), kInvalidObject);
        EXPECT_FALSE(empty.IsValid());
        gCFRef path(gCString(L"C:\\A\\b.txt"));
        EXPECT_RESULT((path.*setter)(gCString(L"")), kBadParameter);
        EXPECT_EQ(W(path.GetPath()), L"C:\\A\\b.txt");
    }
    gCFRef empty;
    EXPECT_RESULT(empty.SetExtension(gCString(L".png"), 1, kUnknown), kInvalidObject);
    EXPECT_RESULT(empty.SetFileType(3, 1, gCString(L""), 0), kInvalidObject);
    EXPECT_EQ(empty.GetTypeCode(), kUnknown);
    gCFRef path(gCString(L"C:\\A\\b.txt"));
    EXPECT_RESULT(path.SetExtension(gCString(L""), 1, 'PNGf'), kBadParameter);
    EXPECT_EQ(path.GetTypeCode(), kUnknown);
}

TEST(TypeCodes, SetExtensionLooksUpTheCodeAndKeepsMissingExtensionsMissing)
{
    struct Case {
        const wchar_t* start;
        const wchar_t* extension;
        int32_t addIfNone;
        uint32_t given;
        const wchar_t* result;
        uint32_t code;
    } cases[] = {
        {L"C:\\A\\b.txt", L"png", 0, kUnknown, L"C:\\A\\b.png", 'PNGf'},
        {L"C:\\A\\b.txt", L".doc", 0, kUnknown, L"C:\\A\\b.doc", kUnknown},
        {L"C:\\A\\b.txt", L".doc", 0, 'TEXT', L"C:\\A\\b.doc", 'TEXT'},
        {L"C:\\A\\readme", L".txt", 0, kUnknown, L"C:\\A\\readme", 'TEXT'},
        {L"C:\\A\\readme", L".txt", 1, kUnknown, L"C:\\A\\readme.txt", 'TEXT'},
    };
    for (const Case& c : cases) {
        gCFRef path(gCString(c.start));
        EXPECT_OK(path.SetExtension(gCString(c.extension), c.addIfNone, c.given));
        EXPECT_EQ(W(path.GetPath()), c.result);
        EXPECT_EQ(path.GetTypeCode(), c.code) << W(gCString(c.result));
    }
}

TEST(TypeCodes, SetFileTypeTakesTheRowsExtensionAndCode)
{
    struct Case {
        const wchar_t* start;
        int32_t index, addIfNone;
        const wchar_t* extension;
        uint32_t given;
        const wchar_t* result;
        uint32_t code;
    } cases[] = {
        {L"C:\\A\\b.txt", 3, 0, L"", 0, L"C:\\A\\b.bmp", 'BMP '},
        {L"C:\\A\\b.txt", 21, 0, L"", 0, L"C:\\A\\b.bmp,.jpg,.png,.psd", 'JPEG'},
        {L"C:\\A\\b.txt", 5, 0, L"gif", 'GIFf', L"C:\\A\\b.gif", 'GIFf'},
        {L"C:\\A\\readme", 9, 0, L"", 0, L"C:\\A\\readme", 'TEXT'},
        {L"C:\\A\\readme", 9, 1, L"", 0, L"C:\\A\\readme.txt", 'TEXT'},
    };
    for (const Case& c : cases) {
        gCFRef path(gCString(c.start));
        EXPECT_OK(path.SetFileType(c.index, c.addIfNone, gCString(c.extension), c.given));
        EXPECT_EQ(W(path.GetPath()), c.result);
        EXPECT_EQ(path.GetTypeCode(), c.code) << W(gCString(c.result));
    }
    gCFRef path(gCString(L"C:\\A\\b.txt"));
    for (int32_t index : {24, 25, -1, 1000})
        EXPECT_RESULT(path.SetFileType(index, 1, gCString(L""), 0), kBadParameter);
    EXPECT_EQ(W(path.GetPath()), L"C:\\A\\b.txt");
}

TEST(RelativePath, ResolvesAgainstTheHostFoldersWithColonsAsSeparators)
{
    FakeHost host;
    host.programFolder = gCString(L"C:\\Prog\\");
    host.secondFolder = gCString(L"D:\\Other\\");

    gCFRelative resources(gCString(L"Resources:system.vsf"));
    EXPECT_TRUE(resources.IsValid());
    EXPECT_EQ(resources.GetKind(), kPathKindRelative);
    EXPECT_EQ(W(gCBasePath::CopyText(resources)), L"Resources\\system.vsf");
    EXPECT_EQ(W(resources.GetPath()), L"C:\\Prog\\Resources\\system.vsf");
    EXPECT_EQ(W(resources.GetFolder()), L"C:\\Prog\\Resources\\");
    EXPECT_EQ(W(resources.GetFileName()), L"system.vsf");

    gCFRelative second = gCFRelative::gCFRelativeFromString(gCString(L"A:B:c.txt"), 1);
    EXPECT_EQ(W(second.GetPath()), L"D:\\Other\\A\\B\\c.txt");

    // Absolute texts are not recognised: their colon becomes a separator too.
    gCFRelative absolute(gCString(L"C:\\A\\b.txt"));
    EXPECT_EQ(W(gCBasePath::CopyText(absolute)), L"C\\\\A\\b.txt");
    EXPECT_EQ(W(absolute.GetPath()), L"C:\\Prog\\C\\\\A\\b.txt");

    // The full text follows the folder of the moment.
    host.programFolder = gCString(L"E:\\Moved\\");
    EXPECT_EQ(W(resources.GetPath()), L"E:\\Moved\\Resources\\system.vsf");

    gCFRelative empty(gCString(L""));
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(W(empty.GetPath()), L"");
}

TEST(RelativePath, OnlySetPathConvertsColonsAndCopiesKeepTheSelector)
{
    FakeHost host;
    host.programFolder = gCString(L"C:\\Prog\\");
    host.secondFolder = gCString(L"D:\\Other\\");

    gCFRelative path(gCString(L"x.txt"), 1);
    ASSERT_OK(path.SetFilePath(gCString(L"a:b.txt")));
    EXPECT_EQ(W(gCBasePath::CopyText(path)), L"a:b.txt");
    ASSERT_OK(gCBasePath::SetPathFromString(path, gCString(L"a:b.txt")));
    EXPECT_EQ(W(gCBasePath::CopyText(path)), L"a\\b.txt");

    gCFRelative copy;
    copy = path;
    EXPECT_EQ(copy.GetBaseSelector(), 1);
    EXPECT_EQ(W(copy.GetPath()), L"D:\\Other\\a\\b.txt");

    // AssignFrom stores the source's full text; the target's own selector stays.
    gCFRelative target(gCString(L"t.txt"), 0);
    path.SetTypeCode('TEXT');
    gCBasePath::AssignFrom(target, path);
    EXPECT_EQ(W(gCBasePath::CopyText(target)), L"D:\\Other\\a\\b.txt");
    EXPECT_EQ(target.GetBaseSelector(), 0);
    EXPECT_EQ(target.GetTypeCode(), static_cast<uint32_t>('TEXT'));
    // Short of memory at any step, the target never keeps its old path.
    for (int failFrom = 0; failFrom < 8; ++failFrom) {
        gCFRelative starved(gCString(L"t.txt"), 0);
        {
            FailingAllocator failing(failFrom);
            gCBasePath::AssignFrom(starved, path);
        }
        const std::wstring text = W(gCBasePath::CopyText(starved));
        EXPECT_TRUE(text.empty() || text == L"D:\\Other\\a\\b.txt") << "failing from allocation " << failFrom;
    }

    copy.Clear();
    EXPECT_EQ(copy.GetBaseSelector(), 0);
    EXPECT_FALSE(copy.IsValid());
    EXPECT_EQ(copy.GetTypeCode(), kUnknown);
}

TEST(FileRef, KeepsItsTextAsGivenAndOnlyRefsAskTheFileSystem)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteText(scratch, L"here.txt", "x"));
    const gCString here = S(scratch / L"here.txt");

    gCFRef ref = gCFRef::gCFRefFromString(gCString(L"C:\\A:b"));
    EXPECT_EQ(W(ref.GetPath()), L"C:\\A:b");
    EXPECT_EQ(ref.GetKind(), kPathKindRef);
    EXPECT_EQ(ref.GetTypeCode(), kUnknown);
    EXPECT_EQ(ref.GetCreatorCode(), kUnknown);

    gCFPath bare(here);
    EXPECT_EQ(bare.GetKind(), kPathKindFile);
    EXPECT_FALSE(bare.Exists());
    EXPECT_RESULT(bare.Create(), kNotImplemented);

    // Asking a file or folder reference whether it exists needs no memory.
    gCFRef file(here);
    gCFRef missing(S(scratch / L"missing.txt"));
    gCFolderRef folder;
    ASSERT_OK(folder.SetPath(S(scratch.Path())));
    bool fileSeen, missingSeen, folderSeen;
    {
        FailingAllocator failing(0);
        fileSeen = file.Exists();
        missingSeen = missing.Exists();
        folderSeen = folder.Exists();
    }
    EXPECT_TRUE(fileSeen);
    EXPECT_FALSE(missingSeen);
    EXPECT_TRUE(folderSeen);
}

TEST(FilePath, IsInsideIgnoresCaseAndNeverHoldsItself)
{
    gCFRef file(gCString(L"C:\\A\\b.txt"));
    EXPECT_TRUE(file.IsInside(gCFRef(gCString(L"c:\\a\\"))));
    EXPECT_TRUE(file.IsInside(gCFRef(gCString(L"C:\\"))));
    EXPECT_FALSE(file.IsInside(gCFRef(gCString(L"C:\\A\\b.txt"))));
    EXPECT_FALSE(file.IsInside(gCFRef(gCString(L"C:\\A\\b.txt.old"))));
    EXPECT_FALSE(file.IsInside(gCFRef(gCString(L"C:\\B\\"))));
    EXPECT_FALSE(file.IsInside(gCFRef()));

    EXPECT_EQ(W(file.GetRelativePart(gCFRef(gCString(L"C:\\A\\")))), L"b.txt");
    EXPECT_EQ(W(file.GetRelativePart(gCFRef(gCString(L"C:\\A\\b.txt.old")))), L"");
    EXPECT_EQ(W(file.GetRelativePart(gCFRef(gCString(L"C:\\A\\b.txt")))), L"");
}

TEST(Existence, FilesAndFoldersCountAsFilesAndOnlyFoldersAsFolders)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteText(scratch, L"f.txt", "x"));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"sub").c_str(), nullptr));
    const std::wstring before = CurrentFolder();

    struct Case {
        std::wstring text;
        bool file, folder;
    } cases[] = {
        {scratch / L"f.txt", true, false},
        {scratch / L"sub", true, true},
        {scratch / L"sub\\", true, true},
        {scratch / L"nothing", false, false},
        {scratch / L"nothing\\deeper\\", false, false},
        {L"", false, false},
    };
    for (const Case& c : cases) {
        gCFRef path(S(c.text));
        EXPECT_EQ(FileExists(path), c.file) << testing::PrintToString(c.text);
        EXPECT_EQ(RelativeFileExists(path), c.file) << testing::PrintToString(c.text);
        EXPECT_EQ(FolderExists(path), c.folder) << testing::PrintToString(c.text);
        EXPECT_EQ(CurrentFolder(), before);
    }

    FakeHost host;
    host.programFolder = S(scratch.Path());
    EXPECT_TRUE(gCFRelative(gCString(L"sub:")).Exists());
    EXPECT_TRUE(gCFRelative(gCString(L"f.txt")).Exists());
    EXPECT_FALSE(gCFRelative(gCString(L"g.txt")).Exists());
    EXPECT_FALSE(gCFRelative(gCString(L"")).Exists());
}

TEST(Existence, TextsWithAnEmbeddedZeroNameNothing)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteText(scratch, L"f.txt", "x"));
    for (const std::wstring& head : {scratch / L"f.txt", scratch.Path()}) {
        std::wstring withZero = head;
        withZero += L'\0';
        withZero += L"ghost";
        gCString text;
        ASSERT_OK(text.SetTextN(withZero.data(), static_cast<int32_t>(withZero.size())));
        EXPECT_FALSE(FileExists(gCFRef(text)));
        EXPECT_FALSE(FolderExists(gCFRef(text)));
    }
}

TEST(PathMemory, FailedAllocationsKeepTheOldTextAndNeverGiveAPartialPath)
{
    FakeHost host;
    host.programFolder = gCString(L"C:\\Prog\\");
    gCFRef path(gCString(L"C:\\A\\b.txt"));
    gCFRelative relative(gCString(L"Resources:system.vsf"));
    gCFolderRef folder;
    ASSERT_OK(folder.SetPath(gCString(L"C:\\A")));

    // Arguments made before the allocator fails; the new texts need more room than the old.
    const gCString name(L"a-longer-name");
    const gCString other(L"D:\\a\\much\\longer\\path.txt");
    const gCString drive(L"C:"), folderPart(L"\\A\\"), base(L"b"), extension(L".txt");
    gCResult renamed, stored, folderStored;
    gCString full, joined;
    {
        FailingAllocator failing(0);
        renamed = path.SetName(name);
        stored = path.SetPath(other);
        folderStored = folder.SetPath(other);
        full = relative.GetPath();
        joined = MakePath(drive, folderPart, base, extension);
    }
    EXPECT_RESULT(renamed, kOutOfMemory);
    EXPECT_RESULT(stored, kOutOfMemory);
    EXPECT_RESULT(folderStored, kOutOfMemory);
    EXPECT_EQ(W(path.GetPath()), L"C:\\A\\b.txt");
    EXPECT_EQ(W(folder.GetPath()), L"C:\\A\\");
    EXPECT_EQ(W(full), L"");
    EXPECT_EQ(W(joined), L"");
}

TEST(PathMemory, AFolderAndANameNeverJoinToTheBareName)
{
    const gCString folder(L"C:\\A\\"), empty(L""), lost, name(L"b.txt");
    const struct {
        const gCString& folder;
        const gCString& name;
        gCResult result;
        const wchar_t* joined;
    } cases[] = {
        {folder, name, 0, L"C:\\A\\b.txt"},
        {lost, name, kOutOfMemory, L"before"},
        {folder, lost, kOutOfMemory, L"before"},
        {empty, name, kBadParameter, L"before"},
    };
    for (const auto& c : cases) {
        gCString out(L"before");
        EXPECT_EQ(JoinFolderAndName(c.folder, c.name, out), c.result) << W(c.folder) << " " << W(c.name);
        EXPECT_EQ(W(out), c.joined);
    }
    gCString out(L"before");
    gCResult joined;
    {
        FailingAllocator failing(0);
        joined = JoinFolderAndName(folder, name, out);
    }
    EXPECT_RESULT(joined, kOutOfMemory);
    EXPECT_EQ(W(out), L"before");
}

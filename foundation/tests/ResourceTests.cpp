#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <memory>
#include <vector>

#include "BoxCapture.h"
#include "CResourceDirectory.h"
#include "CResourceFileWriter.h"
#include "CResourcePool.h"
#include "CText.h"
#include "CTextList.h"
#include "Expect.h"
#include "FakeHost.h"
#include "TempFolder.h"
#include "gCFile.h"

namespace {

// A resource file built chunk by chunk, remembering where each chunk's tag lies.
class ResourceFile {
public:
    void Version(uint32_t version) { ASSERT_OK(writer.AddVersion(version)); }

    uint32_t Text(uint32_t id, const wchar_t* name, const wchar_t* text, int64_t size = -1)
    {
        gCMemFile body;
        EXPECT_OK(CResourceFileWriter::WriteTextBody(body, gCString(text)));
        return Add('text', id, name, body, size);
    }

    uint32_t List(uint32_t id, const wchar_t* name, std::vector<gCString> texts, const uint32_t* values = nullptr,
                  uint32_t count = 0)
    {
        gCMemFile body;
        const int32_t entries = static_cast<int32_t>(texts.size());
        EXPECT_OK(CResourceFileWriter::WriteTextListBody(body, 0, count ? count : static_cast<uint32_t>(entries),
                                                         texts.data(), values, entries));
        return Add('txlt', id, name, body, -1);
    }

    uint32_t Add(uint32_t tag, uint32_t id, const wchar_t* name, gCMemFile& body, int64_t size)
    {
        const uint32_t offset = static_cast<uint32_t>(writer.GetSize());
        EXPECT_OK(writer.AddResource(tag, id, gCString(name), body, size));
        return offset;
    }

    // Saves (less dropTail bytes) and opens the file for reading, with its directory read.
    void Open(int64_t dropTail = 0)
    {
        ASSERT_OK(writer.SaveAs(folder.File(L"res.vrf"), dropTail));
        ASSERT_OK(file.OpenFullPath(folder.File(L"res.vrf"), kAccessRead));
    }

    TempFolder folder;
    CResourceFileWriter writer;
    gCFile file;
};

} // namespace

TEST(ResourceFileWriter, WritesChunksByteForByte)
{
    CResourceFileWriter writer;
    ASSERT_OK(writer.AddVersion(2));
    gCMemFile body, list;
    ASSERT_OK(CResourceFileWriter::WriteTextBody(body, gCString(L"ab")));
    ASSERT_OK(writer.AddResource('text', 5, gCString(L"Hi"), body));
    const gCString texts[2] = {gCString(L"x"), gCString(L"")};
    const uint32_t values[2] = {9, 10};
    ASSERT_OK(CResourceFileWriter::WriteTextListBody(list, 1, 2, texts, values, 2));
    ASSERT_OK(writer.AddResource('txlt', 6, gCString(L""), list, 0x1000));
    // Tags are stored backwards; a name ends with CR LF.
    const Bytes expected = Concat({Ansi("srev"),
                                   U32(4),
                                   U32(2),
                                   Ansi("txet"),
                                   U32(4 + 8 + 6),
                                   U32(5),
                                   Utf16(L"Hi\r\nab"),
                                   {0, 0},
                                   Ansi("tlxt"),
                                   U32(0x1000),
                                   U32(6),
                                   Utf16(L"\r\n"),
                                   U32(1),
                                   U32(2),
                                   Utf16(L"x\r\n"),
                                   U32(9),
                                   Utf16(L"\r\n"),
                                   U32(10)});
    EXPECT_EQ(Bytes(writer.GetData(), writer.GetData() + writer.GetSize()), expected);
}

TEST(ResourceDirectory, EntriesOfEveryTagButVersionAndTheVersionOfThisFileOnly)
{
    ResourceFile res;
    res.Version(3);
    const uint32_t panel = res.Text(10, L"Panel", L"p");
    const uint32_t list = res.List(11, L"List", {gCString(L"a")});
    res.Open();
    ResourceFile plain;
    const uint32_t odd = plain.Text(12, L"Odd", L"o");
    plain.Text(13, L"Cut", L"c");
    plain.Open(4 + 6); // the body and the name's end

    CResourceDirectory directory;
    ASSERT_OK(directory.Read(res.file));
    EXPECT_EQ(directory.GetVersion(), 3u);
    ASSERT_EQ(directory.GetCount(), 2);
    EXPECT_EQ(W(directory.GetEntry(0).name), L"Panel");
    EXPECT_EQ(directory.FindByID(11), static_cast<int32_t>(list));
    EXPECT_EQ(directory.FindByName(gCString(L"Panel")), static_cast<int32_t>(panel));
    EXPECT_EQ(directory.FindByName(gCString(L"panel")), -1);

    // A damaged tail fails but keeps the entries before; no version chunk is version 1.
    EXPECT_RESULT(directory.Read(plain.file), kStreamFailure);
    EXPECT_EQ(directory.GetVersion(), 1u) << "the version of the earlier file must not carry over";
    ASSERT_EQ(directory.GetCount(), 1);
    EXPECT_EQ(directory.FindByID(12), static_cast<int32_t>(odd));
    EXPECT_EQ(directory.FindByID(10), -1);
    gCMemFile memory;
    EXPECT_RESULT(directory.Read(memory), kBadParameter);
}

TEST(Locate, WrapsToFindAResourceBeforeThePositionAndSkipsOtherTags)
{
    ResourceFile res;
    res.List(1, L"Same", {gCString(L"from the list")});
    res.Text(1, L"Same", L"from the text");
    const uint32_t last = res.Text(3, L"C", L"c");
    res.Open();
    for (int64_t start : {static_cast<int64_t>(last), res.file.GetLength()}) {
        ASSERT_OK(res.file.SetPosition(start));
        CText text;
        ASSERT_OK(text.LoadByID(1, &res.file, nullptr));
        EXPECT_EQ(W(text.GetText()), L"from the text") << start;
        CTextList list;
        ASSERT_OK(list.LoadByName(gCString(L"Same"), &res.file, nullptr));
        EXPECT_EQ(W(list.GetEntryString(0)), L"from the list") << start;
    }
    CText text;
    gCFile closed;
    gCMemFile memory;
    EXPECT_RESULT(text.LoadByID(1, &closed, nullptr), kInvalidFile);
    EXPECT_RESULT(text.LoadByID(1, &memory, nullptr), kInvalidFile);
    EXPECT_RESULT(text.LoadByID(1, nullptr, nullptr), kBadParameter) << "no stream at all";
}

TEST(Locate, AMissingResourceEndsWith22FromAnyStart)
{
    const struct {
        const char* what;
        int64_t lastSize; // -1: the true size
        int64_t dropTail;
        bool raggedTail; // 3 bytes after the last chunk, fewer than a chunk header
    } cases[] = {
        {"whole file", -1, 0, false},
        {"oversized last chunk", 0xFFFFFFF0, 0, false},
        {"last chunk cut short", -1, 3, false},
        {"ragged tail", -1, 5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResourceFile res;
        res.Version(1);
        res.Text(1, L"A", L"a");
        const uint32_t last = res.Text(2, L"B", L"b", c.lastSize);
        if (c.raggedTail) {
            ASSERT_OK(res.writer.AddChunk(0, 0, nullptr, 0));
        }
        res.Open(c.dropTail);
        for (int64_t start : {int64_t{0}, int64_t{14}, static_cast<int64_t>(last) + 3, res.file.GetLength()}) {
            ASSERT_OK(res.file.SetPosition(start));
            CText text;
            EXPECT_RESULT(text.LoadByID(99, &res.file, nullptr), kResourceNotFound) << start;
            EXPECT_RESULT(text.LoadByName(gCString(L"Z"), &res.file, nullptr), kResourceNotFound) << start;
        }
    }
}

TEST(LoadingProtocol, ADirectoryStartsTheScanAtTheWantedChunkAndTheApplicationsFileComesWithOne)
{
    ResourceFile res;
    res.Version(2);
    res.Text(5, L"Twice", L"first");
    const uint32_t second = res.Text(5, L"Twice", L"second");
    const uint32_t values[] = {4};
    res.List(2, L"Values", {gCString(L"four")}, values);
    res.Open();
    CResourceDirectory directory;
    ASSERT_OK(directory.Read(res.file));
    const struct {
        CResourceDirectory* directory;
        bool byName;
        const wchar_t* text;
    } cases[] = {{nullptr, false, L"second"}, {&directory, false, L"first"}, {&directory, true, L"first"}};
    for (const auto& c : cases) {
        ASSERT_OK(res.file.SetPosition(second));
        CText text;
        ASSERT_OK(c.byName ? text.LoadByName(gCString(L"Twice"), &res.file, c.directory)
                           : text.LoadByID(5, &res.file, c.directory));
        EXPECT_EQ(W(text.GetText()), c.text);
    }

    // With the application's file the list reads its values whatever directory is given; an
    // empty application directory means none: the first format, without values.
    FakeHost host;
    host.resourceStream = &res.file;
    host.resourceDirectory = &directory;
    CResourceDirectory other, empty;
    CTextList list;
    ASSERT_OK(list.LoadByID(2, &res.file, &other));
    EXPECT_EQ(list.GetEntryValue(0), 4u);
    host.resourceDirectory = &empty;
    CTextList firstFormat;
    ASSERT_OK(firstFormat.LoadByID(2, nullptr, nullptr));
    EXPECT_EQ(W(firstFormat.GetEntryString(0)), L"four");
    EXPECT_EQ(firstFormat.GetEntryValue(0), 0u);
}

TEST(TextList, FormatVersionsOneTwoAndThree)
{
    for (uint32_t version : {1u, 2u, 3u}) {
        SCOPED_TRACE(version);
        ResourceFile res;
        res.Version(version);
        const uint32_t values[] = {10, 20, 30};
        res.List(1, L"L", {gCString(L"one"), gCString(L"two"), gCString(L"three")}, version == 2 ? values : nullptr);
        res.Open();
        CResourceDirectory directory;
        ASSERT_OK(directory.Read(res.file));
        CTextList list;
        ASSERT_OK(list.LoadByID(1, &res.file, &directory));
        ASSERT_EQ(list.GetCount(), version == 3 ? 0 : 3) << "a format not known reads as empty";
        if (version == 3)
            continue;
        EXPECT_EQ(W(list.GetEntryString(2)), L"three");
        EXPECT_EQ(list.GetEntryValue(1), version == 2 ? 20u : 0u);
        EXPECT_EQ(W(list.GetEntryString(3)) + W(list.GetEntryString(-1)), L"");
    }
}

TEST(TextResources, DamagedBodiesAreReportedWithTheirStep)
{
    const wchar_t* kText = L"An error occurred reading data from a binary resource file.\nError reading CText string.";
    const wchar_t* kExclusivity =
        L"An error occurred reading data from a binary resource file.\nError reading exclusivity";
    const wchar_t* kCount =
        L"An error occurred reading data from a binary resource file.\nError reading number of entries";
    const struct {
        const char* what;
        bool list;
        int64_t dropTail;
        const wchar_t* box; // null: no report
        int32_t entries;
        uint32_t count = 0; // 0: the true count
    } cases[] = {
        {"text without its 0 unit", false, 2, kText, 0},
        {"text without a body", false, 8, kText, 0},
        {"list without its count", true, 4 + 4 * 2 + 2 * 2, kCount, 0},
        {"list without a body", true, 8 + 4 * 2 + 2 * 2, kExclusivity, 0},
        {"list cut in its last entry", true, 4, nullptr, 1},
        {"a count beyond the entries stops at the first failed read", true, 0, nullptr, 2, 0xFFFFFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResourceFile res;
        if (c.list)
            res.List(1, L"N", {gCString(L"a"), gCString(L"b")}, nullptr, c.count);
        else
            res.Text(1, L"N", L"abc");
        res.Open(c.dropTail);
        BoxCapture boxes;
        CText text;
        CTextList list;
        gCResourceObject* object = c.list ? static_cast<gCResourceObject*>(&list) : &text;
        EXPECT_RESULT(object->LoadByID(1, &res.file, nullptr), kStreamFailure);
        ASSERT_EQ(boxes.Boxes().size(), c.box ? 1u : 0u);
        if (c.box) {
            EXPECT_EQ(boxes.Boxes()[0].text, c.box);
        }
        EXPECT_EQ(list.GetCount(), c.entries);
        EXPECT_EQ(W(text.GetText()), L"");
    }
}

namespace {
int gDeleted = 0;
struct CountedText : CText {
    ~CountedText() override { ++gDeleted; }
};
} // namespace

TEST(ResourcePool, FindsByNameAndIdAndDeletesWhatItHolds)
{
    ResourceFile res;
    res.Text(1, L"Panel", L"p");
    res.Open();
    gDeleted = 0;
    {
        CResourcePool pool;
        CountedText* panel = new CountedText;
        CountedText* unnamed = new CountedText;
        ASSERT_OK(panel->LoadByID(1, &res.file, nullptr));
        ASSERT_OK(pool.Add(unnamed));
        ASSERT_OK(pool.Add(panel));
        EXPECT_EQ(panel->IsPooled(), 1);
        EXPECT_EQ(pool.FindByName(gCString(L"Panel")), panel);
        EXPECT_EQ(pool.FindByName(gCString(L"panel")), nullptr);
        EXPECT_EQ(pool.FindByName(gCString()), nullptr) << "an unset name matches nothing";
        EXPECT_EQ(pool.FindByName(gCString(L"")), nullptr) << "nor does an unset object name";
        EXPECT_EQ(pool.FindByID(1), panel);
        EXPECT_EQ(pool.FindByID(0), unnamed);
        pool.Clear();
        EXPECT_EQ(gDeleted, 2);
        ASSERT_OK(pool.Add(new CountedText));
    }
    EXPECT_EQ(gDeleted, 3) << "the destructor clears";
}

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <memory>
#include <vector>

#include "BoxCapture.h"
#include "Expect.h"
#include "CResourceDirectory.h"
#include "CResourceFileWriter.h"
#include "CResourcePool.h"
#include "CText.h"
#include "CTextList.h"
#include "FakeHost.h"
#include "TempFolder.h"
#include "gCFile.h"

namespace {

// A resource file built chunk by chunk, remembering where each chunk's tag lies.
class ResourceFile {
public:
    void Version(uint32_t version) { ASSERT_OK(writer.AddVersion(version)); }

    uint32_t Text(uint32_t id, const wchar_t* name, const wchar_t* text, uint32_t tag = 'text', int64_t size = -1)
    {
        gCMemFile body;
        EXPECT_OK(CResourceFileWriter::WriteTextBody(body, gCString(text)));
        return Add(tag, id, name, body, size);
    }

    uint32_t List(uint32_t id, const wchar_t* name, std::vector<std::wstring> texts, const uint32_t* values,
                  int64_t countOverride = -1)
    {
        std::vector<gCString> strings;
        for (const std::wstring& t : texts)
            strings.emplace_back(t.c_str());
        gCMemFile body;
        uint32_t count = countOverride < 0 ? static_cast<uint32_t>(texts.size()) : static_cast<uint32_t>(countOverride);
        EXPECT_OK(CResourceFileWriter::WriteTextListBody(body, 0, count, strings.data(), values,
                                                         static_cast<int32_t>(strings.size())));
        return Add('txlt', id, name, body, -1);
    }

    uint32_t Add(uint32_t tag, uint32_t id, const wchar_t* name, gCMemFile& body, int64_t size)
    {
        uint32_t offset = static_cast<uint32_t>(writer.GetSize());
        EXPECT_OK(writer.AddResource(tag, id, gCString(name), body, size));
        return offset;
    }

    // Saves (less dropTail bytes) and opens the file for reading.
    void Open(int64_t dropTail = 0)
    {
        // Closing a file not open is harmless.
        (void)file.Close();
        path = folder.File(L"res.vrf");
        ASSERT_OK(writer.SaveAs(path, dropTail));
        ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    }

    TempFolder folder;
    gCString path;
    CResourceFileWriter writer;
    gCFile file;
};

} // namespace

TEST(ResourceFileWriter, WritesChunksByteForByte)
{
    CResourceFileWriter writer;
    ASSERT_OK(writer.AddVersion(2));
    gCMemFile body;
    ASSERT_OK(CResourceFileWriter::WriteTextBody(body, gCString(L"ab")));
    ASSERT_OK(writer.AddResource('text', 5, gCString(L"Hi"), body));
    gCMemFile list;
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
                                   Utf16(L"Hi\r\n"),
                                   Utf16(L"ab"),
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

TEST(ResourceDirectory, EntriesAtTheirTagsWithNamesWithoutLineEnds)
{
    ResourceFile res;
    res.Version(2);
    uint32_t panel = res.Text(10, L"Panel", L"p");
    uint32_t list = res.List(11, L"List", {L"a"}, nullptr);
    uint32_t odd = res.Text(12, L"Odd", L"o", 'zzzz');
    res.Open();

    CResourceDirectory directory;
    ASSERT_OK(directory.Read(res.file));
    EXPECT_EQ(directory.GetVersion(), 2u);
    ASSERT_EQ(directory.GetCount(), 3) << "every chunk but 'vers', whatever its tag";
    EXPECT_EQ(directory.GetEntry(0).offset, panel);
    EXPECT_EQ(W(directory.GetEntry(0).name), L"Panel");
    EXPECT_EQ(directory.GetEntry(1).offset, list);
    EXPECT_EQ(directory.GetEntry(2).offset, odd);
    EXPECT_EQ(directory.GetEntry(2).id, 12u);
    EXPECT_EQ(directory.FindByID(11), static_cast<int32_t>(list));
    EXPECT_EQ(directory.FindByID(13), -1);
    EXPECT_EQ(directory.FindByName(gCString(L"Odd")), static_cast<int32_t>(odd));
    EXPECT_EQ(directory.FindByName(gCString(L"panel")), -1);

    // Reading again replaces the entries.
    ASSERT_OK(directory.Read(res.file));
    EXPECT_EQ(directory.GetCount(), 3);
    directory.Clear();
    EXPECT_EQ(directory.GetCount(), 0);
    EXPECT_EQ(directory.FindByID(10), -1);

    gCMemFile memory;
    EXPECT_RESULT(directory.Read(memory), kBadParameter);
}

TEST(ResourceDirectory, AFileWithoutVersionIsVersionOneAfterAnother)
{
    ResourceFile versioned;
    versioned.Version(3);
    versioned.Open();
    ResourceFile plain;
    plain.List(5, L"L", {L"x"}, nullptr);
    plain.Open();

    CResourceDirectory directory;
    ASSERT_OK(directory.Read(versioned.file));
    EXPECT_EQ(directory.GetCount(), 0);
    ASSERT_EQ(directory.GetVersion(), 3u);
    CText text;
    EXPECT_RESULT(text.LoadByID(1, &versioned.file, &directory), kResourceNotFound);
    EXPECT_RESULT(text.LoadByName(gCString(L"x"), &versioned.file, &directory), kResourceNotFound);
    ASSERT_OK(directory.Read(plain.file));
    EXPECT_EQ(directory.GetVersion(), 1u) << "the version of the earlier file must not carry over";
    CTextList list;
    ASSERT_OK(list.LoadByID(5, &plain.file, &directory));
    EXPECT_EQ(W(list.GetEntryString(0)), L"x");
}

TEST(ResourceDirectory, ADamagedTailFailsButKeepsTheEntriesBefore)
{
    ResourceFile res;
    res.Text(1, L"One", L"1");
    res.Text(2, L"Two", L"2");
    res.Open(4 + 6); // the body and the name's end
    CResourceDirectory directory;
    EXPECT_RESULT(directory.Read(res.file), kStreamFailure);
    EXPECT_EQ(directory.GetCount(), 1);
}

TEST(Locate, FindsByIdAndByNameAndStandsAtTheBody)
{
    ResourceFile res;
    res.Version(1);
    res.Text(1, L"Title", L"hello");
    res.Text(2, L"Panel", L"world");
    res.Open();

    CText byId;
    ASSERT_OK(gCResourceObject::LoadResourceDataByID(&byId, 'text', 2, &res.file));
    EXPECT_EQ(byId.GetID(), 2u);
    EXPECT_EQ(W(byId.GetName()), L"Panel");
    gCString body;
    ASSERT_OK(res.file.ReadString(body));
    EXPECT_EQ(W(body), L"world");

    CText byName;
    ASSERT_OK(res.file.Rewind());
    ASSERT_OK(gCResourceObject::LoadResourceDataByName(&byName, 'text', gCString(L"Title"), &res.file));
    EXPECT_EQ(byName.GetID(), 1u);
    EXPECT_EQ(W(byName.GetName()), L"Title");
}

TEST(Locate, WrapsToFindAResourceBeforeThePosition)
{
    ResourceFile res;
    res.Text(1, L"A", L"a");
    uint32_t second = res.Text(2, L"B", L"b");
    res.Text(3, L"C", L"c");
    res.Open();
    for (int64_t start : {static_cast<int64_t>(second), res.file.GetLength()}) {
        SCOPED_TRACE(start);
        ASSERT_OK(res.file.SetPosition(start));
        CText text;
        ASSERT_OK(text.LoadByID(1, &res.file, nullptr));
        EXPECT_EQ(W(text.GetText()), L"a");
    }
}

TEST(Locate, SkipsAChunkWithTheSameIdUnderAnotherTag)
{
    ResourceFile res;
    res.List(7, L"Same", {L"from the list"}, nullptr);
    res.Text(7, L"Same", L"from the text");
    res.Open();
    CText text;
    ASSERT_OK(text.LoadByID(7, &res.file, nullptr));
    EXPECT_EQ(W(text.GetText()), L"from the text");
    ASSERT_OK(res.file.Rewind());
    CTextList list;
    ASSERT_OK(list.LoadByName(gCString(L"Same"), &res.file, nullptr));
    EXPECT_EQ(W(list.GetEntryString(0)), L"from the list");

    std::unique_ptr<CTextList> created(CreateTextList(gCString(L"Same"), &res.file, nullptr));
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(W(created->GetEntryString(0)), L"from the list");
    EXPECT_EQ(W(created->GetName()), L"Same");
    EXPECT_EQ(CreateTextList(gCString(L"Unknown"), &res.file, nullptr), nullptr);
}

TEST(Locate, AMissingResourceEndsWith22FromAnyStart)
{
    struct Case {
        const char* what;
        int64_t lastSize; // -1: the true size
        int64_t dropTail;
        int64_t raggedTail; // bytes after the last chunk, fewer than a chunk header
    };
    const Case cases[] = {
        {"whole file", -1, 0, 0},
        {"oversized last chunk", 0xFFFFFFF0, 0, 0},
        {"last chunk cut short", -1, 3, 0},
        {"ragged tail", -1, 0, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResourceFile res;
        res.Version(1);
        res.Text(1, L"A", L"a");
        uint32_t last = res.Text(2, L"B", L"b", 'text', c.lastSize);
        if (c.raggedTail) {
            ASSERT_OK(res.writer.AddChunk(0, 0, nullptr, 0));
        }
        res.Open(c.raggedTail ? 8 - c.raggedTail : c.dropTail);
        for (int64_t start : {int64_t{0}, int64_t{14}, static_cast<int64_t>(last) + 3, res.file.GetLength()}) {
            SCOPED_TRACE(start);
            ASSERT_OK(res.file.SetPosition(start));
            CText text;
            EXPECT_RESULT(gCResourceObject::LoadResourceDataByID(&text, 'text', 99, &res.file), kResourceNotFound);
            EXPECT_RESULT(gCResourceObject::LoadResourceDataByName(&text, 'text', gCString(L"Z"), &res.file),
                          kResourceNotFound);
        }
    }
}

TEST(Locate, NeedsAnOpenFile)
{
    CText text;
    gCFile closed;
    gCMemFile memory;
    EXPECT_RESULT(gCResourceObject::LoadResourceDataByID(&text, 'text', 1, &closed), kInvalidFile);
    EXPECT_RESULT(gCResourceObject::LoadResourceDataByID(&text, 'text', 1, &memory), kInvalidFile);
    EXPECT_RESULT(gCResourceObject::LoadResourceDataByID(&text, 'text', 1, nullptr), kInvalidFile) << "no application";
    EXPECT_RESULT(text.LoadByID(1, nullptr, nullptr), kBadParameter) << "no stream at all";
}

TEST(LoadingProtocol, ADirectoryHitStartsTheScanAtTheWantedChunk)
{
    ResourceFile res;
    uint32_t first = res.Text(5, L"Twice", L"first");
    uint32_t second = res.Text(5, L"Twice", L"second");
    res.Open();
    CResourceDirectory directory;
    ASSERT_OK(directory.Read(res.file));

    ASSERT_OK(res.file.SetPosition(second));
    CText scanned;
    ASSERT_OK(scanned.LoadByID(5, &res.file, nullptr));
    EXPECT_EQ(W(scanned.GetText()), L"second") << "without a directory the scan starts where the stream is";

    ASSERT_OK(res.file.SetPosition(second));
    CText seeked;
    ASSERT_OK(seeked.LoadByID(5, &res.file, &directory));
    EXPECT_EQ(W(seeked.GetText()), L"first");

    ASSERT_OK(res.file.SetPosition(second));
    CText byName;
    ASSERT_OK(byName.LoadByName(gCString(L"Twice"), &res.file, &directory));
    EXPECT_EQ(W(byName.GetText()), L"first");
    EXPECT_EQ(directory.FindByID(5), static_cast<int32_t>(first));
}

TEST(LoadingProtocol, TheApplicationsFileAndDirectory)
{
    ResourceFile res;
    res.Version(2);
    res.Text(1, L"Greeting", L"hi");
    const uint32_t values[] = {4};
    res.List(2, L"Values", {L"four"}, values);
    res.Open();
    CResourceDirectory directory;
    ASSERT_OK(directory.Read(res.file));

    FakeHost host;
    host.resourceStream = &res.file;
    host.resourceDirectory = &directory;
    CText text;
    ASSERT_OK(text.LoadByName(gCString(L"Greeting"), nullptr, nullptr));
    EXPECT_EQ(W(text.GetText()), L"hi");

    // The application's file always comes with its directory, so the list reads values.
    CResourceDirectory other;
    CTextList list;
    ASSERT_OK(list.LoadByID(2, &res.file, &other));
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetEntryValue(0), 4u);

    // An empty application directory means no directory: the first format, no values.
    CResourceDirectory empty;
    host.resourceDirectory = &empty;
    ASSERT_OK(res.file.Rewind());
    CTextList firstFormat;
    ASSERT_OK(firstFormat.LoadByID(2, nullptr, nullptr));
    ASSERT_EQ(firstFormat.GetCount(), 1);
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
        res.List(1, L"L", {L"one", L"two", L"three"}, version == 2 ? values : nullptr);
        res.List(2, L"Empty", {}, nullptr);
        res.Open();
        CResourceDirectory directory;
        ASSERT_OK(directory.Read(res.file));

        CTextList list;
        ASSERT_OK(list.LoadByID(1, &res.file, &directory));
        if (version == 3) {
            EXPECT_EQ(list.GetCount(), 0);
            continue;
        }
        ASSERT_EQ(list.GetCount(), 3);
        EXPECT_EQ(W(list.GetEntryString(2)), L"three");
        EXPECT_EQ(list.GetCurrentIndex(), 2);
        EXPECT_EQ(list.GetEntryValue(1), version == 2 ? 20u : 0u);
        EXPECT_EQ(W(list.GetEntryString(-1)), L"");
        EXPECT_EQ(W(list.GetEntryString(3)), L"");
        EXPECT_EQ(list.GetCurrentIndex(), 2);

        CTextList empty;
        ASSERT_OK(empty.LoadByName(gCString(L"Empty"), &res.file, &directory));
        EXPECT_EQ(empty.GetCount(), 0);
    }
}

TEST(TextResources, DamagedBodiesAreReportedWithTheirStep)
{
    struct Case {
        const char* what;
        bool list;
        int64_t dropTail;
        const wchar_t* box; // null: no report
        gCResult result;
        int32_t entries;
        int64_t count = -1; // -1: the true count
    };
    const wchar_t* kText = L"An error occurred reading data from a binary resource file.\nError reading CText string.";
    const wchar_t* kExclusivity =
        L"An error occurred reading data from a binary resource file.\nError reading exclusivity";
    const wchar_t* kCount =
        L"An error occurred reading data from a binary resource file.\nError reading number of entries";
    const Case cases[] = {
        {"text without its 0 unit", false, 2, kText, kStreamFailure, 0},
        {"text cut in the middle", false, 5, kText, kStreamFailure, 0},
        {"text without a body", false, 8, kText, kStreamFailure, 0},
        {"list without its count", true, 4 + 4 * 2 + 2 * 2, kCount, kStreamFailure, 0},
        {"list without a body", true, 8 + 4 * 2 + 2 * 2, kExclusivity, kStreamFailure, 0},
        {"list cut in its last entry", true, 4, nullptr, kStreamFailure, 1},
        {"a count beyond the entries stops at the first failed read", true, 0, nullptr, kStreamFailure, 2, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResourceFile res;
        if (c.list)
            res.List(1, L"N", {L"a", L"b"}, nullptr, c.count);
        else
            res.Text(1, L"N", L"abc");
        res.Open(c.dropTail);
        BoxCapture boxes;
        CText text;
        CTextList list;
        gCResourceObject* object = c.list ? static_cast<gCResourceObject*>(&list) : &text;
        EXPECT_EQ(object->LoadByID(1, &res.file, nullptr), c.result);
        if (c.box) {
            ASSERT_EQ(boxes.Boxes().size(), 1u);
            EXPECT_EQ(boxes.Boxes()[0].text, c.box);
        } else {
            EXPECT_TRUE(boxes.Boxes().empty());
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
    res.Text(2, L"Other", L"o");
    res.Open();
    gDeleted = 0;
    {
        CResourcePool pool;
        CountedText* panel = new CountedText;
        CountedText* other = new CountedText;
        CountedText* unnamed = new CountedText;
        ASSERT_OK(panel->LoadByID(1, &res.file, nullptr));
        ASSERT_OK(other->LoadByName(gCString(L"Other"), &res.file, nullptr));
        EXPECT_EQ(panel->IsPooled(), 0);
        ASSERT_OK(pool.Add(unnamed));
        ASSERT_OK(pool.Add(panel));
        ASSERT_OK(pool.Add(other));
        EXPECT_EQ(panel->IsPooled(), 1);
        EXPECT_EQ(pool.FindByName(gCString(L"Panel")), panel);
        EXPECT_EQ(pool.FindByName(gCString(L"panel")), nullptr);
        EXPECT_EQ(pool.FindByName(gCString()), nullptr) << "an unset name matches nothing";
        EXPECT_EQ(pool.FindByName(gCString(L"")), nullptr) << "nor does an unset object name";
        EXPECT_EQ(pool.FindByID(2), other);
        EXPECT_EQ(pool.FindByID(0), unnamed);
        EXPECT_EQ(pool.FindByID(3), nullptr);
        EXPECT_EQ(panel->QueryFloat(), 0.7f);

        pool.Clear();
        EXPECT_EQ(gDeleted, 3);
        EXPECT_EQ(pool.GetCount(), 0);
        ASSERT_OK(pool.Add(new CountedText));
    }
    EXPECT_EQ(gDeleted, 4) << "the destructor clears";
}

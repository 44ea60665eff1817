// The data files' writers and readers: resource files of chunks (directory, locating, text and
// text-list resources, pools), string tables, and both under damage.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <iterator>
#include <memory>
#include <random>
#include <vector>

#include "BoxCapture.h"
#include "CFileImage.h"
#include "CResourceDirectory.h"
#include "CResourceFileWriter.h"
#include "CResourcePool.h"
#include "CStringTableWriter.h"
#include "CText.h"
#include "CTextList.h"
#include "Expect.h"
#include "FailingAllocator.h"
#include "FakeHost.h"
#include "TempFolder.h"
#include "gCOwnedPtr.h"
#include "gCFRef.h"
#include "gCFile.h"
#include "gCMemFile.h"
#include "gCStringTable.h"

namespace {

// A resource file of text chunks, remembering where each chunk's tag lies.
class ResourceFile {
public:
    uint32_t Text(uint32_t id, const wchar_t* name, const wchar_t* text, uint32_t tag = 'text', int64_t size = -1)
    {
        gCMemFile body;
        EXPECT_OK(CResourceFileWriter::WriteTextBody(body, gCString(text)));
        const uint32_t offset = static_cast<uint32_t>(writer.GetSize());
        EXPECT_OK(writer.AddResource(tag, id, gCString(name), body, size));
        return offset;
    }

    // Saves (less dropTail bytes) and opens the file for reading.
    void Open(int64_t dropTail = 0)
    {
        ASSERT_OK(writer.SaveAs(folder.File(L"res.vrf"), dropTail));
        ASSERT_OK(file.OpenFullPath(folder.File(L"res.vrf"), kAccessRead));
    }

    TempFolder folder;
    CResourceFileWriter writer;
    gCFile file;
};

testing::AssertionResult IsResultCode(gCResult r)
{
    const int32_t code = r;
    return code >= 0 && code <= kKeyNotFound ? testing::AssertionSuccess() : testing::AssertionFailure() << code;
}

// Every cut of the valid file, then random byte changes with hostile sizes and counts written
// over the fields.
std::vector<Bytes> DamagedInputs(const Bytes& valid, std::mt19937& random)
{
    std::vector<Bytes> inputs;
    for (size_t cut = 0; cut <= valid.size(); ++cut)
        inputs.emplace_back(valid.begin(), valid.begin() + cut);
    const uint32_t hostile[] = {0, 1, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF8, 0xFFFFFFFF};
    for (int k = 0; k < 150; ++k) {
        Bytes changed = valid;
        for (int c = 1 + static_cast<int>(random() % 6); c > 0; --c) {
            const size_t at = random() % changed.size();
            const bool wide = random() % 2 && at + 4 <= changed.size();
            const uint32_t value = wide ? hostile[random() % std::size(hostile)] : random();
            for (size_t b = 0; b < (wide ? 4u : 1u); ++b)
                changed[at + b] = static_cast<uint8_t>(value >> (8 * b));
        }
        inputs.push_back(changed);
    }
    return inputs;
}

int gDeleted = 0;
struct CountedText : CText {
    ~CountedText() override { ++gDeleted; }
};

const std::wstring kError = L"%%String Table Error";

struct Record {
    uint32_t id;
    const wchar_t *name, *text;
};

// Written by the string-table writer into a program folder of its own.
struct TableFile {
    TableFile(std::vector<Record> records, int64_t dropTail = 0)
    {
        host.programFolder = gCString(folder.Path().c_str());
        CStringTableWriter writer;
        for (const Record& r : records)
            EXPECT_OK(writer.AddRecord(r.id, gCString(r.name), gCString(r.text)));
        EXPECT_OK(writer.SaveAs(path, dropTail));
    }

    gCResult Load(gCStringTable& table, int32_t replace = 1)
    {
        gCFile file;
        gCResult r = file.OpenFullPath(path, kAccessRead);
        return r != kOk ? r : table.Parse(file, replace);
    }

    TempFolder folder;
    FakeHost host;
    gCString path = folder.File(L"table.vsf");
};

} // namespace

TEST(Writers, ResourceChunksAndStringTableRecordsByteForByte)
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
    const Bytes version = Concat({Ansi("srev"), U32(4), U32(2)});
    const Bytes text = Concat({Ansi("txet"), U32(4 + 8 + 6), U32(5), Utf16(L"Hi\r\nab"), {0, 0}});
    const Bytes listHead = Concat({Ansi("tlxt"), U32(0x1000), U32(6), Utf16(L"\r\n"), U32(1), U32(2)});
    const Bytes listEntries = Concat({Utf16(L"x\r\n"), U32(9), Utf16(L"\r\n"), U32(10)});
    EXPECT_EQ(Bytes(writer.GetData(), writer.GetData() + writer.GetSize()),
              Concat({version, text, listHead, listEntries}));

    // A string-table record: id, flags, name and text.
    CStringTableWriter records;
    ASSERT_OK(records.AddRecord(3000000007u, gCString(L"K"), gCString(L"x|y"), 5));
    EXPECT_EQ(Bytes(records.GetData(), records.GetData() + records.GetSize()),
              Concat({U32(3000000007u), U32(5), Utf16(L"K\r\n"), Utf16(L"x|y\r\n")}));
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
        ASSERT_OK(res.writer.AddVersion(1));
        res.Text(1, L"A", L"a");
        const uint32_t last = res.Text(2, L"B", L"b", 'text', c.lastSize);
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

// The directory holds the entries of every tag but the version, and the version of the file it
// read last only. It starts the scan at the wanted chunk; without one the scan starts where the
// stream is and wraps to the start, past chunks of other tags. The application's file always
// comes with the application's directory.
TEST(ResourceDirectory, EntriesOfEveryTagButVersionAndTheScanStartsAtTheWantedChunk)
{
    ResourceFile res, plain;
    ASSERT_OK(res.writer.AddVersion(3));
    res.Text(5, L"Twice", L"of another tag", 'wdgt');
    res.Text(5, L"Twice", L"first");
    const int64_t second = res.Text(5, L"Twice", L"second"), last = res.Text(3, L"C", L"c");
    res.Open();
    const uint32_t one = plain.Text(12, L"One", L"1");
    plain.Text(13, L"Cut", L"c");
    plain.Open(4 + 6); // the body and the name's end
    CResourceDirectory directory;
    ASSERT_OK(directory.Read(res.file));
    EXPECT_EQ(directory.GetVersion(), 3u);
    ASSERT_EQ(directory.GetCount(), 4);
    EXPECT_EQ(directory.FindByID(3), last);
    EXPECT_EQ(directory.FindByName(gCString(L"C")), last);
    EXPECT_EQ(directory.FindByName(gCString(L"c")), -1);
    FakeHost host;
    host.resourceDirectory = &directory;
    const struct {
        int64_t start;
        bool application, byName;
        gCStream* stream;
        CResourceDirectory* directory;
        const wchar_t* text;
    } cases[] = {
        {second, false, false, &res.file, nullptr, L"second"},
        {second, false, false, &res.file, &directory, L"first"},
        {second, false, true, &res.file, &directory, L"first"},
        {second, true, true, nullptr, nullptr, L"first"},
        {second, true, false, &res.file, nullptr, L"first"},
        {last, false, false, &res.file, nullptr, L"first"},
        {res.file.GetLength(), false, true, &res.file, nullptr, L"first"},
    };
    for (const auto& c : cases) {
        host.resourceStream = c.application ? &res.file : nullptr;
        ASSERT_OK(res.file.SetPosition(c.start));
        CText text;
        ASSERT_OK(c.byName ? text.LoadByName(gCString(L"Twice"), c.stream, c.directory)
                           : text.LoadByID(5, c.stream, c.directory));
        EXPECT_EQ(W(text.GetText()), c.text) << (&c - cases);
    }
    CText text;
    gCFile closed;
    gCMemFile memory;
    EXPECT_RESULT(text.LoadByID(1, &closed, nullptr), kInvalidFile);
    EXPECT_RESULT(text.LoadByID(1, &memory, nullptr), kInvalidFile);
    EXPECT_RESULT(text.LoadByID(1, nullptr, nullptr), kBadParameter) << "no stream at all";

    // A damaged tail fails but keeps the entries before; no version chunk is version 1.
    EXPECT_RESULT(directory.Read(plain.file), kStreamFailure);
    EXPECT_EQ(directory.GetVersion(), 1u) << "the version of the earlier file must not carry over";
    ASSERT_EQ(directory.GetCount(), 1);
    EXPECT_EQ(directory.FindByID(12), static_cast<int32_t>(one));
    EXPECT_RESULT(directory.Read(memory), kBadParameter);
}

// A resource file's image in memory gives the directory and every resource that the file
// gives: names and texts end at their line ends as the file's do.
TEST(ResourceDirectory, AFilesImageGivesWhatTheFileGives)
{
    ResourceFile res;
    ASSERT_OK(res.writer.AddVersion(2));
    res.Text(1, L"First", L"one");
    res.Text(2, L"Second", L"two\r\nlines");
    res.Text(3, L"", L"three", 'wdgt');
    res.Text(4, L"Fourth", L"");
    res.Open();
    CFileImage image;
    ASSERT_OK(image.Load(gCFRef(res.folder.File(L"res.vrf")), 1 << 20));
    CResourceDirectory fromFile, fromImage;
    ASSERT_OK(fromFile.Read(res.file));
    ASSERT_OK(fromImage.Read(image));
    EXPECT_EQ(fromImage.GetVersion(), 2u);
    ASSERT_EQ(fromImage.GetCount(), 4);
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(fromImage.GetEntry(i).offset, fromFile.GetEntry(i).offset);
        EXPECT_EQ(W(fromImage.GetEntry(i).name), W(fromFile.GetEntry(i).name));
    }
    EXPECT_EQ(W(fromImage.GetEntry(1).name), L"Second");
    for (uint32_t id = 1; id <= 4; ++id) {
        CText a, b;
        EXPECT_EQ(a.LoadByID(id, &res.file, &fromFile), b.LoadByID(id, &image, &fromImage)) << id;
        EXPECT_EQ(W(b.GetText()), W(a.GetText())) << id;
        EXPECT_EQ(W(b.GetName()), W(a.GetName())) << id;
    }
    CText byName;
    ASSERT_OK(byName.LoadByName(gCString(L"Second"), &image, nullptr));
    EXPECT_EQ(W(byName.GetText()), L"two\n");
}

TEST(TextResources, DamagedBodiesAreReportedAndLeaveNoText)
{
    for (int64_t dropTail : {2, 5, 8}) {
        SCOPED_TRACE(dropTail);
        ResourceFile res;
        res.Text(1, L"N", L"abc");
        res.Open(dropTail);
        BoxCapture boxes;
        CText text;
        EXPECT_RESULT(text.LoadByID(1, &res.file, nullptr), kStreamFailure);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text,
                  L"An error occurred reading data from a binary resource file.\nError reading CText string.");
        EXPECT_EQ(W(text.GetText()), L"");
    }
}

// Values are read in format version 2 only; version 3 lists have no entries to read.
TEST(TextList, EntriesOfEachFormatVersionAndNoListForAMissingName)
{
    const gCString texts[] = {gCString(L"one"), gCString(L"two")};
    const uint32_t values[] = {10, 20};
    for (uint32_t version : {1u, 2u, 3u}) {
        ResourceFile res;
        ASSERT_OK(res.writer.AddVersion(version));
        gCMemFile body;
        ASSERT_OK(CResourceFileWriter::WriteTextListBody(body, 0, 2, texts, version == 2 ? values : nullptr, 2));
        ASSERT_OK(res.writer.AddResource('txlt', 1, gCString(L"L"), body));
        res.Open();
        CResourceDirectory directory;
        ASSERT_OK(directory.Read(res.file));
        std::unique_ptr<CTextList> list(CreateTextList(gCString(L"L"), &res.file, &directory));
        ASSERT_NE(list, nullptr) << version;
        EXPECT_EQ(W(list->GetEntryString(1)) + W(list->GetEntryString(2)), version == 3 ? L"" : L"two") << version;
        EXPECT_EQ(list->GetCurrentIndex(), version == 3 ? 0 : 1) << "an index past the end leaves the current one";
        EXPECT_EQ(list->GetEntryValue(1), version == 2 ? 20u : 0u) << version;
        EXPECT_EQ(CreateTextList(gCString(L"Missing"), &res.file, &directory), nullptr);
    }
}

TEST(ResourcePool, FindsByNameAndIdAndDeletesWhatItHoldsAsAnOwningPointerDoes)
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
        EXPECT_EQ(pool.FindByName(gCString(L"Panel")), panel);
        EXPECT_EQ(pool.FindByName(gCString()), nullptr) << "an unset name matches nothing";
        EXPECT_EQ(pool.FindByName(gCString(L"")), nullptr) << "nor does an unset object name";
        EXPECT_EQ(pool.FindByID(1), panel);
        EXPECT_EQ(pool.FindByID(0), unnamed);
        pool.Clear();
        EXPECT_EQ(gDeleted, 2);
        ASSERT_OK(pool.Add(new CountedText));
    }
    EXPECT_EQ(gDeleted, 3) << "the destructor clears";
    // An owning pointer deletes its object; a borrowing one never.
    CountedText borrowed;
    gCBaseObject *owned = new CountedText, *lent = &borrowed;
    {
        gCOwnedPtr owner(&owned, 1), borrower(&lent, 0);
    }
    EXPECT_EQ(gDeleted, 4);
    EXPECT_EQ(owned, nullptr);
}

TEST(StringTable, LaterRecordsReplaceByIdAndByKeptName)
{
    TableFile file({{7, L"A", L"first"},
                    {8, L"B", L"b"},
                    {7, L"C", L"second"},
                    {9, L"B", L"renamed"},
                    {3000000000u, L"", L"large"},
                    {3000000001u, L"", L""}});
    // Kept names replace too; records without names never replace each other. With wanted
    // names the other records are passed over, and replace nothing.
    const wchar_t* const wanted[] = {L"B", L"A"};
    const struct {
        int32_t keepNames, replace;
        std::vector<uint32_t> ids;
        std::wstring seven;
        bool onlyWanted;
    } cases[] = {
        {0, 1, {8, 7, 9, 3000000000u, 3000000001u}, L"second", false},
        {1, 1, {7, 9, 3000000000u, 3000000001u}, L"second", false},
        {0, 0, {7, 8, 9, 3000000000u, 3000000001u}, L"first", false},
        {1, 1, {7, 9}, L"first", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.keepNames << c.replace << c.onlyWanted);
        gCStringTable table(c.keepNames);
        if (c.onlyWanted)
            table.SetWantedNames(wanted, 2);
        ASSERT_OK(file.Load(table, c.replace));
        std::vector<uint32_t> ids;
        for (int32_t i = 0; i < table.GetCount(); ++i)
            ids.push_back(table.GetIDAt(i));
        EXPECT_EQ(ids, c.ids);
        EXPECT_EQ(W(table.GetTextByID(7, 0)), c.seven);
        EXPECT_EQ(W(table.GetTextByID(3000000001u, 0)), kError) << "an empty text has no variant";
        EXPECT_EQ(W(table.GetVariantByName(gCString(L"B"), 0)), c.keepNames ? L"renamed" : kError);
    }
}

TEST(StringTable, ACutLastRecordKeepsTheEarlierEntries)
{
    const int64_t lastRecord = 8 + 10 + 16;
    // From the last line feed on: a lone carriage return still ends a whole text.
    for (int64_t drop = 3; drop < lastRecord; ++drop) {
        SCOPED_TRACE(drop);
        TableFile file({{1, L"One", L"first"}, {2, L"Two", L"second"}}, drop);
        gCStringTable table(1);
        EXPECT_RESULT(file.Load(table), kStreamFailure);
        ASSERT_EQ(table.GetCount(), 1);
        EXPECT_EQ(W(table.GetTextByID(1, 0)), L"first");
    }
}

// Loaded by a name in the program's folder; a file that cannot be read keeps the old table.
TEST(StringTable, VariantsByIdAndByNameWholeTextsByNameAndNoLossForAFileThatCannotBeRead)
{
    TableFile file({{1, L"Local_Current", L"English|Deutsch"}, {2, L"Pair", L"a||b"}, {3, L"Open", L"a|"}});
    gCStringTable table(1);
    ASSERT_OK(table.LoadFile(gCString(L"table.vsf")));
    EXPECT_RESULT(table.LoadFile(gCString(L"missing.vsf")), kFileOpenFailure);
    EXPECT_RESULT(table.LoadFile(gCString(L"")), kBadParameter);
    const struct {
        uint32_t id;
        int32_t variant;
        std::wstring expected;
    } cases[] = {{1, 1, L"Deutsch"}, {1, 2, kError}, {1, -1, kError}, {2, 1, L""},
                 {2, 2, L"b"},       {3, 0, L"a"},   {3, 1, kError}};
    for (const auto& c : cases)
        EXPECT_EQ(W(table.GetTextByID(c.id, c.variant)), c.expected) << c.id << "/" << c.variant;
    EXPECT_EQ(W(table.GetVariantByName(gCString(L"Local_Current"), 1)), L"Deutsch");
    EXPECT_EQ(W(table.GetVariantByName(gCString(L"local_current"), 0)), kError) << "case counts";
    EXPECT_EQ(W(table.GetTextByName(gCString(L"Pair"))), L"a||b") << "the whole text";
    EXPECT_EQ(W(table.GetTextByName(gCString(L"Missing"))), kError);
    gCMemFile memory;
    gCFile closed;
    EXPECT_RESULT(table.Load(memory), kBadParameter);
    EXPECT_RESULT(table.Parse(closed, 1), kBadParameter);
}

TEST(StringTable, RunningOutOfMemoryKeepsTheArraysInStep)
{
    std::vector<Record> records;
    const wchar_t* names[] = {L"N0", L"N1", L"N2", L"N3", L"N4", L"N5", L"N6"};
    for (uint32_t id = 1; id <= 12; ++id)
        records.push_back({id % 5, names[id % 7], L"text"});
    TableFile file(records);
    for (int failFrom = 0; failFrom < 80; ++failFrom) {
        SCOPED_TRACE(failFrom);
        gCStringTable table(1);
        gCFile stream;
        ASSERT_OK(stream.OpenFullPath(file.path, kAccessRead));
        gCResult r;
        {
            FailingAllocator failing(failFrom);
            r = table.Load(stream);
        }
        EXPECT_TRUE(r == kOk || r == kOutOfMemory) << r;
        EXPECT_EQ(table.GetNameCount(), table.GetCount());
        for (int32_t i = 0; i < table.GetCount(); ++i)
            EXPECT_EQ(W(table.GetTextByID(table.GetIDAt(i), 0)), L"text");
    }
}

TEST(Fuzz, DamagedStringTablesAndResourceFilesEndWithAResultCode)
{
    TableFile table(
        {{1, L"QV2_Version", L"2.1"}, {3000000000u, L"Local_Current", L"English|Deutsch"}, {7, L"", L"a||b"}});
    ResourceFile res;
    ASSERT_OK(res.writer.AddVersion(2));
    res.Text(1, L"Title", L"hello");
    res.Text(3, L"Other", L"hello", 'wdgt');
    res.Open();
    const Bytes tableBytes = ReadWholeFile(table.path), resourceBytes = ReadWholeFile(res.folder.File(L"res.vrf"));
    std::mt19937 random(20240601);
    const gCString path = res.folder.File(L"fuzz.bin");
    BoxCapture boxes;
    for (const Bytes* valid : {&tableBytes, &resourceBytes}) {
        for (const Bytes& input : DamagedInputs(*valid, random)) {
            ASSERT_TRUE(WriteWholeFile(path, input));
            gCFile file;
            ASSERT_OK(file.OpenFullPath(path, kAccessRead));
            // Each read starts anywhere in the file.
            const auto standAnywhere = [&] { return file.SetPosition(random() % (input.size() + 1)); };
            ASSERT_OK(standAnywhere());
            if (valid == &tableBytes) {
                gCStringTable read(1);
                ASSERT_TRUE(IsResultCode(read.Load(file)));
                ASSERT_EQ(read.GetNameCount(), read.GetCount());
                for (int32_t i = 0; i < read.GetCount(); ++i)
                    read.GetTextByID(read.GetIDAt(i), static_cast<int32_t>(random() % 4));
                continue;
            }
            // The file's image in memory takes the same damage.
            CFileImage image;
            ASSERT_OK(image.Load(gCFRef(path), 1 << 20));
            for (gCStream* stream : {static_cast<gCStream*>(&file), static_cast<gCStream*>(&image)}) {
                CResourceDirectory directory;
                ASSERT_TRUE(IsResultCode(directory.Read(*stream)));
                for (CResourceDirectory* used : {static_cast<CResourceDirectory*>(nullptr), &directory}) {
                    for (uint32_t id = 1; id <= 3; ++id) {
                        ASSERT_OK(stream->SetPosition(random() % (input.size() + 1)));
                        CText text;
                        ASSERT_TRUE(IsResultCode(text.LoadByID(id, stream, used)));
                    }
                    CText byName;
                    ASSERT_TRUE(IsResultCode(byName.LoadByName(gCString(L"Title"), stream, used)));
                }
            }
        }
    }
}

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <vector>

#include "CStringTableWriter.h"
#include "Expect.h"
#include "FailingAllocator.h"
#include "FakeHost.h"
#include "TempFolder.h"
#include "gCFile.h"
#include "gCMemFile.h"
#include "gCStringTable.h"

namespace {

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
        return r != 0 ? r : table.Parse(file, replace);
    }

    TempFolder folder;
    FakeHost host;
    gCString path = folder.File(L"table.vsf");
};

} // namespace

TEST(StringTable, WriterPutsIdFlagsNameAndTextInARecord)
{
    CStringTableWriter writer;
    ASSERT_OK(writer.AddRecord(3000000007u, gCString(L"K"), gCString(L"x|y"), 5));
    EXPECT_EQ(Bytes(writer.GetData(), writer.GetData() + writer.GetSize()),
              Concat({U32(3000000007u), U32(5), Utf16(L"K\r\n"), Utf16(L"x|y\r\n")}));
}

TEST(StringTable, LaterRecordsReplaceByIdAndByKeptName)
{
    TableFile file({{7, L"A", L"first"},
                    {8, L"B", L"b"},
                    {7, L"C", L"second"},
                    {9, L"B", L"renamed"},
                    {3000000000u, L"", L"large"},
                    {3000000001u, L"", L""}});
    // Kept names replace too; records without names never replace each other.
    const struct {
        int32_t keepNames, replace;
        std::vector<uint32_t> ids;
        std::wstring seven;
    } cases[] = {
        {0, 1, {8, 7, 9, 3000000000u, 3000000001u}, L"second"},
        {1, 1, {7, 9, 3000000000u, 3000000001u}, L"second"},
        {0, 0, {7, 8, 9, 3000000000u, 3000000001u}, L"first"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.keepNames << c.replace);
        gCStringTable table(c.keepNames);
        ASSERT_OK(file.Load(table, c.replace));
        std::vector<uint32_t> ids;
        for (int32_t i = 0; i < table.GetCount(); ++i)
            ids.push_back(table.GetIDAt(i));
        EXPECT_EQ(ids, c.ids);
        EXPECT_EQ(W(table.GetTextByID(7, 0)), c.seven);
        EXPECT_EQ(W(table.GetTextByID(3000000000u, 0)), L"large");
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
        EXPECT_EQ(table.GetNameCount(), 1);
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
        EXPECT_TRUE(r == 0 || r == kOutOfMemory) << r;
        EXPECT_EQ(table.GetNameCount(), table.GetCount());
        for (int32_t i = 0; i < table.GetCount(); ++i)
            EXPECT_EQ(W(table.GetTextByID(table.GetIDAt(i), 0)), L"text");
    }
}

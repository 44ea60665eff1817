#include <gtest/gtest.h>

#include "ResultAssert.h"

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

// A program folder of its own, with files written there by the string-table writer.
struct TableFiles {
    TableFiles() { host.programFolder = gCString(folder.Path().c_str()); }

    gCString Save(CStringTableWriter& writer, const wchar_t* name, int64_t dropTail = 0)
    {
        gCString path = folder.File(name);
        EXPECT_OK(writer.SaveAs(path, dropTail));
        return path;
    }

    TempFolder folder;
    FakeHost host;
};

gCResult LoadPath(gCStringTable& table, const gCString& path)
{
    gCFile file;
    gCResult r = file.OpenFullPath(path, kAccessRead);
    return r != 0 ? r : table.Load(file);
}

} // namespace

TEST(StringTableWriter, WritesRecordsByteForByte)
{
    CStringTableWriter writer;
    ASSERT_OK(writer.AddRecord(3000000007u, gCString(L"K"), gCString(L"x|y"), 5));
    const Bytes expected = Concat({U32(3000000007u), U32(5), Utf16(L"K\r\n"), Utf16(L"x|y\r\n")});
    EXPECT_EQ(Bytes(writer.GetData(), writer.GetData() + writer.GetSize()), expected);
}

TEST(StringTable, LoadsRecordsWithLargeIds)
{
    TableFiles files;
    CStringTableWriter writer;
    ASSERT_OK(writer.AddRecord(3000000000u, gCString(L"First"), gCString(L"one")));
    ASSERT_OK(writer.AddRecord(3000000001u, gCString(L""), gCString(L"")));
    ASSERT_OK(writer.AddRecord(1, gCString(L"Third"), gCString(L"three")));
    files.Save(writer, L"t.vsf");

    gCStringTable table;
    ASSERT_OK(table.LoadFile(gCString(L"t.vsf")));
    ASSERT_EQ(table.GetCount(), 3);
    EXPECT_EQ(table.GetIDAt(0), 3000000000u);
    EXPECT_EQ(W(table.GetTextByID(3000000000u, 0)), L"one");
    EXPECT_EQ(W(table.GetTextByID(3000000001u, 0)), kError) << "an empty text has no variant";
    EXPECT_EQ(W(table.GetTextByID(1, 0)), L"three");
    EXPECT_EQ(W(table.GetTextByID(2, 0)), kError);
    EXPECT_EQ(table.GetNameCount(), 0) << "names are not kept";
    EXPECT_EQ(W(table.GetTextByName(gCString(L"First"))), kError);
}

TEST(StringTable, LaterRecordsReplaceByIdAndByKeptName)
{
    TableFiles files;
    CStringTableWriter writer;
    ASSERT_OK(writer.AddRecord(7, gCString(L"A"), gCString(L"first")));
    ASSERT_OK(writer.AddRecord(8, gCString(L"B"), gCString(L"b")));
    ASSERT_OK(writer.AddRecord(7, gCString(L"C"), gCString(L"second")));
    ASSERT_OK(writer.AddRecord(9, gCString(L"B"), gCString(L"renamed")));
    gCString path = files.Save(writer, L"r.vsf");

    gCStringTable byId;
    ASSERT_OK(LoadPath(byId, path));
    ASSERT_EQ(byId.GetCount(), 3);
    EXPECT_EQ(byId.GetIDAt(0), 8u);
    EXPECT_EQ(byId.GetIDAt(1), 7u) << "where the later record was appended";
    EXPECT_EQ(byId.GetIDAt(2), 9u);
    EXPECT_EQ(W(byId.GetTextByID(7, 0)), L"second");

    gCStringTable byName(1);
    ASSERT_OK(LoadPath(byName, path));
    ASSERT_EQ(byName.GetCount(), 2);
    EXPECT_EQ(byName.GetNameCount(), 2);
    EXPECT_EQ(byName.GetIDAt(0), 7u);
    EXPECT_EQ(byName.GetIDAt(1), 9u);
    EXPECT_EQ(W(byName.GetTextByName(gCString(L"B"))), L"renamed");
    EXPECT_EQ(W(byName.GetTextByName(gCString(L"C"))), L"second");
    EXPECT_EQ(W(byName.GetTextByID(8, 0)), kError);

    // Records without key names do not replace each other.
    CStringTableWriter unnamed;
    ASSERT_OK(unnamed.AddRecord(1, gCString(L""), gCString(L"one")));
    ASSERT_OK(unnamed.AddRecord(2, gCString(L""), gCString(L"two")));
    gCStringTable both(1);
    ASSERT_OK(LoadPath(both, files.Save(unnamed, L"unnamed.vsf")));
    EXPECT_EQ(both.GetCount(), 2);
    EXPECT_EQ(W(both.GetTextByName(gCString(L""))), kError);

    // Without replacing, the first record of an id stays.
    gCStringTable keepFirst;
    gCFile file;
    ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    ASSERT_OK(keepFirst.Parse(file, 0));
    EXPECT_EQ(keepFirst.GetCount(), 3);
    EXPECT_EQ(W(keepFirst.GetTextByID(7, 0)), L"first");
}

TEST(StringTable, VariantsAndNames)
{
    TableFiles files;
    CStringTableWriter writer;
    ASSERT_OK(writer.AddRecord(1, gCString(L"Local_Current"), gCString(L"English|Deutsch|Fran\u00E7ais")));
    ASSERT_OK(writer.AddRecord(2, gCString(L"Pair"), gCString(L"a||b")));
    ASSERT_OK(writer.AddRecord(3, gCString(L"Open"), gCString(L"a|")));
    gCString path = files.Save(writer, L"v.vsf");
    gCStringTable table(1);
    ASSERT_OK(LoadPath(table, path));

    struct Case {
        uint32_t id;
        int32_t variant;
        std::wstring expected;
    };
    const Case cases[] = {
        {1, 0, L"English"}, {1, 1, L"Deutsch"}, {1, 2, L"Fran\u00E7ais"}, {1, 3, kError}, {1, -1, kError}, {2, 0, L"a"},
        {2, 1, L""},        {2, 2, L"b"},       {2, 3, kError},           {3, 0, L"a"},   {3, 1, kError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << "/" << c.variant);
        EXPECT_EQ(W(table.GetTextByID(c.id, c.variant)), c.expected);
    }
    EXPECT_EQ(W(table.GetVariantByName(gCString(L"Local_Current"), 1)), L"Deutsch");
    EXPECT_EQ(W(table.GetVariantByName(gCString(L"local_current"), 0)), kError) << "case counts";
    EXPECT_EQ(W(table.GetTextByName(gCString(L"Pair"))), L"a||b");
    EXPECT_EQ(W(table.GetTextByName(gCString(L"Missing"))), kError);

    gCStringTable noNames;
    ASSERT_OK(LoadPath(noNames, path));
    EXPECT_EQ(W(noNames.GetVariantByName(gCString(L"Pair"), 0)), kError);
}

TEST(StringTable, ACutLastRecordKeepsTheEarlierEntries)
{
    TableFiles files;
    CStringTableWriter writer;
    ASSERT_OK(writer.AddRecord(1, gCString(L"One"), gCString(L"first")));
    ASSERT_OK(writer.AddRecord(2, gCString(L"Two"), gCString(L"second")));
    const int64_t lastRecord = 8 + 10 + 16;
    // From the last line feed on: a lone carriage return still ends a whole text.
    for (int64_t drop = 3; drop < lastRecord; ++drop) {
        SCOPED_TRACE(drop);
        gCString path = files.Save(writer, L"cut.vsf", drop);
        gCStringTable table(1);
        EXPECT_RESULT(LoadPath(table, path), kStreamFailure);
        ASSERT_EQ(table.GetCount(), 1);
        EXPECT_EQ(table.GetNameCount(), 1);
        EXPECT_EQ(W(table.GetTextByID(1, 0)), L"first");
    }
}

TEST(StringTable, AFileThatCannotBeOpenedKeepsTheOldTable)
{
    TableFiles files;
    CStringTableWriter first, second, none;
    ASSERT_OK(first.AddRecord(1, gCString(L"A"), gCString(L"a")));
    ASSERT_OK(first.AddRecord(2, gCString(L"B"), gCString(L"b")));
    ASSERT_OK(second.AddRecord(3, gCString(L"C"), gCString(L"c")));
    files.Save(first, L"first.vsf");
    files.Save(second, L"second.vsf");
    files.Save(none, L"empty.vsf");

    gCStringTable table(1);
    ASSERT_OK(table.LoadFile(gCString(L"first.vsf")));
    EXPECT_RESULT(table.LoadFile(gCString(L"missing.vsf")), kFileOpenFailure);
    EXPECT_RESULT(table.LoadFile(gCString(L"")), kBadParameter);
    EXPECT_EQ(table.GetCount(), 2);
    EXPECT_EQ(W(table.GetTextByName(gCString(L"B"))), L"b");

    ASSERT_OK(table.LoadFile(gCString(L"second.vsf")));
    ASSERT_EQ(table.GetCount(), 1);
    EXPECT_EQ(table.GetNameCount(), 1);
    EXPECT_EQ(W(table.GetTextByName(gCString(L"C"))), L"c");
    EXPECT_EQ(W(table.GetTextByName(gCString(L"A"))), kError);

    EXPECT_OK(table.LoadFile(gCString(L"empty.vsf")));
    EXPECT_EQ(table.GetCount(), 0);
    gCMemFile memory;
    gCFile closed;
    EXPECT_RESULT(table.Load(memory), kBadParameter);
    EXPECT_RESULT(table.Parse(closed, 1), kBadParameter);
}

TEST(StringTable, RunningOutOfMemoryKeepsTheArraysInStep)
{
    TableFiles files;
    CStringTableWriter writer;
    for (uint32_t id = 1; id <= 12; ++id)
        ASSERT_OK(writer.AddRecord(id % 5, gCString::AppendNumber(gCString(L"N"), id % 7), gCString(L"text")));
    gCString path = files.Save(writer, L"many.vsf");
    for (int failFrom = 0; failFrom < 80; ++failFrom) {
        SCOPED_TRACE(failFrom);
        gCStringTable table(1);
        gCFile file;
        ASSERT_OK(file.OpenFullPath(path, kAccessRead));
        gCResult r;
        {
            FailingAllocator failing(failFrom);
            r = table.Load(file);
        }
        EXPECT_TRUE(r == 0 || r == kOutOfMemory) << r;
        EXPECT_EQ(table.GetNameCount(), table.GetCount());
        for (int32_t i = 0; i < table.GetCount(); ++i)
            EXPECT_EQ(W(table.GetTextByID(table.GetIDAt(i), 0)), L"text");
    }
}

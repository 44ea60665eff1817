#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include <string>

#include "CVsfSource.h"
#include "Programs.h"
#include "TempFolder.h"
#include "gCFile.h"
#include "gCStringTable.h"

namespace {

std::wstring Text(const gCString& s)
{
    return s.Text();
}

gCResult ParseSource(const std::string& source, CStringTableWriter& writer, CVsfSource& parser)
{
    return parser.Parse(source.data(), static_cast<int32_t>(source.size()), writer);
}

// Saves what the writer holds and loads it back as a table that keeps names.
void LoadBack(CStringTableWriter& writer, gCStringTable& table)
{
    TempFolder folder;
    gCString path = folder.File(L"t.vsf");
    ASSERT_OK(writer.SaveAs(path));
    gCFile file;
    ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    ASSERT_OK(table.Load(file));
}

} // namespace

TEST(VsfSource, EntriesBecomeRecordsInOrder)
{
    const std::string source = "\xEF\xBB\xBF# product facts\r\n"
                               "1\tQV2_Version\t2.1\r\n"
                               "\n"
                               "2\t\tEnglish|Deutsch|Fran\xC3\xA7"
                               "ais\n"
                               "@base 3000000000\n"
                               "74\tRunning\tPlease close Quorvel 2 first.\n"
                               "75\t\ttab\tinside";
    CVsfSource parser;
    CStringTableWriter writer;
    ASSERT_OK(ParseSource(source, writer, parser)) << Text(parser.GetError());
    EXPECT_EQ(parser.GetRecordCount(), 4);

    gCStringTable table(1);
    LoadBack(writer, table);
    ASSERT_EQ(table.GetCount(), 4);
    EXPECT_EQ(table.GetIDAt(2), 3000000074u);
    EXPECT_EQ(Text(table.GetTextByName(gCString(L"QV2_Version"))), L"2.1");
    EXPECT_EQ(Text(table.GetTextByID(2, 2)), L"Fran\u00E7ais");
    EXPECT_EQ(Text(table.GetTextByID(3000000074u, 0)), L"Please close Quorvel 2 first.");
    EXPECT_EQ(Text(table.GetTextByID(3000000075u, 0)), L"tab\tinside");
}

TEST(VsfSource, FaultsNameTheirLine)
{
    struct Case {
        std::string source;
        std::wstring error;
    };
    const Case cases[] = {
        {"1\tA\ta\n2 B b\n", L"line 2: an entry is <id>, a tab, <name>, a tab, <text>"},
        {"x\tA\ta\n", L"line 1: the id (with the @base added) must be a number up to 4294967295"},
        {"4294967296\tA\ta\n", L"line 1: the id (with the @base added) must be a number up to 4294967295"},
        {"@base 4294967295\n1\tA\ta\n", L"line 2: the id (with the @base added) must be a number up to 4294967295"},
        {"@base\n", L"line 1: an entry is <id>, a tab, <name>, a tab, <text>"},
        {"@base -1\n", L"line 1: @base needs a number up to 4294967295"},
        {"1\tA\ta\n#\n1\tB\tb\n", L"line 3: this id was given before"},
        {"1\tA\ta\n2\tA\tb\n", L"line 2: this name was given before"},
        {"1\tA\t\xC3\n", L"line 1: not UTF-8 text"},
        {std::string("1\tA\ta\0b\n", 8), L"line 1: a 0 character or a carriage return inside the line"},
        {"1\tA\ta\rb\n", L"line 1: a 0 character or a carriage return inside the line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        CVsfSource parser;
        CStringTableWriter writer;
        EXPECT_RESULT(ParseSource(c.source, writer, parser), kTextResourceFailure);
        EXPECT_EQ(Text(parser.GetError()), c.error);
    }
    // Entries without names may repeat the empty name.
    CVsfSource parser;
    CStringTableWriter writer;
    EXPECT_OK(ParseSource("1\t\ta\n2\t\tb\n", writer, parser));
}

TEST(VsfBuildProgram, WritesTheTableAndFailsOnABadSource)
{
    TempFolder folder;
    gCString source = folder.File(L"source.txt");
    gCString table = folder.File(L"table.vsf");
    auto run = [&](const std::string& text) -> DWORD {
        if (!WriteWholeFile(source, Bytes(text.begin(), text.end())))
            return 0xFFFC;
        std::wstring command = L"vsfbuild.exe \"" + std::wstring(source.Text()) + L"\" \"" + table.Text() + L"\"";
        return RunProgram(command);
    };
    ASSERT_EQ(run("7\tName\tseven\n"), 0u);
    gCStringTable loaded(1);
    gCFile file;
    ASSERT_OK(file.OpenFullPath(table, kAccessRead));
    ASSERT_OK(loaded.Load(file));
    EXPECT_EQ(Text(loaded.GetTextByName(gCString(L"Name"))), L"seven");
    ASSERT_OK(file.Close());

    EXPECT_EQ(run("seven\tName\tseven\n"), 1u);
}

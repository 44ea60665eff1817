#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CStringTableWriter.h"
#include "Expect.h"
#include "LocalString.h"
#include "ProductFacts.h"
#include "TempFolder.h"
#include "gCFile.h"

namespace {
struct Record {
    uint32_t id;
    const wchar_t* name;
    const wchar_t* text;
};

gCString WriteTable(const TempFolder& folder, const wchar_t* file, std::initializer_list<Record> records)
{
    CStringTableWriter writer;
    for (const Record& r : records)
        EXPECT_OK(writer.AddRecord(r.id, gCString(r.name), gCString(r.text)));
    gCString path = folder.File(file);
    EXPECT_OK(writer.SaveAs(path));
    return path;
}
} // namespace

TEST(ProductFacts, ReadByTheirKeyNamesFirstVariantTrimmed)
{
    TempFolder folder;
    gCString path = WriteTable(folder, L"system.vsf",
                               {{7, L"ZRN_Application", L"Quorvel 2|Quorvel Zwei"},
                                {1, L"Local_Current", L"Deutsch"},
                                {3, L"QV2_Version", L" 2.0.1 "},
                                {4, L"QV2_FreeVersionFlag", L"0"},
                                {5, L"ZRN_InternalBuildString", L"QV2-1234"},
                                {6, L"Unrelated", L"x"}});
    CProductFacts facts;
    ASSERT_OK(facts.Read(path));
    EXPECT_EQ(W(facts.language), L"Deutsch");
    EXPECT_EQ(W(facts.version), L"2.0.1");
    EXPECT_EQ(W(facts.freeFlag), L"0");
    EXPECT_EQ(W(facts.buildString), L"QV2-1234");
    EXPECT_EQ(W(facts.application), L"Quorvel 2");
}

TEST(ProductFacts, MissingFactsAreReported)
{
    TempFolder folder;
    const struct {
        const wchar_t* file;
        std::initializer_list<Record> records;
        gCResult result;
    } cases[] = {
        {L"noversion.vsf", {{1, L"ZRN_InternalBuildString", L"B"}, {2, L"Local_Current", L"English"}}, kKeyNotFound},
        {L"nobuild.vsf", {{1, L"QV2_Version", L"2.0"}}, kKeyNotFound},
        {L"empty.vsf", {}, kFileNotFound},
        {L"complete.vsf", {{1, L"QV2_Version", L"2.0"}, {2, L"ZRN_InternalBuildString", L"B"}}, kOk},
    };
    for (const auto& c : cases) {
        CProductFacts facts;
        EXPECT_EQ(facts.Read(WriteTable(folder, c.file, c.records)), c.result) << c.file;
    }
    CProductFacts facts;
    EXPECT_RESULT(facts.Read(folder.File(L"absent.vsf")), kFileNotFound);
}

TEST(ProductFacts, LanguageBlockByNameOrCodeElseEnglish)
{
    TempFolder folder;
    gCString path = WriteTable(folder, L"QVUpdater.vsf",
                               {{kLocalTextBase + 0, L"", L"English"},
                                {kLocalTextBase + 1, L"", L"en"},
                                {kLocalTextBase + 1000, L"", L"Deutsch"},
                                {kLocalTextBase + 1001, L"", L"de"},
                                {kLocalTextBase + 2000, L"", L"Fran\u00e7ais"}});
    gCStringTable table;
    gCFile file;
    ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    ASSERT_OK(table.Load(file));
    const struct {
        const wchar_t* language;
        uint32_t offset;
    } cases[] = {
        {L"Deutsch", 1000},       {L"DEUTSCH", 1000}, {L"de", 1000}, {L"English", 0},
        {L"Fran\u00e7ais", 2000}, {L"Italiano", 0},   {L"", 0},      {L"Deutsch ", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseLanguageBlock(table, gCString(c.language)), c.offset) << c.language;

    gCStringTable none;
    EXPECT_EQ(ChooseLanguageBlock(none, gCString(L"Deutsch")), 0u);
}

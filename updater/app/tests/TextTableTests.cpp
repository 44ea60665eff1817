// The string table that the build makes: the product's language chooses its block by name or
// code, and every text of one block exists in the other, so no user reads the table's error text.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "LocalString.h"
#include "ProductFacts.h"
#include "Programs.h"
#include "gCFile.h"

TEST(UpdaterTexts, LanguageChoosesTheBlockAndEveryBlockHoldsEveryText)
{
    gCStringTable table;
    gCFile file;
    ASSERT_OK(file.OpenFullPath(gCString((ProgramFolder() + L"Resources\\QVUpdater.vsf").c_str()), kAccessRead));
    ASSERT_OK(table.Load(file));
    const struct {
        const wchar_t* language;
        uint32_t offset;
    } cases[] = {{L"Deutsch", 1000}, {L"DEUTSCH", 1000}, {L"de", 1000},   {L"English", 0},
                 {L"Italiano", 0},   {L"", 0},           {L"Deutsch ", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(ChooseLanguageBlock(table, gCString(c.language)), c.offset) << c.language;

    for (uint32_t n = 0; n < 200; ++n) {
        const gCString english = table.GetTextByID(kLocalTextBase + n, 0);
        const gCString german = table.GetTextByID(kLocalTextBase + 1000 + n, 0);
        EXPECT_EQ(english.Equals(gCStringTable::kErrorText), german.Equals(gCStringTable::kErrorText)) << "text " << n;
    }
}

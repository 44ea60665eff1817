// The string table that the build makes: every text that the engine and the window ask for
// exists in every language block, so no user ever reads the table's error text.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "LocalString.h"
#include "ProductFacts.h"
#include "Programs.h"
#include "gCFile.h"

TEST(UpdaterTexts, EveryLanguageBlockHoldsEveryTextInUse)
{
    gCStringTable table;
    gCFile file;
    ASSERT_OK(file.OpenFullPath(gCString((ProgramFolder() + L"Resources\\QVUpdater.vsf").c_str()), kAccessRead));
    ASSERT_OK(table.Load(file));

    std::vector<uint32_t> used = {0, 1, 16, 39, 51, 57, 58, 59, 72, 73, 74};
    for (uint32_t n = 22; n <= 36; ++n)
        if (n != 32)
            used.push_back(n);
    for (uint32_t n = 40; n <= 49; ++n)
        used.push_back(n);
    for (uint32_t n = 52; n <= 55; ++n)
        used.push_back(n);
    for (uint32_t n = 60; n <= 69; ++n)
        used.push_back(n);
    for (uint32_t n = 100; n <= 115; ++n)
        used.push_back(n);

    const struct {
        const wchar_t* language;
        uint32_t offset;
        const wchar_t* lookingUp;
    } blocks[] = {{L"English", 0, L"Looking up server..."}, {L"Deutsch", 1000, L"Server wird gesucht..."}};
    for (const auto& block : blocks) {
        EXPECT_EQ(ChooseLanguageBlock(table, gCString(block.language)), block.offset);
        for (uint32_t n : used) {
            const gCString text = table.GetTextByID(kLocalTextBase + block.offset + n, 0);
            EXPECT_FALSE(text.Equals(gCStringTable::kErrorText)) << "text " << n << " of " << block.offset;
            EXPECT_FALSE(text.IsEmpty()) << "text " << n << " of " << block.offset;
        }
        EXPECT_STREQ(table.GetTextByID(kLocalTextBase + block.offset + 66, 0).Text(), block.lookingUp);
    }
}

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CResultsLog.h"
#include "CStatusList.h"
#include "Expect.h"
#include "TempFolder.h"

TEST(StatusList, NewRowsShowTheNewestAndScrollingStaysInRange)
{
    // Each step: scroll by (or 99: add a row), then the first shown row.
    const struct {
        int32_t step;
        int32_t first;
    } steps[] = {
        {99, 0}, {99, 0}, {99, 0}, {-1, 0}, {99, 0}, {99, 1}, {99, 2}, {-1, 1},
        {-5, 0}, {1, 1},  {9, 2},  {-1, 1}, {99, 3}, {99, 4}, {0, 4},
    };
    CStatusList list;
    list.SetVisibleRows(4);
    int32_t added = 0;
    for (const auto& s : steps) {
        if (s.step == 99)
            ASSERT_OK(list.Add(gCString::AppendNumber(gCString(L"row "), added++), 0xFF000000));
        else
            list.Scroll(s.step);
        EXPECT_EQ(list.GetFirstVisible(), s.first) << "after " << s.step << " with " << added << " rows";
    }
    EXPECT_EQ(W(list.At(6).text), L"row 6");
    list.SetVisibleRows(20);
    EXPECT_EQ(list.GetFirstVisible(), 0);
}

TEST(ResultsLog, CreatedAnewWithUtf8LinesReadableWhileOpen)
{
    TempFolder folder;
    const gCString path = folder.File(L"UpdateResults.log");
    ASSERT_TRUE(WriteWholeFile(path, Ansi("left from the last run\r\n")));
    CResultsLog log;
    ASSERT_OK(log.Open(path));
    EXPECT_EQ(ReadWholeFile(path), Bytes());
    ASSERT_OK(log.WriteLine(gCString(L"Looking up server...")));
    ASSERT_OK(log.WriteLine(gCString(L"")));
    ASSERT_OK(log.WriteLine(gCString(L"Gr\u00fc\u00dfe")));
    EXPECT_EQ(ReadWholeFile(path), Ansi("Looking up server...\r\n\r\nGr\xC3\xBC\xC3\x9F"
                                        "e\r\n"));
    log.Close();

    CResultsLog closed;
    EXPECT_OK(closed.WriteLine(gCString(L"nowhere")));
    EXPECT_RESULT(closed.Open(folder.File(L"missing\\folder\\UpdateResults.log")), kFileOpenFailure);
}

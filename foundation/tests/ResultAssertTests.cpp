// The result assertions of the test kit name the codes they compare.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "ResultAssert.h"

TEST(ResultAssert, NamesTheCodes)
{
    EXPECT_EQ(ResultName(kOk), "kOk (0)");
    EXPECT_EQ(ResultName(kOutOfMemory), "kOutOfMemory (5)");
    EXPECT_EQ(ResultName(kKeyNotFound), "kKeyNotFound (31)");
    EXPECT_EQ(ResultName(kKeyNotFound + 1), "32");
    EXPECT_EQ(ResultName(-1), "-1");
    EXPECT_OK(kOk);
    EXPECT_RESULT(kBusy, kBusy);
    EXPECT_NONFATAL_FAILURE(EXPECT_OK(kBusy), "kBusy gave kBusy (7), not kOk");
    EXPECT_NONFATAL_FAILURE(EXPECT_RESULT(kOk, kWouldBlock), "gave kOk (0), not kWouldBlock (27)");
}

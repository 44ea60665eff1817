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
    const gCResult ok = kOk;
    const gCResult busy = kBusy;
    EXPECT_OK(ok);
    EXPECT_RESULT(busy, kBusy);
    EXPECT_NONFATAL_FAILURE(EXPECT_OK(busy), "busy gave kBusy (7), not kOk");
    EXPECT_NONFATAL_FAILURE(EXPECT_RESULT(ok, kWouldBlock), "ok gave kOk (0), not kWouldBlock (27)");
}

// The result assertions of the test kit fail on other codes and name the codes they compare.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "ResultAssert.h"

TEST(ResultAssert, FailsOnOtherCodesAndNamesThem)
{
    const gCResult ok = kOk, busy = kBusy, unnamed = kKeyNotFound + 1;
    EXPECT_OK(ok);
    EXPECT_RESULT(busy, kBusy);
    EXPECT_NONFATAL_FAILURE(EXPECT_OK(busy), "busy gave kBusy (7), not kOk");
    EXPECT_NONFATAL_FAILURE(EXPECT_RESULT(ok, kKeyNotFound), "ok gave kOk (0), not kKeyNotFound (31)");
    EXPECT_NONFATAL_FAILURE(EXPECT_OK(unnamed), "unnamed gave 32, not kOk");
}

#include <gtest/gtest.h>

#include "CApp.h"

TEST(RunApplication, WithoutAnApplicationObjectReturnsMinusOne)
{
    EXPECT_EQ(RunApplication(GetModuleHandleW(nullptr), nullptr, "", SW_SHOW), -1);
}

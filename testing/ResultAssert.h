// Assertions on result codes that print the code's name ("kOutOfMemory (5)"), not a bare
// number:
//   EXPECT_OK(call);  ASSERT_OK(call);  EXPECT_RESULT(call, kBusy);  ASSERT_RESULT(call, kBusy);
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "gCResult.h"

// "kOutOfMemory (5)"; a code without a name shows as its number.
std::string ResultName(int32_t code);

// Only a gCResult is checked this way: a count or a flag that happens to be 0 is no result.
testing::AssertionResult ResultIs(const char* expression, const char* expectedExpression, gCResult code,
                                  int32_t expected);
template <typename T>
testing::AssertionResult ResultIs(const char* expression, const char* expectedExpression, const T& notAResult,
                                  int32_t expected) = delete;
inline testing::AssertionResult ResultIsOk(const char* expression, gCResult code)
{
    return ResultIs(expression, "kOk", code, kOk);
}
template <typename T>
testing::AssertionResult ResultIsOk(const char* expression, const T& notAResult) = delete;

#define EXPECT_OK(expr) EXPECT_PRED_FORMAT1(ResultIsOk, expr)
#define ASSERT_OK(expr) ASSERT_PRED_FORMAT1(ResultIsOk, expr)
#define EXPECT_RESULT(expr, expected) EXPECT_PRED_FORMAT2(ResultIs, expr, expected)
#define ASSERT_RESULT(expr, expected) ASSERT_PRED_FORMAT2(ResultIs, expr, expected)

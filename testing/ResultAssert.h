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

testing::AssertionResult ResultIsOk(const char* expression, int32_t code);
testing::AssertionResult ResultIs(const char* expression, const char* expectedExpression, int32_t code,
                                  int32_t expected);

#define EXPECT_OK(expr) EXPECT_PRED_FORMAT1(ResultIsOk, expr)
#define ASSERT_OK(expr) ASSERT_PRED_FORMAT1(ResultIsOk, expr)
#define EXPECT_RESULT(expr, expected) EXPECT_PRED_FORMAT2(ResultIs, expr, expected)
#define ASSERT_RESULT(expr, expected) ASSERT_PRED_FORMAT2(ResultIs, expr, expected)

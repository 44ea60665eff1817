#include "ResultAssert.h"

namespace {
const char* const kNames[] = {
    "kOk",
    "kGenericFailure",
    "kHandled",
    "kCompleted",
    "kUserCancelled",
    "kOutOfMemory",
    "kBadParameter",
    "kBusy",
    "kInvalidObject",
    "kFileNotFound",
    "kNotImplemented",
    "kRegistryFailure",
    "kOutOfRange",
    "kBufferOverrun",
    "kFileOpenFailure",
    "kFileCloseFailure",
    "kStreamFailure",
    "kInvalidFile",
    "kTargetExists",
    "kPathFailure",
    "kTextResourceFailure",
    "kResourceWriteFailure",
    "kResourceNotFound",
    "kResourceReadFailure",
    "kCreateFailure",
    "kDamagedObject",
    "kBadTaste",
    "kWouldBlock",
    "kNetworkFatal",
    "kDuplicateKey",
    "kBadComparison",
    "kKeyNotFound",
};
static_assert(sizeof kNames / sizeof kNames[0] == kKeyNotFound + 1, "every named code has its name");
} // namespace

std::string ResultName(int32_t code)
{
    const std::string number = std::to_string(code);
    if (code < 0 || code > kKeyNotFound)
        return number;
    return std::string(kNames[code]) + " (" + number + ")";
}

testing::AssertionResult ResultIsOk(const char* expression, gCResult code)
{
    if (code == kOk)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << expression << " gave " << ResultName(code) << ", not kOk";
}

testing::AssertionResult ResultIs(const char* expression, const char*, gCResult code, int32_t expected)
{
    if (code == expected)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << expression << " gave " << ResultName(code) << ", not "
                                       << ResultName(expected);
}

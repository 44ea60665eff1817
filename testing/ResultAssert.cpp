#include "ResultAssert.h"

#include <sstream>

namespace {
// The names of the codes, in the order of their values.
const char kNames[] = "kOk kGenericFailure kHandled kCompleted kUserCancelled kOutOfMemory kBadParameter kBusy "
                      "kInvalidObject kFileNotFound kNotImplemented kRegistryFailure kOutOfRange kBufferOverrun "
                      "kFileOpenFailure kFileCloseFailure kStreamFailure kInvalidFile kTargetExists kPathFailure "
                      "kTextResourceFailure kResourceWriteFailure kResourceNotFound kResourceReadFailure "
                      "kCreateFailure kDamagedObject kBadTaste kWouldBlock kNetworkFatal kDuplicateKey "
                      "kBadComparison kKeyNotFound";
} // namespace

std::string ResultName(int32_t code)
{
    std::istringstream names(kNames);
    std::string name;
    for (int32_t index = 0; index <= code && names >> name; ++index)
        if (index == code)
            return name + " (" + std::to_string(code) + ")";
    return std::to_string(code);
}

testing::AssertionResult ResultIs(const char* expression, const char*, gCResult code, int32_t expected)
{
    if (static_cast<int32_t>(code) == expected)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << expression << " gave " << ResultName(code) << ", not "
                                       << ResultName(expected);
}

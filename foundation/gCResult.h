// Program-wide result codes: 0 is success; 1..31 have fixed texts (see ReportError).
#pragma once
#include <cstdint>
#include <type_traits>

// A result code that the compiler will not let a caller drop unnoticed. It converts to and from
// the plain 32-bit code, so codes are still switched on and stored as numbers, but compared only
// with named codes (below); a deliberate drop is written `(void)Call(); // why`.
class [[nodiscard]] gCResult {
public:
    gCResult() = default;
    constexpr gCResult(int32_t code) : m_code(code) {}
    constexpr operator int32_t() const { return m_code; }

private:
    int32_t m_code;
};
static_assert(sizeof(gCResult) == sizeof(int32_t), "a result is stored as a plain 32-bit code");

enum : int32_t {
    kOk = 0,
    kGenericFailure = 1,
    kHandled = 2,
    kCompleted = 3,
    kUserCancelled = 4,
    kOutOfMemory = 5,
    kBadParameter = 6,
    kBusy = 7,
    kInvalidObject = 8,
    kFileNotFound = 9,
    kNotImplemented = 10,
    kRegistryFailure = 11,
    kOutOfRange = 12,
    kBufferOverrun = 13,
    kFileOpenFailure = 14,
    kFileCloseFailure = 15,
    kStreamFailure = 16,
    kInvalidFile = 17,
    kTargetExists = 18,
    kPathFailure = 19,
    kTextResourceFailure = 20,
    kResourceWriteFailure = 21,
    kResourceNotFound = 22,
    kResourceReadFailure = 23,
    kCreateFailure = 24,
    kDamagedObject = 25,
    kBadTaste = 26,
    kWouldBlock = 27,
    kNetworkFatal = 28,
    kDuplicateKey = 29,
    kBadComparison = 30,
    kKeyNotFound = 31,
};

// A result is compared with a named code or another result, never with a bare number: the
// comparisons below take a gCResult itself (not an int that would convert to one), and those
// with an int are deleted.
using gCResultCode = decltype(kOk);
template <typename A, typename B>
using IfComparable = std::enable_if_t<(std::is_same_v<A, gCResult> &&
                                       (std::is_same_v<B, gCResult> || std::is_same_v<B, gCResultCode>)) ||
                                          (std::is_same_v<A, gCResultCode> && std::is_same_v<B, gCResult>),
                                      bool>;
template <typename A, typename B>
using IfWithNumber = std::enable_if_t<(std::is_same_v<A, gCResult> && std::is_same_v<B, int>) ||
                                          (std::is_same_v<A, int> && std::is_same_v<B, gCResult>),
                                      bool>;

template <typename A, typename B>
constexpr IfComparable<A, B> operator==(A a, B b)
{
    return static_cast<int32_t>(a) == static_cast<int32_t>(b);
}
template <typename A, typename B>
constexpr IfComparable<A, B> operator!=(A a, B b)
{
    return !(a == b);
}
template <typename A, typename B>
IfWithNumber<A, B> operator==(A, B) = delete;
template <typename A, typename B>
IfWithNumber<A, B> operator!=(A, B) = delete;
template <typename A, typename B>
IfWithNumber<A, B> operator<(A, B) = delete;
template <typename A, typename B>
IfWithNumber<A, B> operator>(A, B) = delete;
template <typename A, typename B>
IfWithNumber<A, B> operator<=(A, B) = delete;
template <typename A, typename B>
IfWithNumber<A, B> operator>=(A, B) = delete;

// Where a failure began: every failure macro hands its file, line and expression to one hook,
// which writes a debug line unless replaced (tests capture it). Null restores the default;
// the hook before is returned.
using FailureHook = void (*)(gCResult code, const char* file, int32_t line, const char* expression);
FailureHook SetFailureHook(FailureHook hook);
void NoteFailure(gCResult code, const char* file, int32_t line, const char* expression);

// Returns a failed result at once, recorded where it began, unless it is the expected code
// (kWouldBlock, say), a state rather than a fault, which is passed on unrecorded.
#define QV_RETURN_IF_FAILED_EXPECTED(expr, expected)                                                                   \
    do {                                                                                                               \
        gCResult qv_result_ = (expr);                                                                                  \
        if (qv_result_ != kOk) {                                                                                       \
            if (qv_result_ != (expected))                                                                              \
                NoteFailure(qv_result_, __FILE__, __LINE__, #expr);                                                    \
            return qv_result_;                                                                                         \
        }                                                                                                              \
    } while (0)

// Every failure is recorded.
#define QV_RETURN_IF_FAILED(expr) QV_RETURN_IF_FAILED_EXPECTED(expr, kOk)

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "BoxCapture.h"
#include "ReportError.h"
#include "WinSock.h"

namespace {

int WSAAPI AgreesToVersion21(WORD version, LPWSADATA data)
{
    // Really start, so the cleanup that follows stays balanced.
    int r = WSAStartup(version, data);
    data->wVersion = MAKEWORD(2, 1);
    return r;
}

int WSAAPI Unavailable(WORD, LPWSADATA)
{
    return WSASYSNOTREADY;
}

std::wstring ErrorBoxText(const char* detail)
{
    std::string text = std::string(GetResultText(kNetworkFatal)) + "\n" + detail;
    return std::wstring(text.begin(), text.end());
}

} // namespace

TEST(GetErrFatality, MapsEveryKnownCodeToItsClass)
{
    const uint32_t fatal[] = {10004, 10013, 10014, 10022, 10024, 10037, 10041, 10043, 10044, 10045,
                              10047, 10050, 10056, 10091, 10092, 10093, 10101, 10102, 10103, 10104,
                              10105, 10106, 10107, 10108, 10109, 10110, 10111, 10112, 11003, 11004};
    const uint32_t retry[] = {10035, 10036, 10038, 10048, 10049, 10051, 10053, 10054,
                              10055, 10057, 10058, 10060, 10061, 11001, 11002};
    for (uint32_t code : fatal)
        EXPECT_RESULT(GetErrFatality(code), kNetworkFatal) << code;
    for (uint32_t code : retry)
        EXPECT_RESULT(GetErrFatality(code), kWouldBlock) << code;
}

TEST(GetErrFatality, UnknownCodeShowsItsBoxAndGivesGenericFailure)
{
    BoxCapture boxes;
    const uint32_t unknown[] = {10005, 0, 10003, 11005, 4294967295u};
    for (uint32_t code : unknown)
        EXPECT_RESULT(GetErrFatality(code), kGenericFailure) << code;
    ASSERT_EQ(boxes.Boxes().size(), 5u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Unknown net error detected by GetErrFatality (10005).");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"Message");
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_OK));
    EXPECT_EQ(boxes.Boxes()[4].text, L"Unknown net error detected by GetErrFatality (4294967295).");
}

TEST(StartupWinSock, RefusesALibraryThatIsNotVersion22)
{
    struct Case {
        WSAStartupFn startup;
        const char* detail;
    } cases[] = {
        {AgreesToVersion21, "WinSock DLL version does not support Winsock 2.2"},
        {Unavailable, "WinSock DLL unavailable or unsuitable"},
    };
    for (const Case& c : cases) {
        BoxCapture boxes;
        WSAStartupFn previous = SetWSAStartupFunction(c.startup);
        int32_t r = StartupWinSock();
        SetWSAStartupFunction(previous);
        EXPECT_EQ(r, 1);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, ErrorBoxText(c.detail));
    }
    // The real library is still started once for the rest of the run.
    EXPECT_EQ(StartupWinSock(), 0);
    EXPECT_OK(CleanupWinSock());
}

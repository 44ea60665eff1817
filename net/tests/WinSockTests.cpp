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

} // namespace

TEST(GetErrFatality, EachClassAndAnUnknownCodeThatShowsItsBox)
{
    BoxCapture boxes;
    EXPECT_RESULT(GetErrFatality(10013), kNetworkFatal);
    EXPECT_RESULT(GetErrFatality(11004), kNetworkFatal);
    EXPECT_RESULT(GetErrFatality(10035), kWouldBlock);
    EXPECT_RESULT(GetErrFatality(10061), kWouldBlock);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_RESULT(GetErrFatality(4294967295u), kGenericFailure);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Unknown net error detected by GetErrFatality (4294967295).");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"Message");
}

TEST(StartupWinSock, RefusesALibraryThatIsNotVersion22)
{
    {
        BoxCapture boxes;
        WSAStartupFn previous = SetWSAStartupFunction(AgreesToVersion21);
        EXPECT_EQ(StartupWinSock(), 1);
        SetWSAStartupFunction(previous);
        const std::string text =
            std::string(GetResultText(kNetworkFatal)) + "\nWinSock DLL version does not support Winsock 2.2";
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, std::wstring(text.begin(), text.end()));
    }
    // The real library is still started once for the rest of the run.
    EXPECT_EQ(StartupWinSock(), 0);
    EXPECT_OK(CleanupWinSock());
}

#include <gtest/gtest.h>

#include "Expect.h"
#include "UpdateRequest.h"

TEST(UpdateRequest, PercentEncodingKeepsOnlyPlainCharacters)
{
    const struct {
        const wchar_t* value;
        const wchar_t* encoded;
    } cases[] = {
        {L"Quorvel-2.0_beta~1", L"Quorvel-2.0_beta~1"},
        {L"", L""},
        {L"a b", L"a%20b"},
        {L"key&lang=x?y#z/+%", L"key%26lang%3Dx%3Fy%23z%2F%2B%25"},
        {L"Fran\u00e7ais", L"Fran%C3%A7ais"},
        {L"\u65e5\u672c", L"%E6%97%A5%E6%9C%AC"},
        {L"\U0001F600", L"%F0%9F%98%80"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(W(PercentEncode(gCString(c.value))), c.encoded) << c.value;
}

TEST(UpdateRequest, TargetCarriesTheFactsInOrderWithTheReleasedPrefixOutsideTestMode)
{
    CProductFacts facts;
    facts.language = gCString(L"Deutsch");
    facts.version = gCString(L"2.0.1");
    facts.freeFlag = gCString(L"1");
    facts.buildString = gCString(L"QV2 R&D");
    facts.application = gCString(L"Quorvel 2");
    const struct {
        bool testMode;
        const wchar_t* target;
    } cases[] = {
        {false, L"/QVU/getupdate_v3.php?key=AB-12&lang=Deutsch&version=2.0.1&buildtype=1&protocol=4&"
                L"buildstring=QV2%20R%26D&platform=WIN32"},
        {true, L"/getupdate_v3.php?key=AB-12&lang=Deutsch&version=2.0.1&buildtype=1&protocol=4&"
               L"buildstring=QV2%20R%26D&platform=WIN32"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(W(BuildUpdateTarget(facts, gCString(L"AB-12"), c.testMode)), c.target);
}

TEST(UpdateRequest, TestServerComesFromTheMarkersFirstLine)
{
    const struct {
        const char* marker;
        const wchar_t* host;
    } cases[] = {
        {"", L"localhost"},
        {"\r\n", L"localhost"},
        {"127.0.0.1:8123", L"127.0.0.1:8123"},
        {"127.0.0.1:8123\r\nsecond line", L"127.0.0.1:8123"},
        {"  testhost:80 \n", L"testhost:80"},
        {"\xEF\xBB\xBFlocalhost:9000", L"localhost:9000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(W(TestServerFromMarker(c.marker, static_cast<int32_t>(strlen(c.marker)))), c.host) << c.marker;
}

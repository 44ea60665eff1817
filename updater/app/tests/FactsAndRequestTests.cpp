// The update request outside test mode, the product's facts it cannot do without, and the test
// server named by the test-mode marker. The runs of the program show the rest of the request.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CStringTableWriter.h"
#include "Expect.h"
#include "FailingAllocator.h"
#include "ProductFacts.h"
#include "TempFolder.h"
#include "UpdateRequest.h"

namespace {
const wchar_t* const kWholeRequest =
    L"/QVU/getupdate_v3.php?key=A%26B%3FC%3DD%23E%2BF%25&lang=Fran%C3%A7ais&version=&buildtype=&protocol=4&"
    L"buildstring=B-1.0_beta~%F0%9F%98%80&platform=WIN32";
} // namespace

TEST(UpdateRequest, ReleasedPrefixEncodedValuesAndTheFactsItNeeds)
{
    CProductFacts facts;
    (void)facts.language.SetText(L"Fran\u00e7ais"); // a shorter value shows in the compare
    (void)facts.buildString.SetText(L"B-1.0_beta~\U0001F600");
    gCString target;
    EXPECT_OK(BuildUpdateTarget(facts, gCString(L"A&B?C=D#E+F%"), false, target));
    EXPECT_EQ(W(target), kWholeRequest);

    // Without the version or the build there is nothing to ask for.
    const wchar_t* const kept[] = {L"QV2_Version", L"ZRN_InternalBuildString"};
    for (const wchar_t* left : kept) {
        TempFolder folder;
        CStringTableWriter writer;
        ASSERT_OK(writer.AddRecord(1, gCString(left), gCString(L"2.0")));
        ASSERT_OK(writer.AddRecord(2, gCString(L"Local_Current"), gCString(L"English")));
        ASSERT_OK(writer.SaveAs(folder.File(L"system.vsf")));
        EXPECT_RESULT(facts.Read(folder.File(L"system.vsf")), kKeyNotFound) << left;
    }
}

// Short of memory at any one allocation, the request is built whole or not at all: never
// "&lang" with its value and no "=".
TEST(UpdateRequest, ARequestShortOfMemoryIsWholeOrNotThere)
{
    CProductFacts facts;
    ASSERT_OK(facts.language.SetText(L"Fran\u00e7ais"));
    ASSERT_OK(facts.buildString.SetText(L"B-1.0_beta~\U0001F600"));
    const gCString key(L"A&B?C=D#E+F%");
    int failed = 0;
    for (int n = 0;; ++n) {
        gCString target(L"before");
        gCResult result = kOk;
        bool reached = false;
        {
            FailingAllocator allocator(n, FailingAllocator::kOnlyThis);
            result = BuildUpdateTarget(facts, key, false, target);
            reached = allocator.Calls() > n;
        }
        if (!reached) {
            EXPECT_OK(result);
            EXPECT_EQ(W(target), kWholeRequest);
            break;
        }
        ++failed;
        if (result == kOk)
            EXPECT_EQ(W(target), kWholeRequest) << n;
        else
            EXPECT_TRUE(result == kOutOfMemory && W(target) == L"before") << n;
    }
    EXPECT_GT(failed, 10);
}

TEST(UpdateRequest, TestServerComesFromTheMarkersFirstLine)
{
    const struct {
        const char* marker;
        const wchar_t* host;
    } markers[] = {
        {"\r\n", L"localhost"},
        {"127.0.0.1:8123\r\nsecond line", L"127.0.0.1:8123"},
        {"  testhost:80 \n", L"testhost:80"},
        {"\xEF\xBB\xBFlocalhost:9000", L"localhost:9000"},
    };
    for (const auto& m : markers) {
        gCString host;
        EXPECT_OK(TestServerFromMarker(m.marker, static_cast<int32_t>(strlen(m.marker)), host));
        EXPECT_EQ(W(host), m.host) << m.marker;
    }
    // Short of memory at any one allocation the name is whole or not there: never a cut
    // "host:port" to connect to.
    const char* const marker = "127.0.0.1:8123\r\n";
    int failed = 0;
    for (int n = 0; n < 8; ++n) {
        gCString host(L"before");
        gCResult result = kOk;
        {
            FailingAllocator allocator(n, FailingAllocator::kOnlyThis);
            result = TestServerFromMarker(marker, static_cast<int32_t>(strlen(marker)), host);
        }
        EXPECT_TRUE(result == kOk ? W(host) == L"127.0.0.1:8123" : result == kOutOfMemory && W(host) == L"before")
            << n << ": " << W(host);
        failed += result == kOutOfMemory ? 1 : 0;
    }
    EXPECT_GT(failed, 0);
}

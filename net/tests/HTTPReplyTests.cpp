#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CHTTPSession.h"
#include "Expect.h"
#include "FailingAllocator.h"

TEST(HTTPReply, StatusLines)
{
    struct Case {
        const wchar_t* line;
        int32_t status;
    } cases[] = {
        {L"HTTP/1.1 200 OK", 200}, {L"HTTP/1.0 206 Partial Content", 206},
        {L"HTTP 200 OK", 200},     {L"HTTP/1.0", 404},
        {L"http/1.1 200 OK", -1},  {L"HTT", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CHTTPSession::ParseStatusLine(gCString(c.line)), c.status)
            << testing::PrintToString(std::wstring(c.line));
}

TEST(HTTPReply, HeaderBlockSplitsIntoTrimmedUpperCaseNames)
{
    gCString status;
    gCStringArray names;
    gCStringArray values;
    const wchar_t* block = L"HTTP/1.1 200 OK\r\ncontent-length:  12 \r\nX-Flag\r\nServer: a: b\r\n\r\nbody";
    ASSERT_OK(CHTTPSession::SplitHeaderBlock(gCString(block), status, names, values));
    std::wstring split = status.Text();
    for (int32_t i = 0; i < names.Count(); ++i)
        split += std::wstring(L"|") + names[i].Text() + L"=" + values[i].Text();
    EXPECT_EQ(split, L"HTTP/1.1 200 OK|CONTENT-LENGTH=12|X-FLAG=|SERVER=a: b");
    for (const wchar_t* unended : {L"HTTP/1.1 200 OK\r\nA: b\r\n", L"HTTP/1.1 200 OK\nA: b\n\n"})
        EXPECT_RESULT(CHTTPSession::SplitHeaderBlock(gCString(unended), status, names, values), kGenericFailure);
}

// Lengths and ranges are read in 64 bits; a value that does not fit is the largest number.
TEST(HTTPReply, HeaderTable)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        uint64_t total, first, last;
        uint32_t chunked;
    } cases[] = {
        {L"CONTENT-LENGTH", L"0x10", 16, 0, 0, 0},
        {L"CONTENT-LENGTH", L"4294968296", 4294968296ull, 0, 0, 0},
        {L"CONTENT-LENGTH", L"99999999999999999999999", ~0ull, 0, 0, 0},
        {L"CONTENT-LENGTH", L"-1000", ~0ull, 0, 0, 0},
        {L"CONTENT-RANGE", L"bytes 100-199/4294968296", 4294968296ull, 100, 199, 0},
        {L"CONTENT-RANGE", L"bytes=0-99/1000", 1000, 0, 99, 0},
        {L"CONTENT-RANGE", L"items 0-99/1000", 0, 0, 0, 0},
        {L"TRANSFER-ENCODING", L"chunked", 0, 0, 0, 1},
        {L"TRANSFER-ENCODING", L"gzip, chunked", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        CHTTPSession session;
        EXPECT_OK(session.OnReplyHeader(gCString(c.name), gCString(c.value)));
        EXPECT_EQ(session.GetTotal(), c.total) << testing::PrintToString(std::wstring(c.value));
        EXPECT_EQ(session.GetRangeFirst(), c.first);
        EXPECT_EQ(session.GetRangeLast(), c.last);
        EXPECT_EQ(session.IsChunked(), c.chunked);
    }
}

// A reply header that memory could not copy is refused, never taken as another: a page must not
// pass for a file for want of its type.
TEST(HTTPReply, AHeaderShortOfMemoryIsAppliedWholeOrRefused)
{
    const gCString name(L"CONTENT-TYPE"), value(L"text/html");
    int failed = 0;
    for (int n = 0; n < 4; ++n) {
        CHTTPSession session;
        gCResult result = kOk;
        {
            FailingAllocator allocator(n, FailingAllocator::kOnlyThis);
            result = session.OnReplyHeader(name, value);
        }
        failed += result == kOutOfMemory ? 1 : 0;
        EXPECT_TRUE(result == kOk ? W(session.GetContentType()) == L"text/html" : result == kOutOfMemory) << n;
    }
    EXPECT_GT(failed, 0);
}

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CHTTPSession.h"

TEST(HTTPReply, StatusLines)
{
    struct Case {
        const wchar_t* line;
        int32_t status;
    } cases[] = {
        {L"HTTP/1.1 200 OK", 200},        {L"HTTP/1.1 200", 200}, {L"HTTP/1.0 206 Partial Content", 206},
        {L"HTTP/1.1 404 Not Found", 404}, {L"HTTP/1.0", 404},     {L"HTTP 200 OK", 200},
        {L"http/1.1 200 OK", -1},         {L"HTT", -1},           {L"", -1},
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
    EXPECT_STREQ(status.Text(), L"HTTP/1.1 200 OK");
    ASSERT_EQ(names.Count(), 3);
    EXPECT_STREQ(names[0].Text(), L"CONTENT-LENGTH");
    EXPECT_STREQ(values[0].Text(), L"12");
    EXPECT_STREQ(names[1].Text(), L"X-FLAG");
    EXPECT_STREQ(values[1].Text(), L"");
    EXPECT_STREQ(names[2].Text(), L"SERVER");
    EXPECT_STREQ(values[2].Text(), L"a: b");

    gCStringArray n2;
    gCStringArray v2;
    EXPECT_EQ(CHTTPSession::SplitHeaderBlock(gCString(L"HTTP/1.1 200 OK\r\nA: b\r\n"), status, n2, v2), 1);
    EXPECT_EQ(CHTTPSession::SplitHeaderBlock(gCString(L"HTTP/1.1 200 OK"), status, n2, v2), 1);
    EXPECT_EQ(CHTTPSession::SplitHeaderBlock(gCString(L"HTTP/1.1 200 OK\nA: b\n\n"), status, n2, v2), 1);
}

TEST(HTTPReply, HeaderTable)
{
    struct Header {
        const wchar_t* name;
        const wchar_t* value;
    };
    struct Case {
        std::vector<Header> headers;
        uint64_t total, first, last;
        uint32_t chunked;
    } cases[] = {
        {{{L"CONTENT-LENGTH", L"1000"}}, 1000, 0, 0, 0},
        {{{L"CONTENT-LENGTH", L"0x10"}}, 16, 0, 0, 0},
        {{{L"CONTENT-LENGTH", L"4294968296"}}, 4294968296ull, 0, 0, 0},
        {{{L"CONTENT-LENGTH", L"0x100000000"}}, 4294967296ull, 0, 0, 0},
        {{{L"CONTENT-LENGTH", L"99999999999999999999999"}}, ~0ull, 0, 0, 0},
        {{{L"CONTENT-LENGTH", L"-1000"}}, ~0ull, 0, 0, 0},
        {{{L"CONTENT-RANGE", L"bytes 0-99/4294968296"}}, 4294968296ull, 0, 99, 0},
        {{{L"CONTENT-RANGE", L"bytes 0-99/1000"}}, 1000, 0, 99, 0},
        {{{L"CONTENT-RANGE", L"bytes=0-99/1000"}}, 1000, 0, 99, 0},
        {{{L"CONTENT-RANGE", L"BYTES 100-199/1000"}, {L"CONTENT-LENGTH", L"100"}}, 1000, 100, 199, 0},
        {{{L"CONTENT-LENGTH", L"100"}, {L"CONTENT-RANGE", L"bytes 0-99/500"}}, 500, 0, 99, 0},
        {{{L"CONTENT-RANGE", L"items 0-99/1000"}}, 0, 0, 0, 0},
        {{{L"TRANSFER-ENCODING", L"chunked"}}, 0, 0, 0, 1},
        {{{L"TRANSFER-ENCODING", L"gzip, chunked"}}, 0, 0, 0, 0},
        {{{L"Content-Length", L"5"}}, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        CHTTPSession session;
        for (const Header& h : c.headers)
            EXPECT_OK(session.OnReplyHeader(gCString(h.name), gCString(h.value)));
        EXPECT_EQ(session.GetTotal(), c.total) << testing::PrintToString(std::wstring(c.headers[0].value));
        EXPECT_EQ(session.GetRangeFirst(), c.first);
        EXPECT_EQ(session.GetRangeLast(), c.last);
        EXPECT_EQ(session.IsChunked(), c.chunked);
    }
    CHTTPSession session;
    EXPECT_OK(session.OnReplyHeader(gCString(L"CONTENT-TYPE"), gCString(L"text/html; charset=x")));
    EXPECT_STREQ(session.GetContentType().Text(), L"text/html; charset=x");
}

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "ScriptedPeer.h"
#include "SessionProbe.h"
#include "SocketProbe.h"

// The request is queued byte for byte as below, leaves whole on the first writable poll and
// the reply still arrives.
TEST(HTTPRequest, ExactBytesOfTheRequestLeaveWhole)
{
    const std::string head = "GET /a/b?x=1 HTTP/";
    const std::string fixed = "Host: 127.0.0.1\r\n";
    struct Case {
        const wchar_t* agent;
        const wchar_t* version;
        uint32_t rangeStart;
        std::vector<std::pair<std::wstring, std::wstring>> extra;
        std::string expected;
    } cases[] = {
        {L"",
         L"1.1",
         0,
         {},
         head + "1.1\r\n" + fixed + "User-Agent: Vantor HTTP\r\nConnection: close\r\nAccept-Encoding:\r\n\r\n"},
        {L"Tester/2",
         L"1.0",
         1024,
         {},
         head + "1.0\r\n" + fixed +
             "User-Agent: Tester/2\r\nConnection: close\r\nAccept-Encoding:\r\nRange: bytes=1024-\r\n\r\n"},
        {L"",
         L"1.0",
         0,
         {{L"X-Empty:", L""}, {L"X-Key:", L"v w"}},
         head + "1.0\r\n" + fixed +
             "User-Agent: Vantor HTTP\r\nConnection: close\r\nAccept-Encoding:\r\nX-Empty:\r\nX-Key: v w\r\n\r\n"},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer;
        peer.ReadRequest().Send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
        peer.Start();
        SessionProbe probe;
        probe.session.userAgent = gCString(c.agent);
        probe.session.protocolVersion = gCString(c.version);
        probe.extraHeaders = c.extra;
        ASSERT_OK(probe.session.OpenURL(1, HostAndPort(peer.Port()), gCString(L"/a/b?x=1"), gCString(L""),
                                        gCString(L""), c.rangeStart));
        EXPECT_EQ(probe.QueuedRequest(), c.expected);
        EXPECT_EQ(probe.session.GetPort(), peer.Port());
        EXPECT_STREQ(probe.session.GetHost().Text(), L"127.0.0.1");
        EXPECT_TRUE(probe.PollToEnd());
        EXPECT_TRUE(peer.Join());
        EXPECT_EQ(peer.Request(), c.expected);
        EXPECT_EQ(probe.session.GetSendBlock().Count(), 0);
        EXPECT_EQ(probe.Body(), "ok");
    }
}

TEST(HTTPRequest, HostWithoutPortConnectsToPort80)
{
    SessionProbe probe;
    ASSERT_OK(probe.session.OpenURL(1, gCString(L"127.0.0.1"), gCString(L"/"), gCString(L""), gCString(L""), 0));
    EXPECT_EQ(probe.session.GetPort(), 80);
    EXPECT_EQ(probe.session.GetPeerPort(), 80);
}

TEST(HTTPRequest, JoinRefusesArraysOfDifferentLengths)
{
    gCStringArray names;
    gCStringArray values;
    EXPECT_OK(names.Add(gCString(L"A:")));
    gCString text(L"x");
    EXPECT_EQ(CHTTPSession::JoinHeaderLines(names, values, text), 1);
    EXPECT_STREQ(text.Text(), L"x");
}

TEST(HTTPRequest, FileNameLosesItsPathCharacters)
{
    CHTTPSession session;
    session.SetFileName(gCString(L"a*b?c\\d/e:f.bin"));
    EXPECT_STREQ(session.GetFileName().Text(), L"a_b_c_d_e_f.bin");
    EXPECT_STREQ(session.GetFileNameAsGiven().Text(), L"a*b?c\\d/e:f.bin");
}

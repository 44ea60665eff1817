#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "ScriptedPeer.h"
#include "SessionProbe.h"

// The request is queued byte for byte as below and leaves whole; the reply still arrives.
TEST(HTTPRequest, ExactBytesOfTheRequestLeaveWhole)
{
    const std::string head = "GET /a/b?x=1 HTTP/1.0\r\nHost: 127.0.0.1\r\n";
    struct Case {
        const wchar_t* agent;
        uint32_t rangeStart;
        std::vector<std::pair<std::wstring, std::wstring>> extra;
        std::string expected;
    } cases[] = {
        {L"Tester/2",
         1024,
         {},
         head + "User-Agent: Tester/2\r\nConnection: close\r\nAccept-Encoding:\r\nRange: bytes=1024-\r\n\r\n"},
        {L"",
         0,
         {{L"X-Empty:", L""}, {L"X-Key:", L"v w"}},
         head + "User-Agent: Vantor HTTP\r\nConnection: close\r\nAccept-Encoding:\r\nX-Empty:\r\nX-Key: v w\r\n\r\n"},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer;
        peer.ReadRequest().Send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
        peer.Start();
        SessionProbe probe;
        probe.session.userAgent = gCString(c.agent);
        probe.session.protocolVersion = gCString(L"1.0");
        probe.extraHeaders = c.extra;
        ASSERT_OK(probe.session.OpenURL(1, HostAndPort(peer.Port()), gCString(L"/a/b?x=1"), gCString(L""),
                                        gCString(L""), c.rangeStart));
        EXPECT_TRUE(probe.PollToEnd());
        EXPECT_TRUE(peer.Join());
        EXPECT_EQ(peer.Request(), c.expected);
        EXPECT_EQ(probe.Body(), "ok");
    }
}

TEST(HTTPRequest, HostWithoutPortConnectsToPort80)
{
    SessionProbe probe;
    ASSERT_OK(probe.session.OpenURL(1, gCString(L"127.0.0.1"), gCString(L"/"), gCString(L""), gCString(L""), 0));
    EXPECT_EQ(probe.session.GetPeerPort(), 80);
}

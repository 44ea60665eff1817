// Every limit of the HTTP session at the limit and one past it: the header block, the
// chunk-size line and the largest body (reached through a resumed file, so only a few bytes
// travel). And progress counted in pieces small enough that one per-mille value spans reads.
#include <gtest/gtest.h>

#include "ResultAssert.h"
#include "ScriptedPeer.h"
#include "SessionProbe.h"
#include "gCMemFile.h"

namespace {

// A header block of exactly size bytes (its blank line included) that ends with the line given.
std::string HeaderBlockOf(size_t size, const std::string& lastLine)
{
    const std::string status = "HTTP/1.1 200 OK\r\n";
    const size_t fixed = status.size() + std::string("X-Fill: \r\n").size() + lastLine.size() + 2;
    return status + "X-Fill: " + std::string(size - fixed, 'x') + "\r\n" + lastLine + "\r\n";
}

// A part of the file that the session continues: it claims to hold `held` bytes already.
class ResumedFile : public gCMemFile {
public:
    explicit ResumedFile(int64_t held) : m_held(held) {}
    int64_t GetLength() override { return m_held + gCMemFile::GetLength(); }

private:
    int64_t m_held;
};

int64_t gHeld = 0;

gCResult OpenResumed(CHTTPSession*, gCString, gCString&, uint64_t, gCStream*& output, void*)
{
    output = new ResumedFile(gHeld);
    return kOk;
}

std::string EventsOfReply(const std::string& reply, int64_t held = -1)
{
    ScriptedPeer peer;
    peer.ReadRequest().Send(reply).Close();
    peer.Start();
    SessionProbe probe;
    const wchar_t* fileName = L"";
    if (held >= 0) {
        gHeld = held;
        probe.session.OpenOutputProc = {OpenResumed, nullptr};
        fileName = L"part.bin";
    }
    EXPECT_OK(
        probe.session.OpenURL(1, HostAndPort(peer.Port()), gCString(L"/"), gCString(L"C:"), gCString(fileName), 0));
    EXPECT_TRUE(probe.PollToEnd());
    peer.Join();
    return probe.EventLine(false);
}

const std::string kChunked = "Transfer-Encoding: chunked\r\n";

std::string ChunkSizeLineOf(size_t length)
{
    // "1" and an extension, which the session ignores.
    return "1;" + std::string(length - 2, 'e') + "\r\nz\r\n0\r\n\r\n";
}

} // namespace

TEST(HTTPLimits, AtTheLimitAndOnePast)
{
    // The limits as numbers, so a test never moves with the constant it checks.
    const size_t headerCap = 65536;
    const size_t lineCap = 1024;
    const int64_t bodyCap = 100000000;
    struct Case {
        const char* name;
        std::string reply;
        int64_t held;
        std::string events;
    } cases[] = {
        {"header block at the cap", HeaderBlockOf(headerCap, "Content-Length: 2\r\n") + "ok", -1, "finished:1:2"},
        {"header block one past", HeaderBlockOf(headerCap + 1, "Content-Length: 2\r\n") + "ok", -1, "request-failed"},
        {"chunk-size line at the cap", HeaderBlockOf(100, kChunked) + ChunkSizeLineOf(lineCap), -1, "finished:1:1"},
        {"chunk-size line one past", HeaderBlockOf(100, kChunked) + ChunkSizeLineOf(lineCap + 1), -1, "transfer-error"},
        {"body to the close at the cap", "HTTP/1.0 200 OK\r\n\r\n0123456789", bodyCap - 10, "finished:1:100000000"},
        {"body to the close one past", "HTTP/1.0 200 OK\r\n\r\n0123456789A", bodyCap - 10, "transfer-error"},
        {"chunked body at the cap", HeaderBlockOf(100, kChunked) + "A\r\n0123456789\r\n0\r\n\r\n", bodyCap - 10,
         "finished:1:100000000"},
        {"chunked body one past", HeaderBlockOf(100, kChunked) + "B\r\n0123456789A\r\n0\r\n\r\n", bodyCap - 10,
         "transfer-error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EventsOfReply(c.reply, c.held), c.events);
    }
}

// A header block that has reached the cap without its end fails at once: the session closes
// the connection, not the peer.
TEST(HTTPLimits, HeaderBlockAtTheCapWithoutItsEndFailsWhileTheConnectionIsOpen)
{
    ScriptedPeer peer;
    peer.ReadRequest().Send(HeaderBlockOf(65538, "").substr(0, 65536)).ReadUntilClosed(1000, 0);
    peer.Start();
    SessionProbe probe;
    ASSERT_OK(probe.session.OpenURL(1, HostAndPort(peer.Port()), gCString(L"/"), gCString(L""), gCString(L""), 0));
    EXPECT_TRUE(probe.PollUntil([&] { return !probe.events.empty(); }, 1000));
    EXPECT_EQ(probe.EventLine(false), "request-failed");
    peer.Join();
}

// 300 bytes of a 100,000-byte body in pieces of 10: ten reads share each per-mille value.
TEST(HTTPLimits, ProgressIsReportedOncePerPerMilleChange)
{
    ScriptedPeer peer;
    peer.ReadRequest().Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    peer.SendInPieces(PatternBytes(300), 10, 2).Pause(20).Send(PatternBytes(99700, 300)).Close();
    peer.Start();
    SessionProbe probe;
    ASSERT_OK(probe.session.OpenURL(1, HostAndPort(peer.Port()), gCString(L"/"), gCString(L""), gCString(L""), 0));
    EXPECT_TRUE(probe.PollToEnd());
    EXPECT_TRUE(peer.Join());
    EXPECT_EQ(probe.EventLine(false), "finished:1:100000");
    ASSERT_GE(probe.perMille.size(), 2u);
    EXPECT_EQ(probe.perMille.front(), 1u);
    EXPECT_EQ(probe.perMille.back(), 1000u);
    for (size_t i = 1; i < probe.perMille.size(); ++i)
        EXPECT_LT(probe.perMille[i - 1], probe.perMille[i]) << "at " << i;
}

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <algorithm>
#include <numeric>

#include "BoxCapture.h"
#include "ReportError.h"
#include "ScriptedPeer.h"
#include "SessionProbe.h"
#include "StateTrace.h"

namespace {

const std::string kChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

std::string Announcing(uint64_t length)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

// A header block of exactly size bytes (its blank line included) that ends with the line given.
std::string HeaderBlockOf(size_t size, const std::string& lastLine)
{
    const std::string status = "HTTP/1.1 200 OK\r\n";
    const size_t fixed = status.size() + std::string("X-Fill: \r\n").size() + lastLine.size() + 2;
    return status + "X-Fill: " + std::string(size - fixed, 'x') + "\r\n" + lastLine + "\r\n";
}

// A part of the file that the session continues: it claims to hold `held` bytes already, so
// the largest body is reached with a few bytes on the wire.
class ResumedFile : public gCMemFile {
public:
    explicit ResumedFile(int64_t held) : m_held(held) {}
    int64_t GetLength() override { return m_held + gCMemFile::GetLength(); }

private:
    int64_t m_held;
};

int64_t gHeld = 0;

// Plays the peer's script to the session; with held given the body goes to a file resumed after
// held bytes.
bool Fetch(SessionProbe& probe, ScriptedPeer& peer, int64_t held = -1)
{
    peer.Start();
    if (held >= 0) {
        gHeld = held;
        probe.session.OpenOutputProc = {
            [](CHTTPSession*, gCString, gCString&, uint64_t, gCStream*& output, void*) -> gCResult {
                output = new ResumedFile(gHeld);
                return kOk;
            },
            nullptr};
    }
    EXPECT_OK(probe.session.OpenURL(1, HostAndPort(peer.Port()), gCString(L"/"), gCString(L"C:"),
                                    gCString(held >= 0 ? L"part.bin" : L""), 0));
    EXPECT_TRUE(probe.PollToEnd());
    return peer.Join();
}

// What the data callback saw: every piece's bytes, the largest piece, and whether each one
// came with its two zero bytes after it.
struct Watched {
    std::string bytes;
    uint32_t largest = 0;
    bool zerosAfterEach = true;
};
Watched* gWatched = nullptr;

gCResult Watch(CHTTPSession*, CMemBlockT<char>& block, uint32_t count)
{
    gWatched->bytes.append(block.Data(), count);
    gWatched->largest = std::max(gWatched->largest, count);
    if (static_cast<uint32_t>(block.Count()) < count + 2 || block.Data()[count] != 0 || block.Data()[count + 1] != 0)
        gWatched->zerosAfterEach = false;
    return kOk;
}

} // namespace

// Every reply is answered after the request has been read; the peer then closes. Protocol
// breakers fail once, keep nothing that still arrives and hold no buffer; every limit is
// tried at the limit and one past. The data callback sees every byte in pieces of at most
// 64,000, and a plain body kept in memory is read straight into one block of the announced size.
TEST(HTTPSession, RepliesAndTheirEnds)
{
    const std::string junk = PatternBytes(5000);
    const std::string half = PatternBytes(500);
    const std::string large = PatternBytes(1094000);
    const std::string pieceAndByte = large.substr(0, 64001);
    const int64_t bodyCap = 100000000;
    const std::string chunkedHead = HeaderBlockOf(100, "Transfer-Encoding: chunked\r\n");
    const auto sizeLineOf = [](size_t length) { return "1;" + std::string(length - 2, 'e') + "\r\nz\r\n0\r\n\r\n"; };
    struct Case {
        const char* name;
        std::string reply;
        std::string events; // without "headers", whose place depends on where TCP cut the reply
        std::string body;
        size_t piece = 0;
        uint32_t readToClose = 0;
        int64_t held = -1;
        int64_t capacity = 0; // of the body's block, when compared
    } cases[] = {
        {"body in the header's read", Announcing(10) + "0123456789", "finished:1:10", "0123456789"},
        {"body beyond one large read", Announcing(large.size()) + large, "finished:1:1094000", large, 0, 0, -1,
         1094000},
        {"one piece and a byte", Announcing(64001) + pieceAndByte, "finished:1:64001", pieceAndByte, 0, 0, -1, 64001},
        {"more than announced, to the close", Announcing(3000) + junk, "finished:1:3000", junk.substr(0, 3000), 0, 1},
        {"no length, to the close", "HTTP/1.0 200 OK\r\n\r\n" + junk, "finished:1:5000", junk},
        {"chunked, size lines cut anywhere",
         kChunked + "5;name=x\r\nhello\r\n1a\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\nTrailer: t\r\n\r\n", "finished:1:31",
         "helloabcdefghijklmnopqrstuvwxyz", 1},
        {"chunked cut before its last chunk", kChunked + "5\r\nhello\r\n", "finished:0:5 transfer-error", "hello"},
        {"chunked cut, read to the close", kChunked + "5\r\nhello\r\n", "finished:0:5", "hello", 0, 1},
        {"non-ASCII header bytes", "HTTP/1.1 200 OK\r\nX-Name: caf\xe9 \x81\x82\xff\r\nContent-Length: 4\r\n\r\nBODY",
         "finished:1:4", "BODY"},
        {"404 reported once", "HTTP/1.1 404 Not Found\r\nContent-Length: 200\r\n\r\n" + PatternBytes(200),
         "request-failed", "", 7},
        {"cut body", Announcing(1000) + half, "transfer-error", half},
        {"closed without a reply", "", "", ""},
        {"chunk size 2^31 - 2", kChunked + "7FFFFFFE\r\nabc\r\n" + junk, "transfer-error", ""},
        {"chunk size of nine hex digits", kChunked + "000000001\r\na\r\n0\r\n\r\n", "finished:1:1", "a"},
        {"size line without a digit", kChunked + "zz\r\nabc\r\n" + junk, "transfer-error", ""},
        {"chunk not followed by CR LF", kChunked + "3\r\nabcdef\r\n" + junk, "transfer-error", ""},
        {"length above 2^32 - 1", Announcing(4294968296ull) + junk, "transfer-error", ""},
        {"length above the largest body", Announcing(bodyCap + 1) + junk, "transfer-error", ""},
        {"header block at the cap", HeaderBlockOf(65536, "Content-Length: 2\r\n") + "ok", "finished:1:2", "ok"},
        // Reached without its end, the session fails at once and closes, not the peer.
        {"header block at the cap without its end", HeaderBlockOf(65538, "").substr(0, 65536), "request-failed", ""},
        {"header block one past", HeaderBlockOf(65537, "Content-Length: 2\r\n") + "ok", "request-failed", ""},
        {"chunk-size line at the cap", chunkedHead + sizeLineOf(1024), "finished:1:1", "z"},
        {"chunk-size line one past", chunkedHead + sizeLineOf(1025), "transfer-error", ""},
        {"body to the close at the cap", "HTTP/1.0 200 OK\r\n\r\n0123456789", "finished:1:100000000", "", 0, 0,
         bodyCap - 10},
        {"body to the close one past", "HTTP/1.0 200 OK\r\n\r\n0123456789A", "transfer-error", "", 0, 0, bodyCap - 10},
        {"chunked body at the cap", chunkedHead + "A\r\n0123456789\r\n0\r\n\r\n", "finished:1:100000000", "", 0, 0,
         bodyCap - 10},
        {"chunked body one past", chunkedHead + "B\r\n0123456789A\r\n0\r\n\r\n", "transfer-error", "", 0, 0,
         bodyCap - 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        peer.ReadRequest().SendInPieces(c.reply, c.piece ? c.piece : c.reply.size() + 1, 2);
        SessionProbe probe;
        probe.session.readToClose = c.readToClose;
        Watched watched;
        gWatched = &watched;
        probe.session.DataProc = Watch;
        // A peer whose reply was refused cannot send all of it.
        (void)Fetch(probe, peer, c.held);
        gWatched = nullptr;
        EXPECT_EQ(probe.EventLine(), c.events);
        EXPECT_TRUE(probe.Body() == c.body) << probe.Body().size();
        const bool finished = c.events.compare(0, 10, "finished:1") == 0;
        ASSERT_FALSE(probe.states.empty());
        EXPECT_EQ(probe.states.back(), c.events.find("transfer-error") != std::string::npos ? kSocketClosedWithError
                                       : c.events.compare(0, 8, "finished") == 0            ? kSocketClosed
                                                                                            : kSocketConnectFailed);
        EXPECT_EQ(probe.session.GetReceiveBufferSize(), 0u);
        EXPECT_TRUE(!finished || watched.bytes == c.reply) << watched.bytes.size();
        EXPECT_LE(watched.largest, kReadPiece);
        EXPECT_TRUE(watched.zerosAfterEach);
        if (c.capacity) {
            EXPECT_EQ(probe.session.GetBody().GetCapacity(), c.capacity);
        }
    }
}

// A megabyte waiting in the socket when the session reads: no receive takes more than 64,000
// bytes, and the data callback sees each receive once, with its count, before the next.
TEST(HTTPSession, EveryReceiveTakesAtMostOnePieceAndIsShownOnce)
{
    const std::string reply = Announcing(1094000) + PatternBytes(1094000);
    ScriptedPeer peer;
    peer.ReadRequest().Send(reply);
    peer.Start();
    SessionProbe probe;
    static std::vector<uint32_t> received, shown;
    received.clear();
    shown.clear();
    probe.session.SetProc(
        kReceivedProc,
        [](uintptr_t count, uintptr_t, void*) -> gCResult {
            received.push_back(static_cast<uint32_t>(count));
            return kOk;
        },
        nullptr);
    probe.session.DataProc = [](CHTTPSession*, CMemBlockT<char>&, uint32_t count) -> gCResult {
        shown.push_back(count);
        return kOk;
    };
    ASSERT_OK(probe.session.OpenURL(1, HostAndPort(peer.Port()), gCString(L"/"), gCString(L""), gCString(L""), 0));
    EXPECT_TRUE(probe.PollUntil([&] { return probe.session.GetSendBlock().Count() == 0; }));
    // The reply piles up in the socket before the next read.
    Sleep(200);
    EXPECT_TRUE(probe.PollToEnd());
    EXPECT_TRUE(peer.Join());
    EXPECT_EQ(probe.EventLine(), "finished:1:1094000");
    EXPECT_EQ(shown, received);
    // The piled-up reply is read in whole pieces: the cap, not the socket, sets their size.
    EXPECT_EQ(*std::max_element(received.begin(), received.end()), kReadPiece);
    EXPECT_EQ(std::accumulate(received.begin(), received.end(), uint64_t(0)), reply.size());
}

// 300 bytes of a 100,000-byte body in pieces of 10: ten reads share each per-mille value.
TEST(HTTPSession, ProgressIsReportedOncePerPerMilleChange)
{
    ScriptedPeer peer;
    peer.ReadRequest().Send(Announcing(100000));
    peer.SendInPieces(PatternBytes(300), 10, 2).Pause(20).Send(PatternBytes(99700, 300));
    SessionProbe probe;
    EXPECT_TRUE(Fetch(probe, peer));
    EXPECT_EQ(probe.EventLine(), "finished:1:100000");
    ASSERT_GE(probe.perMille.size(), 2u);
    EXPECT_EQ(probe.perMille.front(), 1u);
    EXPECT_EQ(probe.perMille.back(), 1000u);
    for (size_t i = 1; i < probe.perMille.size(); ++i)
        EXPECT_LT(probe.perMille[i - 1], probe.perMille[i]) << "at " << i;
}

// Keep-alive servers hold the connection after the reply, whatever the request asked: a reply
// read to the close is complete with its last announced byte, and ends as at the close.
TEST(HTTPSession, AWholeAnnouncedBodyEndsAReadToTheCloseThoughThePeerHoldsTheConnection)
{
    ScriptedPeer peer;
    peer.ReadRequest().Send(Announcing(10)).Pause(20).Send("0123456789").ReadUntilClosed(64);
    SessionProbe probe;
    probe.session.readToClose = 1;
    EXPECT_TRUE(Fetch(probe, peer));
    EXPECT_EQ(probe.EventLine(), "finished:1:10");
    EXPECT_EQ(probe.Body(), "0123456789");
    ASSERT_FALSE(probe.states.empty());
    EXPECT_EQ(probe.states.back(), kSocketClosed);
}

// The first length header gives the body's length; a later one, and the bytes past the body
// in the same read, change nothing. The peer holds the connection open.
TEST(HTTPSession, ABodyIsTheLengthTheFirstLengthHeaderAnnounces)
{
    const std::string bytes = PatternBytes(kReadPiece);
    ScriptedPeer peer;
    peer.ReadRequest().Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 64000\r\n\r\n" + bytes);
    peer.ReadUntilClosed(64);
    SessionProbe probe;
    probe.session.readToClose = 1;
    EXPECT_TRUE(Fetch(probe, peer));
    EXPECT_EQ(probe.EventLine(), "finished:1:5");
    EXPECT_TRUE(probe.Body() == bytes.substr(0, 5)) << probe.Body().size();
    EXPECT_EQ(probe.session.GetReceived(), 5u);
}

// A session whose connection this side can shut for reading: the next receive fails with
// WSAESHUTDOWN, a receive error that is not "would block" (a reset under Wine arrives as a
// clean close instead).
class ShutReadingSession : public CHTTPSession {
public:
    int ShutReading() { return shutdown(m_socket.Get(), SD_RECEIVE); }
};

TEST(HTTPSession, AReceiveErrorOtherThanWouldBlockEndsThePollAndTheTransfer)
{
    ScriptedPeer peer;
    peer.ReadRequest().Send(Announcing(100000) + PatternBytes(1000)).Pause(300).Send(PatternBytes(3000));
    peer.Pause(300).Start();
    ShutReadingSession session;
    ASSERT_OK(session.OpenURL(1, HostAndPort(peer.Port()), gCString(L"/"), gCString(L""), gCString(L""), 0));
    EXPECT_TRUE(WaitUntil([&] { return session.GetReceived() > 0; }, [&] { return session.Poll() == kOk; }));
    ASSERT_EQ(session.ShutReading(), 0);
    std::vector<gCResult> failures;
    for (int i = 0; i < 3000 && session.HasSocket(); ++i) {
        if (gCResult r = session.Poll())
            failures.push_back(r);
        Sleep(1);
    }
    peer.Join();
    EXPECT_EQ(failures, std::vector<gCResult>{kWouldBlock});
    EXPECT_EQ(session.GetLastError(), WSAESHUTDOWN);
    EXPECT_EQ(session.GetState(), kSocketClosedWithError);
}

TEST(HTTPSession, FailingOwnerCallbacksAreReportedAndChangeNothing)
{
    BoxCapture boxes;
    ScriptedPeer peer;
    peer.ReadRequest().Send(Announcing(2) + "ok");
    SessionProbe probe;
    probe.session.StateChangedProc = [](CHTTPSession* s) -> gCResult {
        return s->GetState() == kSocketConnected ? kCompleted : kOk;
    };
    probe.session.FinishedProc = {
        [](CHTTPSession*, gCString, gCString, uint32_t, uint32_t, void*) -> gCResult { return kBusy; }, nullptr};
    EXPECT_TRUE(Fetch(probe, peer));
    EXPECT_EQ(probe.Body(), "ok");
    EXPECT_EQ(probe.session.GetState(), kSocketClosed);
    const std::string first = std::string(GetResultText(kCompleted)) +
                              "\nHTTP session failed state change callback - CHTTPSession::ChangeState";
    const std::string second = std::string(GetResultText(kBusy)) + "\nDownload finished callback failed.";
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text, std::wstring(first.begin(), first.end()));
    EXPECT_EQ(boxes.Boxes()[1].text, std::wstring(second.begin(), second.end()));
}

// Each change of the reply's and the socket's state reaches the trace, old -> new, in order; a
// socket state stored again (the session's own close after the socket's) is a change too.
TEST(HTTPSession, EveryStateChangeIsTracedOldToNew)
{
    static std::vector<std::string> changes;
    changes.clear();
    const StateTraceFn previous = SetStateTraceFunction([](const char* machine, const char* from, const char* to) {
        changes.push_back(std::string(machine) + ": " + from + " -> " + to);
    });
    ScriptedPeer peer;
    peer.ReadRequest().Send(Announcing(2) + "ok");
    SessionProbe probe;
    EXPECT_TRUE(Fetch(probe, peer));
    SetStateTraceFunction(previous);
    const std::vector<std::string> expected = {
        "socket: not started -> connecting",
        "socket: connecting -> connected",
        "HTTP reply: awaited -> body starting",
        "HTTP reply: body starting -> start finished",
        "HTTP reply: start finished -> finished",
        "socket: connected -> closed",
        "socket: closed -> closed",
    };
    EXPECT_EQ(changes, expected);
}

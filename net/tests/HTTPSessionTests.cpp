#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <algorithm>
#include <cstdio>

#include "BoxCapture.h"
#include "ReportError.h"

#include "LocalHttpServer.h"
#include "ScriptedPeer.h"
#include "SessionProbe.h"
#include "SocketProbe.h"
#include "TempFolder.h"

namespace {

gCResult Open(SessionProbe& probe, uint16_t port, const wchar_t* path = L"/")
{
    return probe.session.OpenURL(1, HostAndPort(port), gCString(path), gCString(L""), gCString(L""), 0);
}

const std::string kChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

} // namespace

// Every reply is answered by the scripted peer after it has read the request; the peer then closes.
TEST(HTTPSession, RepliesAndTheirEnds)
{
    const std::string half = PatternBytes(500);
    struct Case {
        const char* name;
        std::string reply;
        size_t piece;
        uint32_t readToClose;
        std::string body;
        std::string events;
        uint32_t finalState;
    } cases[] = {
        {"body in the header's read", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789", 0, 0, "0123456789",
         "finished:1:10 headers", kSocketClosed},
        {"no reason phrase", "HTTP/1.0 200\r\nContent-Length: 3\r\n\r\nabc", 0, 0, "abc", "finished:1:3 headers",
         kSocketClosed},
        {"body split anywhere", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789", 3, 0, "0123456789",
         "headers finished:1:10", kSocketClosed},
        {"no length, to the close", "HTTP/1.0 200 OK\r\n\r\nabc", 0, 0, "abc", "headers finished:1:3", kSocketClosed},
        {"chunked in one read", kChunked + "5\r\nhello\r\n0\r\n\r\n", 0, 0, "hello", "headers finished:1:5",
         kSocketClosed},
        {"chunked split anywhere",
         kChunked + "5;name=x\r\nhello\r\n1a\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\nTrailer: t\r\n\r\n", 1, 0,
         "helloabcdefghijklmnopqrstuvwxyz", "headers finished:1:31", kSocketClosed},
        {"chunked cut before its last chunk", kChunked + "5\r\nhello\r\n", 0, 0, "hello",
         "headers finished:0:5 transfer-error", kSocketClosedWithError},
        {"chunked cut, read to the close", kChunked + "5\r\nhello\r\n", 0, 1, "hello", "headers finished:0:5",
         kSocketClosed},
        {"non-ASCII header bytes", "HTTP/1.1 200 OK\r\nX-Name: caf\xe9 \x81\x82\xff\r\nContent-Length: 4\r\n\r\nBODY",
         0, 0, "BODY", "finished:1:4 headers", kSocketClosed},
        {"lower-case protocol", "http/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", 0, 0, "", "request-failed",
         kSocketConnectFailed},
        {"bare protocol", "HTTP/1.0\r\n\r\n", 0, 0, "", "request-failed", kSocketConnectFailed},
        {"404 reported once", "HTTP/1.1 404 Not Found\r\nContent-Length: 200\r\n\r\n" + PatternBytes(200), 7, 0, "",
         "request-failed", kSocketConnectFailed},
        {"cut body", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + half, 0, 0, half, "headers transfer-error",
         kSocketClosedWithError},
        {"cut body read to the close", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + half, 0, 1, half,
         "headers finished:0:500", kSocketClosed},
        {"closed without a reply", "", 0, 0, "", "", kSocketConnectFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        peer.ReadRequest();
        if (c.piece > 0)
            peer.SendInPieces(c.reply, c.piece, 2);
        else if (!c.reply.empty())
            peer.Send(c.reply);
        peer.Close();
        peer.Start();
        SessionProbe probe;
        probe.session.readToClose = c.readToClose;
        ASSERT_OK(Open(probe, peer.Port()));
        EXPECT_TRUE(probe.PollToEnd());
        EXPECT_TRUE(peer.Join());
        EXPECT_EQ(probe.EventLine(), c.events);
        EXPECT_TRUE(probe.Body() == c.body) << probe.Body().size();
        ASSERT_FALSE(probe.states.empty());
        EXPECT_EQ(probe.states.back(), c.finalState);
        EXPECT_EQ(probe.session.GetReceiveBufferSize(), 0u);
    }
}

// The size line stops mid-number, then at its CR, each time while the session reads.
TEST(HTTPSession, ChunkSizeLineCutByTheConnectionWaitsForTheRest)
{
    ScriptedPeer peer;
    peer.ReadRequest().Send(kChunked + "1").Pause(100).Send("a").Pause(100).Send("\r");
    peer.Pause(100).Send("\nabcdefghijklmnopqrstuvwxyz\r\n0\r\n\r\n").Close();
    peer.Start();
    SessionProbe probe;
    ASSERT_OK(Open(probe, peer.Port()));
    EXPECT_TRUE(probe.PollToEnd());
    EXPECT_TRUE(peer.Join());
    EXPECT_EQ(probe.EventLine(), "headers finished:1:26");
    EXPECT_EQ(probe.Body(), "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(probe.states.back(), kSocketClosed);
}

TEST(HTTPSession, RefusedPortFailsTheRequestOnce)
{
    SessionProbe probe;
    ASSERT_OK(Open(probe, ClosedPort()));
    EXPECT_TRUE(probe.PollToEnd());
    EXPECT_EQ(probe.EventLine(), "request-failed");
    EXPECT_EQ(probe.states, (std::vector<uint32_t>{kSocketConnecting, kSocketConnectFailed, kSocketConnectFailed}));
    EXPECT_EQ(probe.session.IsStopped(), 1u);
}

TEST(HTTPSession, ResetDuringTheBodyIsATransferError)
{
    ScriptedPeer peer;
    peer.ReadRequest().Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + PatternBytes(3000)).Pause(50).Reset();
    peer.Start();
    SessionProbe probe;
    ASSERT_OK(Open(probe, peer.Port()));
    EXPECT_TRUE(probe.PollToEnd());
    EXPECT_TRUE(peer.Join());
    EXPECT_EQ(probe.Count("transfer-error"), 1);
    EXPECT_EQ(probe.Count("finished"), 0);
    EXPECT_EQ(probe.states.back(), kSocketClosedWithError);
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
    peer.ReadRequest()
        .Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + PatternBytes(1000))
        .Pause(300)
        .Send(PatternBytes(3000))
        .Pause(300)
        .Close();
    peer.Start();
    ShutReadingSession session;
    int transferErrors = 0;
    session.TransferErrorProc = {[](CHTTPSession*, void* count) -> gCResult {
                                     ++*static_cast<int*>(count);
                                     return 0;
                                 },
                                 &transferErrors};
    ASSERT_OK(session.OpenURL(1, HostAndPort(peer.Port()), gCString(L"/"), gCString(L""), gCString(L""), 0));
    for (int i = 0; i < 10000 && session.GetReceived() == 0; ++i) {
        EXPECT_OK(session.Poll());
        Sleep(1);
    }
    ASSERT_EQ(session.ShutReading(), 0);
    std::vector<gCResult> failures;
    for (int i = 0; i < 3000 && session.HasSocket(); ++i) {
        gCResult r = session.Poll();
        if (r != 0)
            failures.push_back(r);
        Sleep(1);
    }
    peer.Join();
    EXPECT_EQ(session.HasSocket(), 0);
    EXPECT_EQ(failures, std::vector<gCResult>{kWouldBlock});
    EXPECT_EQ(session.GetLastError(), WSAESHUTDOWN);
    EXPECT_EQ(transferErrors, 1);
    EXPECT_EQ(session.GetState(), kSocketClosedWithError);
    EXPECT_LE(session.GetReceived(), 1000u);
}

TEST(HTTPSession, ServerThatNeverAnswersLeavesTheSessionWaiting)
{
    ScriptedPeer peer;
    peer.ReadRequest().Pause(300);
    peer.Start();
    SessionProbe probe;
    ASSERT_OK(Open(probe, peer.Port()));
    EXPECT_FALSE(probe.PollUntil([] { return false; }, 200));
    EXPECT_TRUE(probe.events.empty());
    EXPECT_EQ(probe.session.GetState(), kSocketConnected);
    EXPECT_OK(probe.session.Close());
    EXPECT_EQ(probe.states.back(), kSocketConnectFailed);
    peer.Join();
}

// Servers that break the protocol: each reply fails once, nothing grows without bound, and
// what still arrives is dropped.
TEST(HTTPSession, HostileReplies)
{
    std::string endless = "HTTP/1.1 200 OK\r\n";
    while (endless.size() < 70000)
        endless += "X-Filler: 0123456789\r\n";
    struct Case {
        const char* name;
        std::string reply;
        std::string outcome;
        uint32_t finalState;
    } cases[] = {
        {"header block that never ends", endless, "request-failed", kSocketConnectFailed},
        {"chunk size 2^31 - 2", kChunked + "7FFFFFFE\r\nabc\r\n", "transfer-error", kSocketClosedWithError},
        {"chunk size beyond any archive", kChunked + "5F5E101\r\nabc\r\n", "transfer-error", kSocketClosedWithError},
        {"chunk size of nine hex digits", kChunked + "000000001\r\na\r\n0\r\n\r\n", "finished:1:1", kSocketClosed},
        {"size line without a digit", kChunked + "zz\r\nabc\r\n", "transfer-error", kSocketClosedWithError},
        {"size line longer than 1 KB", kChunked + std::string(1100, ' '), "transfer-error", kSocketClosedWithError},
        {"chunk not followed by CR LF", kChunked + "3\r\nabcdef\r\n", "transfer-error", kSocketClosedWithError},
        {"length above 2^32 - 1", "HTTP/1.1 200 OK\r\nContent-Length: 4294968296\r\n\r\n" + PatternBytes(1000),
         "transfer-error", kSocketClosedWithError},
        {"length above the largest body", "HTTP/1.1 200 OK\r\nContent-Length: 100000001\r\n\r\n", "transfer-error",
         kSocketClosedWithError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        peer.ReadRequest().SendInPieces(c.reply, 4000, 5).Send(PatternBytes(5000)).Close();
        peer.Start();
        SessionProbe probe;
        ASSERT_OK(Open(probe, peer.Port()));
        EXPECT_TRUE(probe.PollToEnd());
        peer.Join();
        // Whether the headers were reported depends on where TCP cut the reply.
        EXPECT_EQ(probe.Count(c.outcome), 1);
        EXPECT_EQ(probe.events.size() - static_cast<size_t>(probe.Count("headers")), 1u);
        EXPECT_EQ(probe.states.back(), c.finalState);
        EXPECT_EQ(probe.session.GetReceiveBufferSize(), 0u);
        EXPECT_LE(probe.session.GetBody().GetLength(), 1);
    }
}

namespace {

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

// A plain body kept in memory is read straight into one block of the announced size, in
// reads as large as what waits; the data callback still sees pieces of at most 64,000 bytes.
TEST(HTTPSession, BodyInMemoryArrivesWholeAndIsWatchedInPieces)
{
    const struct {
        const char* what;
        bool announced;
        size_t length; // announced
        size_t sent;
        uint32_t readToClose;
    } cases[] = {
        {"one byte", true, 1, 1, 0},
        {"one piece", true, 64000, 64000, 0},
        {"one piece and a byte", true, 64001, 64001, 0},
        {"beyond one large read", true, 1094000, 1094000, 0},
        {"more than announced, to the close", true, 100000, 150000, 1},
        {"no length, to the close", false, 0, 200001, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string head = c.announced
                                     ? "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(c.length) + "\r\n\r\n"
                                     : std::string("HTTP/1.0 200 OK\r\n\r\n");
        const std::string body = PatternBytes(c.sent);
        ScriptedPeer peer;
        peer.ReadRequest().Send(head + body).Close();
        peer.Start();
        SessionProbe probe;
        probe.session.readToClose = c.readToClose;
        Watched watched;
        gWatched = &watched;
        probe.session.DataProc = Watch;
        ASSERT_OK(Open(probe, peer.Port()));
        EXPECT_TRUE(probe.PollToEnd());
        EXPECT_TRUE(peer.Join());
        gWatched = nullptr;
        EXPECT_TRUE(probe.Body() == body) << probe.Body().size();
        EXPECT_TRUE(watched.bytes == head + body) << watched.bytes.size();
        EXPECT_LE(watched.largest, kReadPiece);
        EXPECT_TRUE(watched.zerosAfterEach);
        EXPECT_EQ(probe.states.back(), kSocketClosed);
        if (c.announced && c.sent == c.length) {
            EXPECT_EQ(probe.session.GetBody().GetCapacity(), std::max<int64_t>(c.length, 2048));
        }
    }
}

// A real server: a megabyte byte for byte, a reply with headers only, and a refusal.
TEST(HTTPSession, PythonServer)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.Start()) << server.Error();
    const struct {
        const wchar_t* path;
        std::string events;
        std::string body;
        const wchar_t* type;
        uint32_t finalState;
    } cases[] = {
        {L"/bytes/1048576", "finished:1:1048576", PatternBytes(1 << 20), L"application/octet-stream", kSocketClosed},
        {L"/headers", "finished:1:12", "headers only", L"text/plain", kSocketClosed},
        {L"/missing", "request-failed", "", nullptr, kSocketConnectFailed},
    };
    for (const auto& c : cases) {
        SessionProbe probe;
        ASSERT_OK(Open(probe, server.Port(), c.path));
        EXPECT_TRUE(probe.PollToEnd());
        EXPECT_EQ(probe.EventLine(false), c.events);
        EXPECT_EQ(probe.Count("headers"), c.type ? 1 : 0);
        EXPECT_TRUE(probe.Body() == c.body) << probe.Body().size();
        if (c.type) {
            EXPECT_STREQ(probe.session.GetContentType().Text(), c.type);
            EXPECT_EQ(probe.perMille.back(), 1000u);
        }
        EXPECT_EQ(std::count(probe.states.begin(), probe.states.end(), kSocketClosedWithError), c.type ? 0 : 1);
        EXPECT_EQ(probe.states.back(), c.finalState);
    }
}

TEST(HTTPSession, BodyGoesToTheNamedFileInTheFolder)
{
    TempFolder scratch;
    const std::wstring folder = scratch.Path().substr(0, scratch.Path().size() - 1);
    const std::string body = PatternBytes(200000);
    ScriptedPeer peer;
    peer.ReadRequest().Send("HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n" + body).Close();
    peer.Start();
    {
        SessionProbe probe;
        // The ':' of the given name cannot reach the file system.
        ASSERT_OK(probe.session.OpenURL(1, HostAndPort(peer.Port()), gCString(L"/f"), gCString(folder.c_str()),
                                        gCString(L"a:b.bin"), 0));
        EXPECT_TRUE(probe.PollToEnd());
        EXPECT_EQ(probe.EventLine(), "headers finished:1:200000");
        EXPECT_EQ(probe.session.GetBody().GetLength(), 0);
    }
    peer.Join();
    EXPECT_TRUE(ReadWholeFile(scratch.File(L"a_b.bin")) == Ansi(body));
}

TEST(HTTPSession, OwnerCanSupplyTheOutputStreamAndContinueIt)
{
    ScriptedPeer peer;
    peer.ReadRequest().Send("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 4-9/10\r\n\r\n456789").Close();
    peer.Start();
    SessionProbe probe;
    gCMemFile* kept = new gCMemFile;
    EXPECT_OK(kept->WriteBytes("0123", 4));
    static gCMemFile* sSupplied = nullptr;
    sSupplied = kept;
    probe.session.OpenOutputProc = {
        [](CHTTPSession*, gCString, gCString&, uint64_t total, gCStream*& output, void*) -> gCResult {
            output = sSupplied;
            return total == 10 ? kOk : kBadParameter;
        },
        nullptr};
    std::string written;
    static std::string* sWritten = nullptr;
    sWritten = &written;
    // The session deletes the stream when the body ends; keep what it held.
    probe.session.FinishedProc = {
        [](CHTTPSession*, gCString, gCString, uint32_t complete, uint32_t received, void*) -> gCResult {
            *sWritten = std::to_string(complete) + ":" + std::to_string(received);
            return 0;
        },
        nullptr};
    ASSERT_OK(
        probe.session.OpenURL(1, HostAndPort(peer.Port()), gCString(L"/f"), gCString(L"C:"), gCString(L"part.bin"), 0));
    EXPECT_TRUE(probe.PollToEnd());
    peer.Join();
    EXPECT_EQ(written, "1:10");
    EXPECT_EQ(probe.session.GetRangeFirst(), 4u);
    EXPECT_EQ(probe.session.GetRangeLast(), 9u);
}

TEST(HTTPSession, FailingOwnerCallbacksAreReportedAndChangeNothing)
{
    BoxCapture boxes;
    ScriptedPeer peer;
    peer.ReadRequest().Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok").Close();
    peer.Start();
    SessionProbe probe;
    probe.session.StateChangedProc = [](CHTTPSession* s) -> gCResult {
        return s->GetState() == kSocketConnected ? kCompleted : kOk;
    };
    probe.session.FinishedProc = {
        [](CHTTPSession*, gCString, gCString, uint32_t, uint32_t, void*) -> gCResult { return kBusy; }, nullptr};
    ASSERT_OK(Open(probe, peer.Port()));
    EXPECT_TRUE(probe.PollToEnd());
    peer.Join();
    EXPECT_EQ(probe.Body(), "ok");
    EXPECT_EQ(probe.session.GetState(), kSocketClosed);
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    const std::string stateDetail = "\nHTTP session failed state change callback - CHTTPSession::ChangeState";
    const std::string finishedDetail = "\nDownload finished callback failed.";
    const std::string first = GetResultText(kCompleted) + stateDetail;
    const std::string second = GetResultText(kBusy) + finishedDetail;
    EXPECT_EQ(boxes.Boxes()[0].text, std::wstring(first.begin(), first.end()));
    EXPECT_EQ(boxes.Boxes()[1].text, std::wstring(second.begin(), second.end()));
}

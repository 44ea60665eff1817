#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstring>

#include "CHTTPSession.h"
#include "Loopback.h"
#include "ScriptedPeer.h"
#include "SessionProbe.h"
#include "SocketProbe.h"
#include "TempFolder.h"
#include "gCFile.h"

namespace {

// A listening session of the test's own that serves the files of a temporary folder, and an
// in-memory page for the empty path, with two headers of its own. It records what its callbacks saw.
class TestServer {
public:
    TestServer()
    {
        EnsureWinSockForTests();
        gCurrent = this;
        listening.ServerFileProc = {ServeFile, this};
        listening.ServerBodyProc = {ServePage, this};
        listening.ProgressProc = {[](CHTTPSession*, uint32_t perMille, void* c) -> gCResult {
                                      static_cast<TestServer*>(c)->perMille.push_back(perMille);
                                      return 0;
                                  },
                                  this};
        listening.NewConnectionProc = [](CHTTPSession*, CHTTPSession* created) -> gCResult {
            created->ServerHeadersProc = {AddOwnHeaders, nullptr};
            return gCurrent->newConnectionResult;
        };
        listening.ServerRequestProc = {[](gCString&, CHTTPSession*, uint32_t& handled, void* c) -> gCResult {
                                           handled = static_cast<TestServer*>(c)->handleRequests;
                                           return 0;
                                       },
                                       this};
        started = listening.AcceptOn(ListenOnLoopback(port));
    }
    ~TestServer()
    {
        (void)listening.Close(); // the listening handle only; accepted sessions go with the session
        gCurrent = nullptr;
    }

    void Put(const wchar_t* name, const std::string& bytes)
    {
        ASSERT_TRUE(WriteWholeFile(folder.File(name), Bytes(bytes.begin(), bytes.end())));
    }

    TempFolder folder;
    CHTTPSession listening;
    uint16_t port = 0;
    gCResult started = kGenericFailure;
    std::vector<std::wstring> paths;
    std::vector<std::wstring> userAgents;
    std::vector<uint32_t> perMille;
    gCResult newConnectionResult = 0;
    uint32_t handleRequests = 0;

private:
    static gCResult ServeFile(gCString path, void* context, CHTTPSession* session, gCStream*& stream, uint32_t& text,
                              uint32_t& refuse, gCString&)
    {
        (void)text;
        TestServer* server = static_cast<TestServer*>(context);
        server->paths.push_back(path.Text());
        server->userAgents.push_back(session->userAgent.Text());
        if (path.IsEmpty())
            return kOk;
        gCFile* file = new gCFile(kAccessRead);
        if (file->OpenFullPath(server->folder.File(path.Text()), kAccessRead) != 0) {
            delete file;
            refuse = 1;
            return kOk;
        }
        stream = file;
        return kOk;
    }

    static gCResult ServePage(gCMemFile& body, uint32_t&, void*) { return body.WriteBytes("<html>home</html>", 17); }

    static gCResult AddOwnHeaders(gCStringArray& names, gCStringArray& values, void*)
    {
        QV_RETURN_IF_FAILED(names.Add(gCString(L"X-Served-By:")));
        QV_RETURN_IF_FAILED(values.Add(gCString(L"test")));
        QV_RETURN_IF_FAILED(names.Add(gCString(L"X-Empty:")));
        return values.Add(gCString(L""));
    }

    static TestServer* gCurrent;
};

TestServer* TestServer::gCurrent = nullptr;

// A raw client: sends the request in the given pieces, a pause between them, and returns every
// byte that came back before the server closed. ok is false when the time ran out.
std::string Exchange(TestServer& server, const std::vector<std::string>& pieces, bool& ok, int pauseMs = 0)
{
    SocketProbe client;
    ok = client.socket.Create(0) == 0 && client.socket.Connect(LoopbackAddress(), server.port) == 0;
    size_t next = 0;
    DWORD lastPiece = GetTickCount();
    ok = ok && client.PollUntil([&] {
        EXPECT_OK(server.listening.Poll());
        const bool due = GetTickCount() - lastPiece >= static_cast<DWORD>(pauseMs);
        if (client.socket.IsWritable() && client.outgoing.Count() == 0 && next < pieces.size() && due) {
            const std::string& piece = pieces[next++];
            if (client.outgoing.Resize(static_cast<int32_t>(piece.size())) == 0)
                std::memcpy(client.outgoing.Data(), piece.data(), piece.size());
            lastPiece = GetTickCount();
        }
        return next == pieces.size() && !client.socket.HasSocket();
    });
    return client.received;
}

std::string Headers(const char* type, size_t length, const std::string& range = "")
{
    std::string block = "HTTP 200 OK\r\nServer: Vantor HTTP\r\nContent-type: ";
    block += type;
    block += "\r\nContent-length: " + std::to_string(length) + "\r\n";
    if (!range.empty())
        block += "CONTENT-RANGE: " + range + "\r\n";
    return block + "X-Served-By: test\r\nX-Empty:\r\n\r\n";
}

std::string* gRawReply = nullptr;

} // namespace

// The project's own client asks; the reply's bytes are compared whole, and the server's
// progress shows the content left in pieces of 64,000 bytes (one per completed send).
TEST(HTTPServer, AnswersTheClientWithExactHeadersThenTheContentInPieces)
{
    TestServer server;
    ASSERT_OK(server.started);
    const std::string content = PatternBytes(150000);
    server.Put(L"data.bin", content);
    SessionProbe client;
    std::string raw;
    gRawReply = &raw;
    client.session.DataProc = [](CHTTPSession*, CMemBlockT<char>& block, uint32_t count) -> gCResult {
        gRawReply->append(block.Data(), count);
        return 0;
    };
    ASSERT_OK(
        client.session.OpenURL(1, HostAndPort(server.port), gCString(L"/data.bin"), gCString(L""), gCString(L""), 0));
    EXPECT_TRUE(client.PollUntil([&] {
        EXPECT_OK(server.listening.Poll());
        return !client.session.HasSocket() && server.listening.GetAcceptedCount() == 0;
    }));
    gRawReply = nullptr;
    EXPECT_EQ(raw, Headers("application/binary", content.size()) + content);
    EXPECT_EQ(client.EventLine(), "headers finished:1:150000");
    EXPECT_EQ(server.perMille, (std::vector<uint32_t>{426, 853, 1000}));
}

// The last position is inclusive and clamped to the content; exactly the announced bytes follow.
TEST(HTTPServer, RangesAreClampedAndSendExactlyTheAnnouncedBytes)
{
    struct Case {
        const char* range;
        size_t first;
        size_t count;
        const char* contentRange; // empty: the whole content, no range line
    };
    const Case cases[] = {
        {"bytes=100-", 100, 900, "bytes 100-999/1000"},
        {"bytes=5-5", 5, 1, "bytes 5-5/1000"},
        {"bytes=990-5000", 990, 10, "bytes 990-999/1000"},
        {"bytes=1000-", 0, 0, "bytes */1000"},
        {"bytes=4294967396-", 0, 0, "bytes */1000"},
        {"bytes=0-4000", 0, 1000, ""},
        {"bytes=7-3", 0, 1000, ""},
        {"items=5-6", 0, 1000, ""},
    };
    const std::string content = PatternBytes(1000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.range);
        TestServer server;
        ASSERT_OK(server.started);
        server.Put(L"data.bin", content);
        bool ok = false;
        const std::string reply =
            Exchange(server, {std::string("GET /data.bin HTTP/1.1\r\nRange: ") + c.range + "\r\n\r\n"}, ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(reply, Headers("application/binary", c.count, c.contentRange) + content.substr(c.first, c.count));
    }
}

TEST(HTTPServer, PercentEscapesDecodeOnce)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* decoded;
    };
    const Case cases[] = {
        {L"docs%2Fa.txt", L"docs/a.txt"},
        {L"%4a%4A", L"JJ"},
        {L"%252e%252e", L"%2e%2e"},
        {L"a%20b%", L"a b%"},
        {L"%zz%41", L"%zzA"},
        {L"%%41", L"%A"},
    };
    for (const Case& c : cases) {
        gCString text(c.text);
        EXPECT_OK(UnescapeURLText(text));
        EXPECT_STREQ(text.Text(), c.decoded) << "from " << testing::PrintToString(std::wstring(c.text));
    }
}

// Raw requests, whole or in pieces: each is answered once its header block is whole, or the
// connection is closed with not one byte sent back. The owner is asked for the path decoded once.
TEST(HTTPServer, RequestsAndTheirReplies)
{
    const std::string capHead = "GET /a.txt HTTP/1.0\r\nX-Fill: ";
    const std::string get = "GET /a.txt HTTP/1.0\r\n\r\n";
    const std::string ownerPage = Headers("text/html", 17) + "<html>home</html>";
    const std::string alpha = Headers("text/html", 5) + "alpha";
    struct Case {
        std::vector<std::string> pieces;
        std::string reply;
        std::vector<std::wstring> paths; // what the owner was asked for
        std::wstring agent = L"";        // compared when given
        gCResult newConnection = 0;      // what the owner answers to the new connection
        uint32_t handled = 0;            // whether the owner takes the request itself
    };
    const Case cases[] = {
        {{"GET / HTTP/1.0\r\nUser-Agent: probe 1\r\n\r\n"}, ownerPage, {L""}, L"probe 1"},
        {{"GE", "T /a.txt HT", "TP/1.0\r\nUser-Agent: sp", "lit\r\n\r", "\n"}, alpha, {L"a.txt"}, L"split"},
        {{capHead + std::string(65536 - capHead.size() - 4, 'x') + "\r\n\r\n"}, alpha, {L"a.txt"}},
        {{"GET /%252e%252e/x.bin HTTP/1.0\r\n\r\n"}, "", {L"%2e%2e/x.bin"}},
        {{"POST /a.txt HTTP/1.0\r\n\r\n"}, "", {}},
        // A header block that has not ended at 65,536 bytes never will.
        {{"GET /" + std::string(65536 - 5, 'a')}, "", {}},
        {{get}, "", {}, L"", kBusy},
        {{get}, "", {}, L"", 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pieces[0].substr(0, 40));
        TestServer server;
        ASSERT_OK(server.started);
        server.Put(L"a.txt", "alpha");
        server.newConnectionResult = c.newConnection;
        server.handleRequests = c.handled;
        bool ok = false;
        EXPECT_EQ(Exchange(server, c.pieces, ok, 40), c.reply);
        EXPECT_TRUE(ok);
        EXPECT_EQ(server.paths, c.paths);
        if (!c.agent.empty()) {
            EXPECT_EQ(server.userAgents, std::vector<std::wstring>{c.agent});
        }
        EXPECT_EQ(server.listening.GetAcceptedCount(), 0);
    }
}

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstring>

#include "CHTTPSession.h"
#include "Expect.h"
#include "FailingAllocator.h"
#include "Loopback.h"
#include "ScriptedPeer.h"
#include "SocketProbe.h"
#include "TempFolder.h"
#include "gCFile.h"

namespace {

// A listening session of the test's own that serves the files of a temporary folder, and an
// in-memory page for the empty path, with two headers of its own. It records what it was
// asked for, and by whom.
class TestServer {
public:
    TestServer()
    {
        EnsureWinSockForTests();
        gCurrent = this;
        listening.ServerFileProc = {ServeFile, this};
        listening.ServerBodyProc = {ServePage, this};
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
    std::vector<std::wstring> asked;
    gCResult newConnectionResult = 0;
    uint32_t handleRequests = 0;

private:
    static gCResult ServeFile(gCString path, void* context, CHTTPSession* session, gCStream*& stream, uint32_t&,
                              uint32_t& refuse, gCString&)
    {
        TestServer* server = static_cast<TestServer*>(context);
        const std::wstring agent = session->userAgent.Text();
        server->asked.push_back(path.Text() + (agent.empty() ? L"" : L" by " + agent));
        if (path.IsEmpty())
            return kOk;
        gCFile* file = new gCFile(kAccessRead);
        if (file->OpenFullPath(server->folder.File(path.Text()), kAccessRead) != kOk) {
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
std::string Exchange(TestServer& server, const std::vector<std::string>& pieces, bool& ok)
{
    SocketProbe client;
    ok = client.socket.Create(0) == kOk && client.socket.Connect(LoopbackAddress(), server.port) == kOk;
    size_t next = 0;
    DWORD lastPiece = GetTickCount();
    ok = ok && client.PollUntil([&] {
        EXPECT_OK(server.listening.Poll());
        const bool due = GetTickCount() - lastPiece >= 40;
        if (client.socket.IsWritable() && client.outgoing.Count() == 0 && next < pieces.size() && due) {
            const std::string& piece = pieces[next++];
            if (client.outgoing.Resize(static_cast<int32_t>(piece.size())) == kOk)
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

std::vector<std::string> Get(const std::string& path, const std::string& range = "")
{
    return {"GET /" + path + " HTTP/1.0\r\n" + (range.empty() ? "" : "Range: " + range + "\r\n") + "\r\n"};
}

} // namespace

// Raw requests, whole or in pieces: each is answered once its header block is whole, or the
// connection is closed with not one byte sent back. The owner is asked for the path decoded
// once. A range's last position is inclusive and clamped to the content; exactly the announced
// bytes follow, a large file in several pieces.
TEST(HTTPServer, RequestsAndTheirReplies)
{
    const std::string capHead = "GET /a.txt HTTP/1.0\r\nX-Fill: ";
    const std::string alpha = Headers("text/html", 5) + "alpha";
    const std::string data = PatternBytes(150000);
    const auto part = [&](size_t first, size_t count, const std::string& contentRange) {
        return Headers("application/binary", count, contentRange) + data.substr(first, count);
    };
    struct Case {
        std::vector<std::string> pieces;
        std::string reply;
        const wchar_t* asked;       // what the owner was asked for; nullptr: nothing
        gCResult newConnection = 0; // what the owner answers to the new connection
        uint32_t handled = 0;       // whether the owner takes the request itself
    };
    const Case cases[] = {
        {{"GET / HTTP/1.0\r\nUser-Agent: probe 1\r\n\r\n"},
         Headers("text/html", 17) + "<html>home</html>",
         L" by probe 1"},
        {{"GE", "T /a.txt HT", "TP/1.0\r\nUser-Agent: sp", "lit\r\n\r", "\n"}, alpha, L"a.txt by split"},
        {{capHead + std::string(65536 - capHead.size() - 4, 'x') + "\r\n\r\n"}, alpha, L"a.txt"},
        {Get("data.bin"), part(0, 150000, ""), L"data.bin"},
        {Get("data.bin", "bytes=100-"), part(100, 149900, "bytes 100-149999/150000"), L"data.bin"},
        {Get("data.bin", "bytes=5-5"), part(5, 1, "bytes 5-5/150000"), L"data.bin"},
        {Get("data.bin", "bytes=149990-999999"), part(149990, 10, "bytes 149990-149999/150000"), L"data.bin"},
        {Get("data.bin", "bytes=150000-"), part(0, 0, "bytes */150000"), L"data.bin"},
        {Get("data.bin", "bytes=4294967396-"), part(0, 0, "bytes */150000"), L"data.bin"},
        {Get("data.bin", "bytes=7-3"), part(0, 150000, ""), L"data.bin"},
        {Get("data.bin", "items=5-6"), part(0, 150000, ""), L"data.bin"},
        {Get("docs%2Fa.txt"), "", L"docs/a.txt"},
        {Get("%4a%4A"), "", L"JJ"},
        {Get("%252e%252e"), "", L"%2e%2e"},
        {Get("a%20b%"), "", L"a b%"},
        {Get("%zz%41"), "", L"%zzA"},
        {Get("%%41"), "", L"%A"},
        {{"POST /a.txt HTTP/1.0\r\n\r\n"}, "", nullptr},
        // A header block that has not ended at 65,536 bytes never will.
        {{"GET /" + std::string(65536 - 5, 'a')}, "", nullptr},
        {Get("a.txt"), "", nullptr, kBusy},
        {Get("a.txt"), "", nullptr, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pieces[0].substr(0, 40));
        TestServer server;
        ASSERT_OK(server.started);
        server.Put(L"a.txt", "alpha");
        server.Put(L"data.bin", data);
        server.newConnectionResult = c.newConnection;
        server.handleRequests = c.handled;
        bool ok = false;
        EXPECT_TRUE(Exchange(server, c.pieces, ok) == c.reply);
        EXPECT_TRUE(ok);
        EXPECT_EQ(server.asked, c.asked ? std::vector<std::wstring>{c.asked} : std::vector<std::wstring>{});
        EXPECT_EQ(server.listening.GetAcceptedCount(), 0);
    }
}

// Short of memory at any one allocation, a reply's header lines are whole or not there: never
// a name without its number, nor a range without its start.
TEST(HTTPServer, ReplyHeadersShortOfMemoryAreWholeOrNotThere)
{
    const wchar_t* const whole = L"HTTP 200 OK\r\nServer: Vantor HTTP\r\nContent-type: application/binary\r\n"
                                 L"Content-length: 10\r\nCONTENT-RANGE: bytes 90-99/100\r\n\r\n";
    int failed = 0;
    for (int n = 0;; ++n) {
        CHTTPSession session;
        gCStringArray names, values;
        gCString text(L"");
        gCResult result = kOk;
        bool reached = false;
        {
            FailingAllocator allocator(n, FailingAllocator::kOnlyThis);
            result = session.BuildReplyHeaders(names, values, 0, 100, 90, 100);
            if (result == kOk)
                result = CHTTPSession::JoinHeaderLines(names, values, text);
            reached = allocator.Calls() > n;
        }
        if (!reached) {
            EXPECT_OK(result);
            EXPECT_EQ(W(text), whole);
            break;
        }
        failed += result == kOutOfMemory ? 1 : 0;
        EXPECT_TRUE(result == kOutOfMemory ? W(text).empty() : result == kOk && W(text) == whole)
            << n << ": " << W(text);
    }
    EXPECT_GT(failed, 10);
}

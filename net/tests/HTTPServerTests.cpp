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
// in-memory page for the empty path. It records what its callbacks saw.
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
            ++gCurrent->connections;
            created->DataProc = [](CHTTPSession*, CMemBlockT<char>&, uint32_t count) -> gCResult {
                if (count > 0)
                    ++gCurrent->reads;
                return 0;
            };
            if (!gCurrent->extraHeaders.empty())
                created->ServerHeadersProc = {AddExtraHeaders, gCurrent};
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
    std::string page = "<html>home</html>";
    std::vector<std::pair<std::wstring, std::wstring>> extraHeaders;
    std::vector<std::wstring> paths;
    std::vector<std::wstring> userAgents;
    std::vector<uint32_t> perMille;
    gCResult newConnectionResult = 0;
    uint32_t handleRequests = 0;
    int connections = 0;
    int reads = 0;

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
        gCString name(path.Text());
        name.ReplaceChar(L'/', L'\\');
        gCFile* file = new gCFile(kAccessRead);
        if (file->OpenFullPath(server->folder.File(name.Text()), kAccessRead) != 0) {
            delete file;
            refuse = 1;
            return kOk;
        }
        stream = file;
        return kOk;
    }

    static gCResult ServePage(gCMemFile& body, uint32_t&, void* context)
    {
        const std::string& page = static_cast<TestServer*>(context)->page;
        return body.WriteBytes(page.data(), static_cast<uint32_t>(page.size()));
    }

    static gCResult AddExtraHeaders(gCStringArray& names, gCStringArray& values, void* context)
    {
        for (const auto& pair : static_cast<TestServer*>(context)->extraHeaders) {
            QV_RETURN_IF_FAILED(names.Add(gCString(pair.first.c_str())));
            QV_RETURN_IF_FAILED(values.Add(gCString(pair.second.c_str())));
        }
        return kOk;
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
    return block + "\r\n";
}

std::string* gRawReply = nullptr;

} // namespace

// The project's own client asks; the reply's bytes are compared whole, and the server's
// progress shows the content left in pieces of 64,000 bytes (one per completed send).
TEST(HTTPServer, AnswersTheClientWithExactHeadersThenTheContentInPieces)
{
    struct Case {
        const wchar_t* file;
        const wchar_t* path;
        size_t size;
        const char* type;
        std::vector<uint32_t> perMille;
    };
    const Case cases[] = {
        {L"notes.txt", L"/notes.txt", 150000, "text/html", {426, 853, 1000}},
        {L"data.bin", L"/data.bin", 150000, "application/binary", {426, 853, 1000}},
        {L"index.HTM", L"/index.HTM", 64000, "text/html", {1000}},
        {L"tiny", L"/tiny", 10, "application/binary", {1000}},
        {L"empty.txt", L"/empty.txt", 0, "text/html", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.path);
        TestServer server;
        ASSERT_OK(server.started);
        const std::string content = PatternBytes(c.size);
        server.Put(c.file, content);

        SessionProbe client;
        std::string raw;
        gRawReply = &raw;
        client.session.DataProc = [](CHTTPSession*, CMemBlockT<char>& block, uint32_t count) -> gCResult {
            gRawReply->append(block.Data(), count);
            return 0;
        };
        ASSERT_OK(
            client.session.OpenURL(1, HostAndPort(server.port), gCString(c.path), gCString(L""), gCString(L""), 0));
        EXPECT_TRUE(client.PollUntil([&] {
            EXPECT_OK(server.listening.Poll());
            return !client.session.HasSocket() && server.listening.GetAcceptedCount() == 0;
        }));
        gRawReply = nullptr;

        EXPECT_EQ(raw, Headers(c.type, c.size) + content);
        EXPECT_EQ(client.Body(), content);
        ASSERT_FALSE(client.states.empty());
        EXPECT_EQ(client.states.back(), kSocketClosed);
        EXPECT_EQ(server.perMille, c.perMille);
        EXPECT_EQ(server.connections, 1);
    }
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
        {"bytes=0-99", 0, 100, "bytes 0-99/1000"},
        {"bytes=5-5", 5, 1, "bytes 5-5/1000"},
        {"bytes=990-5000", 990, 10, "bytes 990-999/1000"},
        {"bytes=999-", 999, 1, "bytes 999-999/1000"},
        {"bytes=1000-", 0, 0, "bytes */1000"},
        {"bytes=4294967396-", 0, 0, "bytes */1000"},
        {"bytes=99999999999999999999999-", 0, 0, "bytes */1000"},
        {"BYTES=0-", 0, 1000, ""},
        {"bytes=0-999", 0, 1000, ""},
        {"bytes=0-4000", 0, 1000, ""},
        {"bytes=7-3", 0, 1000, ""},
        {"items=5-6", 0, 1000, ""},
        {"bytes", 0, 1000, ""},
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
        {L"%2541", L"%41"},
        {L"%25%25", L"%%"},
        {L"a%20b%", L"a b%"},
        {L"%4", L"%4"},
        {L"%zz%41", L"%zzA"},
        {L"%%41", L"%A"},
        {L"no escapes", L"no escapes"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        gCString text(c.text);
        EXPECT_OK(UnescapeURLText(text));
        EXPECT_STREQ(text.Text(), c.decoded) << "from " << testing::PrintToString(std::wstring(c.text));
    }
}

TEST(HTTPServer, TextContentIsKnownByTheNameAlone)
{
    struct Case {
        const wchar_t* path;
        uint32_t text;
    };
    const Case cases[] = {
        {L"", 1},           {L"index.HTM", 1},   {L"a.html", 1},
        {L"notes.Txt", 1},  {L"archive.bin", 0}, {L"noextension", 0},
        {L"ends.", 0},      {L"a.txt.bin", 0},   {L"dir.txt/file", 0},
        {L"page.htmlx", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsTextFileName(gCString(c.path)), c.text) << testing::PrintToString(std::wstring(c.path));
}

// Raw requests, whole or in pieces: each is answered once its header block is whole, or the
// connection is closed with not one byte sent back. The owner is asked for the path decoded once.
TEST(HTTPServer, RequestsAndTheirReplies)
{
    const std::string capHead = "GET /a.txt HTTP/1.0\r\nX-Fill: ";
    const std::string get = "GET /a.txt HTTP/1.0\r\n\r\n";
    const std::string ownerPage = "HTTP 200 OK\r\nServer: Vantor HTTP\r\nContent-type: text/html\r\n"
                                  "Content-length: 17\r\nX-Served-By: test\r\nX-Empty:\r\n\r\n<html>home</html>";
    const std::vector<std::pair<std::wstring, std::wstring>> extra = {{L"X-Served-By:", L"test"}, {L"X-Empty:", L""}};
    typedef std::vector<std::wstring> Names;
    struct Case {
        std::vector<std::string> pieces;
        std::string reply;
        Names paths;
        Names agents;           // compared when given
        gCResult newConnection; // what the owner answers to the new connection
        uint32_t handled;       // whether the owner takes the request itself
        bool extraHeaders;
    };
    const Case cases[] = {
        {{"GET / HTTP/1.0\r\nUser-Agent: probe 1\r\n\r\n"}, ownerPage, {L""}, {L"probe 1"}, 0, 0, true},
        {{"GE", "T /notes.txt HT", "TP/1.0\r\nUser-Agent: sp", "lit\r\n\r", "\n"},
         Headers("text/html", 10) + "some notes",
         {L"notes.txt"},
         {L"split"},
         0,
         0,
         false},
        {{capHead + std::string(65536 - capHead.size() - 4, 'x') + "\r\n\r\n"},
         Headers("text/html", 5) + "alpha",
         {L"a.txt"},
         {},
         0,
         0,
         false},
        {{"GET /docs%2Fa.txt HTTP/1.0\r\n\r\n"}, Headers("text/html", 5) + "alpha", {L"docs/a.txt"}, {}, 0, 0, false},
        {{"GET /%252e%252e/x.bin HTTP/1.0\r\n\r\n"}, "", {L"%2e%2e/x.bin"}, {}, 0, 0, false},
        {{"GET /missing.txt HTTP/1.0\r\n\r\n"}, "", {L"missing.txt"}, {}, 0, 0, false},
        {{"POST /a.txt HTTP/1.0\r\n\r\n"}, "", {}, {}, 0, 0, false},
        {{"get /a.txt HTTP/1.0\r\n\r\n"}, "", {}, {}, 0, 0, false},
        {{"GET HTTP/1.0\r\n\r\n"}, "", {}, {}, 0, 0, false},
        {{"GET /a.txt HTTP/1.0\n\n"}, "", {}, {}, 0, 0, false},
        // A header block that has not ended at 65,536 bytes never will.
        {{"GET /" + std::string(65536 - 5, 'a')}, "", {}, {}, 0, 0, false},
        {{get}, "", {}, {}, kBusy, 0, false},
        {{get}, "", {}, {}, 0, 1, false},
    };
    for (const Case& c : cases) {
        const std::string request = c.pieces[0] + (c.pieces.size() > 1 ? c.pieces[1] : "");
        SCOPED_TRACE(request.substr(0, 40));
        TestServer server;
        ASSERT_OK(server.started);
        server.Put(L"a.txt", "alpha");
        server.Put(L"notes.txt", "some notes");
        CreateDirectoryW(server.folder.File(L"docs").Text(), nullptr);
        server.Put(L"docs\\a.txt", "alpha");
        server.newConnectionResult = c.newConnection;
        server.handleRequests = c.handled;
        if (c.extraHeaders)
            server.extraHeaders = extra;
        bool ok = false;
        EXPECT_EQ(Exchange(server, c.pieces, ok, 40), c.reply);
        EXPECT_TRUE(ok);
        EXPECT_EQ(server.paths, c.paths);
        if (!c.agents.empty()) {
            EXPECT_EQ(server.userAgents, c.agents);
        }
        if (c.pieces.size() > 1) {
            EXPECT_GE(server.reads, 3);
        }
        EXPECT_EQ(server.listening.GetAcceptedCount(), 0);
    }
}

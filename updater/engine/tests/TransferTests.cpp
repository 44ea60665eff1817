// The transfer manager and the update session against real peers on 127.0.0.1:
// the project's update server and the scripted peer. Each case checks the
// status lines and messages of a whole transfer in order; then the life of
// sessions and of the delivered file across requests and the manager's end.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <winsock2.h>

#include "Expect.h"
#include "FakeContent.h"
#include "Loopback.h"
#include "ScriptedPeer.h"
#include "TransferFixture.h"
#include "HostServer.h"

namespace {

typedef std::vector<std::string> Lines;

const std::string kLookingUp = "black:Looking up server...";
const std::string kFound = "black:Server location found, now attempting to contact server.";
const std::string kConnectFailed = "red:Found the location of the download server, but couldn't connect to "
                                   "it. "
                                   "Please check your Internet connection, or try again later!";
const std::string kFailed = "app:0001:2:0";
const Lines kNoReply = {kLookingUp, "app:000E", kFound, kFailed, kConnectFailed};
const Lines kUpToReply = {kLookingUp, "app:000E", kFound,
                          "black:Received response from server, download is ready to begin."};
const Lines kBroken = {"app:0010", "red:-- An error occurred during the download: --",
                       "lightred:\"Connection failed during download.\"", "end-red:Download Failed!", "app:000B"};
const Lines kFile = {"app:000F", "black:Update file received OK.", "app:0007"};

Lines Join(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Lines StartError(const std::string& reason, const std::string& typeWords)
{
    return {"app:0010", "red:-- An error occurred when trying to start the download: --", "red:" + reason,
            "end-red:Download couldn't be started!", "app:000A:" + typeWords};
}

Lines Green(const std::string& reason)
{
    return {"app:0010", "view:0013", "green:" + reason, "app:000A:2:0"};
}

struct ServerCase {
    const char* name;
    const wchar_t* options;
    Lines expected;
};

class ServerReplies : public ::testing::TestWithParam<ServerCase> {};

TEST_P(ServerReplies, GiveTheLinesAndMessagesInOrder)
{
    UpdateServer server;
    ASSERT_TRUE(server.Start(GetParam().options)) << server.Error();
    TransferFixture t;
    t.manager->SetIdleTimeout(1000);
    ASSERT_OK(t.Request(server.Host()));
    t.RunUntilSteps(GetParam().expected.size());
    EXPECT_EQ(t.targets.Steps(), GetParam().expected);
}

const ServerCase kServerCases[] = {
    {"File", L"--mode file --size 5000", Join({kUpToReply, kFile})},
    {"FileAfterUpdaterSend", L"--mode file --size 5000 --updater-send",
     Join({kUpToReply, {"app:000D", "app:000F", "black:Update file received OK.", "app:0008"}})},
    {"AnswerOfType2", L"--mode uptodate", Join({kUpToReply, Green("Your product is up to date.")})},
    {"AnswerOfType1", L"--mode type1 --fail-reason Manual --location http://127.0.0.1/get",
     Join({kUpToReply, StartError("Manual", "1:0")})},
    {"NoAnswerHeaders", L"--mode page --no-fail-headers",
     Join({kUpToReply, StartError("Unknown fail reason, header not found", "-1:-1")})},
    // Content types are compared without regard to case.
    {"PageInCapitals", L"--mode page --content-type Text/HTML --fail-type 2 --fail-reason Fine",
     Join({kUpToReply, Green("Fine")})},
    {"NotFound", L"--mode status --status 404", kNoReply},
    {"BodyCutShort", L"--mode cut --size 5000 --cut-at 1000", Join({kUpToReply, kBroken})},
    // The session ends in its failed state: one notice, then the report.
    {"ChunkedBodyBroken", L"--mode badchunk", Join({kUpToReply, {kFailed}, kBroken})},
    // A close before any reply shows the connect-failed line once, as a refused
    // connection does.
    {"ClosedBeforeReply", L"--mode close", kNoReply},
    // A server that never answers, or stops in the middle of the body, is given
    // up.
    {"NeverAnswers", L"--mode hang", kNoReply},
    {"StopsInTheBody", L"--mode stall --size 5000 --stall-at 1000", Join({kUpToReply, {kFailed}, kBroken})},
};

INSTANTIATE_TEST_SUITE_P(Transfer, ServerReplies, ::testing::ValuesIn(kServerCases),
                         [](const ::testing::TestParamInfo<ServerCase>& info) { return std::string(info.param.name); });

TEST(Transfer, UnknownServerPostsTheLookupLineOnce)
{
    TransferFixture t;
    // The label is too long for the host's resolver, so no query leaves the
    // machine.
    ASSERT_OK(t.Request(gCString((std::wstring(64, L'a') + L".invalid").c_str())));
    const Lines expected = {kLookingUp, "app:000E", kFailed,
                            "red:Unable to locate the download server - please check your Internet "
                            "connection, or try again later!"};
    t.RunUntilSteps(expected.size());
    EXPECT_EQ(t.targets.Steps(), expected);
}

TEST(Transfer, RequestBytesAreTheUpdatersLayout)
{
    UpdateServer server;
    ASSERT_TRUE(server.Start(L"--mode uptodate")) << server.Error();
    TransferFixture t;
    ASSERT_OK(t.Request(server.Host(), L"/cgi/update?protocol=4&build=A1"));
    EXPECT_TRUE(t.RunToEnd());
    EXPECT_EQ(server.Requests(), "GET /cgi/update?protocol=4&build=A1 HTTP/1.0\r\n"
                                 "Host: 127.0.0.1\r\n"
                                 "User-Agent: Vantor HTTP\r\n"
                                 "Connection: close\r\n"
                                 "Accept-Encoding:\r\n"
                                 "\r\n");
}

// Runs one reply of the scripted peer: the headers, then each piece of the body
// after a pause.
void RunPeer(TransferFixture& t, const std::string& headers, const std::vector<std::string>& pieces)
{
    ScriptedPeer peer;
    peer.ReadRequest().Send("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n" + headers + "\r\n");
    for (const std::string& piece : pieces)
        peer.Pause(300).Send(piece);
    peer.Pause(300).Close();
    peer.Start();
    ASSERT_OK(t.Request(HostAndPort(peer.Port())));
    EXPECT_TRUE(t.RunToEnd());
    EXPECT_TRUE(peer.Join());
}

TEST(Transfer, ProgressIsSentForEveryChangeAndStoredInStepsOfFiveAndTheContentPresentedAfterEach)
{
    class CountingContent : public FakeContent {
    public:
        explicit CountingContent(int& presents) : m_presents(presents) {}
        gCResult Present() override { return ++m_presents, kOk; }

    private:
        int& m_presents;
    };
    const struct {
        const char* headers;
        std::vector<std::string> pieces;
        Lines progress;
    } cases[] = {
        {"Content-Length: 100\r\n", {"a", "b", "c", "dd"}, {"progress:1", "progress:2", "progress:3", "progress:5"}},
        {"Content-Length: 1000\r\n", {std::string(1000, 'x'), "y"}, {"progress:100", "progress:100"}},
        {"", {"0123456789", "x"}, {}},
    };
    for (const auto& c : cases) {
        int presents = 0;
        TransferFixture t(new CountingContent(presents));
        RunPeer(t, c.headers, c.pieces);
        Lines progress;
        std::copy_if(t.targets.lines.begin(), t.targets.lines.end(), std::back_inserter(progress),
                     [](const std::string& line) { return line.compare(0, 9, "progress:") == 0; });
        EXPECT_EQ(progress, c.progress) << c.headers;
        // And once for the handled reply.
        EXPECT_EQ(presents, static_cast<int>(progress.size()) + 1) << c.headers;
    }
}

TEST(Transfer, BodyThatBreaksTheProtocolIsReportedOnceAndNeverDelivered)
{
    const char* bodies[] = {"5\r\nabcde\r\nzz\r\n", "5\r\nabcdeXY3\r\nabc\r\n", "7FFFFFFF\r\n"};
    for (const char* body : bodies) {
        TransferFixture t;
        RunPeer(t, "Transfer-Encoding: chunked\r\n", {body});
        EXPECT_EQ(t.targets.Steps(), Join({kUpToReply, {kFailed}, kBroken})) << body;
        EXPECT_EQ(t.targets.keptBody, nullptr);
    }
}

// How many WinSock start-ups are open: each is ended and then started again.
int OpenWinSockStartups()
{
    int n = 0;
    while (WSACleanup() == 0)
        ++n;
    WSADATA data;
    for (int i = 0; i < n; ++i)
        (void)WSAStartup(MAKEWORD(2, 2), &data); // puts back what was there
    return n;
}

TEST(TransferLifecycle, RetiredSessionsAndTheEndedManagerDispatchNothingAndTheDeliveredFileOutlivesThem)
{
    UpdateServer file;
    UpdateServer stalling;
    UpdateServer page;
    ASSERT_TRUE(file.Start(L"--mode file --size 70000")) << file.Error();
    // Without a length the cut body would count as complete at the close.
    ASSERT_TRUE(stalling.Start(L"--mode stall --size 5000 --stall-at 1000 --no-length")) << stalling.Error();
    ASSERT_TRUE(page.Start(L"--mode uptodate")) << page.Error();
    TransferFixture t;
    ASSERT_OK(t.Request(file.Host()));
    EXPECT_TRUE(t.RunToEnd());
    ASSERT_NE(t.targets.keptBody, nullptr);
    gCMemFile* kept = t.targets.keptBody;

    // A cancel after the reply changes nothing: the finished session's headers stay readable
    // until the next request.
    const std::vector<std::string> seen = t.targets.lines;
    t.manager->CancelTransfer();
    t.manager->PumpSessions();
    EXPECT_EQ(t.targets.lines, seen);
    gCString type;
    EXPECT_OK(CQVUTransferManager::GetReplyHeader(t.manager.get(), gCString(L"content-type"), type));
    EXPECT_EQ(W(type), L"application/octet-stream");

    // The next request retires the session, which is deleted at the next pump.
    ASSERT_OK(t.Request(stalling.Host()));
    EXPECT_EQ(t.manager->GetRetiredCount(), 1);
    EXPECT_EQ(CQVUTransferManager::GetReplyHeader(t.manager.get(), gCString(L"Content-Type"), type), 1);
    t.manager->PumpSessions();
    EXPECT_EQ(t.manager->GetRetiredCount(), 0);

    // Retired in the middle of its body, a session dispatches nothing more.
    ASSERT_TRUE(t.Run([&] { return t.targets.Count(kUpToReply.back()) == 2; }));
    t.RunFor(200);
    t.targets.lines.clear();
    t.targets.keptBody = nullptr;
    ASSERT_OK(t.Request(page.Host()));
    EXPECT_TRUE(t.RunToEnd());
    EXPECT_EQ(t.targets.Steps(), Join({kUpToReply, Green("Your product is up to date.")}));
    EXPECT_EQ(t.targets.keptBody, nullptr);
    EXPECT_TRUE(BodyText(*kept) == PatternBytes(70000));

    // Ended in the middle of a body, the manager dispatches nothing and ends its WinSock.
    const int startups = OpenWinSockStartups();
    ASSERT_OK(t.Request(stalling.Host()));
    ASSERT_TRUE(t.Run([&] { return t.targets.Count(kUpToReply.back()) == 2; }));
    t.RunFor(200);
    const size_t lineCount = t.targets.lines.size();
    t.manager.reset();
    EXPECT_EQ(t.targets.lines.size(), lineCount);
    EXPECT_EQ(OpenWinSockStartups(), startups - 1);
    (void)StartupWinSock(); // the fixture's count again, for the tests that follow
}

} // namespace

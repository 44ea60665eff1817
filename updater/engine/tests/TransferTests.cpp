// The transfer manager and the update session against real peers on 127.0.0.1: the project's
// update server and the scripted peer. Each case checks the status lines and messages of a
// whole transfer in order.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>
#include <vector>

#include "CQVUTransferManager.h"
#include "Expect.h"
#include "FakeContent.h"
#include "Loopback.h"
#include "ScriptedPeer.h"
#include "TransferFixture.h"
#include "UpdateServer.h"

namespace {

typedef std::vector<std::string> Lines;

const std::string kLookingUp = "black:Looking up server...";
const std::string kSupply = "app:000E";
const std::string kFound = "black:Server location found, now attempting to contact server.";
const std::string kResponse = "black:Received response from server, download is ready to begin.";
const std::string kConnectFailed = "red:Found the location of the download server, but couldn't connect to it. "
                                   "Please check your Internet connection, or try again later!";
const std::string kResolveFailed =
    "red:Unable to locate the download server - please check your Internet connection, or try again later!";
const std::string kFailed = "app:0001:2:0";
const std::string kPageOrBroken = "app:0010";

Lines Join(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Lines kUpToReply = {kLookingUp, kSupply, kFound, kResponse};
const Lines kBroken = {kPageOrBroken, "red:-- An error occurred during the download: --",
                       "lightred:\"Connection failed during download.\"", "end-red:Download Failed!", "app:000B"};

Lines StartError(const std::string& reason, const std::string& typeWords)
{
    return {kPageOrBroken, "red:-- An error occurred when trying to start the download: --", "red:" + reason,
            "end-red:Download couldn't be started!", "app:000A:" + typeWords};
}

Lines Green(const std::string& reason)
{
    return {kPageOrBroken, "view:0013", "green:" + reason, "app:000A:2:0"};
}

// Runs until the lines stop growing for a moment after the expected count was reached.
void RunUntilLines(TransferFixture& t, size_t count)
{
    (void)t.Run([&] { return t.targets.Steps().size() >= count; }); // compared next
    t.RunFor(300);
}

struct ServerCase {
    const char* name;
    const wchar_t* options;
    Lines expected;
};

class ServerReplies : public ::testing::TestWithParam<ServerCase> {};

TEST_P(ServerReplies, GiveTheLinesAndMessagesInOrder)
{
    const ServerCase& c = GetParam();
    UpdateServer server;
    ASSERT_TRUE(server.Start(c.options)) << server.Error();
    TransferFixture t;
    t.manager->SetIdleTimeout(1000);
    ASSERT_OK(t.Request(server.Host()));
    RunUntilLines(t, c.expected.size());
    EXPECT_EQ(t.targets.Steps(), c.expected);
}

const ServerCase kServerCases[] = {
    {"FileWithLength", L"--mode file --size 5000",
     Join({kUpToReply, {"app:000F", "black:Update file received OK.", "app:0007"}})},
    {"FileWithoutLength", L"--mode file --size 5000 --no-length",
     Join({kUpToReply, {"app:000F", "black:Update file received OK.", "app:0007"}})},
    {"FileAfterUpdaterSend", L"--mode file --size 5000 --updater-send",
     Join({kUpToReply, {"app:000D", "app:000F", "black:Update file received OK.", "app:0008"}})},
    {"AnswerOfType2", L"--mode uptodate", Join({kUpToReply, Green("Your product is up to date.")})},
    {"AnswerOfType1", L"--mode type1 --fail-reason Manual --location http://127.0.0.1/get",
     Join({kUpToReply, StartError("Manual", "1:0")})},
    {"AnswerWithoutType", L"--mode page --fail-reason Refused", Join({kUpToReply, StartError("Refused", "-1:-1")})},
    {"TypeWithBlanksAndLineEnd", L"--mode page --fail-type \" 2\\r\\n\" --fail-reason Fine",
     Join({kUpToReply, Green("Fine")})},
    {"TypeInHexadecimal", L"--mode page --fail-type 0x2 --fail-reason Fine", Join({kUpToReply, Green("Fine")})},
    {"EmptyReason", L"--mode page --fail-type 3 --fail-reason \"\"", Join({kUpToReply, StartError("", "3:0")})},
    {"NoAnswerHeaders", L"--mode page --no-fail-headers",
     Join({kUpToReply, StartError("Unknown fail reason, header not found", "-1:-1")})},
    // Content types are compared without regard to case.
    {"PageInCapitals", L"--mode page --content-type Text/HTML --fail-type 2 --fail-reason Fine",
     Join({kUpToReply, Green("Fine")})},
    {"NotFound", L"--mode status --status 404", {kLookingUp, kSupply, kFound, kFailed, kConnectFailed}},
    {"BodyCutShort", L"--mode cut --size 5000 --cut-at 1000", Join({kUpToReply, kBroken})},
    // The session ends in its failed state: one notice, then the report.
    {"ChunkedBodyBroken", L"--mode badchunk", Join({kUpToReply, {kFailed}, kBroken})},
    // A close before any reply shows the connect-failed line, as a refused connection does.
    {"ClosedBeforeReply", L"--mode close", {kLookingUp, kSupply, kFound, kFailed, kConnectFailed}},
    // A server that never answers, or stops in the middle of the body, is given up.
    {"NeverAnswers", L"--mode hang", {kLookingUp, kSupply, kFound, kFailed, kConnectFailed}},
    {"StopsInTheBody", L"--mode stall --size 5000 --stall-at 1000", Join({kUpToReply, {kFailed}, kBroken})},
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Transfer, ServerReplies, ::testing::ValuesIn(kServerCases),
                         [](const ::testing::TestParamInfo<ServerCase>& info) { return std::string(info.param.name); });

TEST(Transfer, ConnectionFailuresPostTheirRedLineOnce)
{
    const std::wstring unknown = std::wstring(64, L'a') + L".invalid";
    struct Case {
        gCString host;
        Lines expected;
    } cases[] = {
        // The label is too long for the host's resolver, so no query leaves the machine.
        {gCString(unknown.c_str()), {kLookingUp, kSupply, kFailed, kResolveFailed}},
        {HostAndPort(ClosedPort()), {kLookingUp, kSupply, kFound, kFailed, kConnectFailed}},
    };
    for (const Case& c : cases) {
        TransferFixture t;
        ASSERT_NE(t.app.GetMainWindowHandle(), nullptr);
        ASSERT_OK(t.Request(c.host));
        RunUntilLines(t, c.expected.size());
        EXPECT_EQ(t.targets.Steps(), c.expected) << W(c.host);
    }
}

TEST(Transfer, ResetDuringTheBodyIsABrokenDownload)
{
    UpdateServer server;
    ASSERT_TRUE(server.Start(L"--mode reset --size 100000 --cut-at 1000")) << server.Error();
    TransferFixture t;
    ASSERT_OK(t.Request(server.Host()));
    RunUntilLines(t, kUpToReply.size() + kBroken.size());
    Lines steps = t.targets.Steps();
    // Wine may give the reset as a clean close: then no failure notice comes first.
    if (steps.size() > kUpToReply.size() && steps[kUpToReply.size()] == kFailed)
        steps.erase(steps.begin() + static_cast<std::ptrdiff_t>(kUpToReply.size()));
    EXPECT_EQ(steps, Join({kUpToReply, kBroken}));
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

TEST(Transfer, ProgressIsSentForEveryChangeButStoredInStepsOfFive)
{
    struct Case {
        const char* name;
        const char* headers;
        std::vector<std::string> pieces;
        std::vector<int64_t> progress;
    } cases[] = {
        {"small steps", "Content-Length: 100\r\n", {"a", "b", "c", "dd"}, {1, 2, 3, 5}},
        {"100 twice", "Content-Length: 1000\r\n", {std::string(1000, 'x'), "y"}, {100, 100}},
        {"no length", "", {"0123456789", "x"}, {}},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer;
        peer.ReadRequest().Send(std::string("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n") +
                                c.headers + "\r\n");
        for (const std::string& piece : c.pieces)
            peer.Pause(300).Send(piece);
        peer.Pause(300).Close();
        peer.Start();
        TransferFixture t;
        ASSERT_OK(t.Request(HostAndPort(peer.Port())));
        EXPECT_TRUE(t.RunToEnd()) << c.name;
        EXPECT_TRUE(peer.Join()) << c.name;
        EXPECT_EQ(t.targets.Progress(), c.progress) << c.name;
    }
}

TEST(Transfer, UpdaterSendTurnsEveryLaterFileIntoTheUpdatersMessage)
{
    UpdateServer marking;
    UpdateServer plain;
    ASSERT_TRUE(marking.Start(L"--mode uptodate --updater-send")) << marking.Error();
    ASSERT_TRUE(plain.Start(L"--mode file --size 300")) << plain.Error();
    TransferFixture t;
    ASSERT_OK(t.Request(marking.Host()));
    EXPECT_TRUE(t.RunToEnd());
    ASSERT_OK(t.Request(plain.Host()));
    EXPECT_TRUE(t.RunToEnd());
    EXPECT_EQ(t.targets.Count("app:000D"), 1);
    EXPECT_EQ(t.targets.Count("app:0007"), 0);
    EXPECT_EQ(t.targets.Count("app:0008"), 1);
}

TEST(Transfer, MainContentIsPresentedAfterEveryProgressAndEveryHandledReply)
{
    class CountingContent : public FakeContent {
    public:
        explicit CountingContent(int& presents) : m_presents(presents) {}
        gCResult Present() override
        {
            ++m_presents;
            return kOk;
        }

    private:
        int& m_presents;
    };
    struct Case {
        const wchar_t* options;
        int extraPresents;
    } cases[] = {
        {L"--mode file --size 200000", 1},
        {L"--mode uptodate", 1},
        {L"--mode status --status 500", 0},
    };
    for (const Case& c : cases) {
        UpdateServer server;
        ASSERT_TRUE(server.Start(c.options)) << server.Error();
        int presents = 0;
        TransferFixture t(false, new CountingContent(presents));
        ASSERT_OK(t.Request(server.Host()));
        EXPECT_TRUE(t.RunToEnd());
        EXPECT_EQ(presents, static_cast<int>(t.targets.Progress().size()) + c.extraPresents) << W(c.options);
    }
}

TEST(Transfer, BodyThatBreaksTheProtocolIsReportedOnceAndNeverDelivered)
{
    const struct {
        const char* name;
        const char* headers;
        std::string body;
    } cases[] = {
        {"size without digits", "Transfer-Encoding: chunked\r\n", "5\r\nabcde\r\nzz\r\n"},
        {"data without its line end", "Transfer-Encoding: chunked\r\n", "5\r\nabcdeXY3\r\nabc\r\n"},
        {"size beyond the cap", "Transfer-Encoding: chunked\r\n", "7FFFFFFF\r\n"},
    };
    for (const auto& c : cases) {
        ScriptedPeer peer;
        peer.ReadRequest()
            .Send(std::string("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n") + c.headers + "\r\n")
            .Pause(300)
            .Send(c.body)
            .Pause(300)
            .Close();
        peer.Start();
        TransferFixture t;
        ASSERT_OK(t.Request(HostAndPort(peer.Port())));
        RunUntilLines(t, kUpToReply.size() + 1 + kBroken.size());
        EXPECT_TRUE(peer.Join()) << c.name;
        EXPECT_EQ(t.targets.Steps(), Join({kUpToReply, {kFailed}, kBroken})) << c.name;
    }
}

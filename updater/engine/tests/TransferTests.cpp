// The transfer manager and the update session against real peers on 127.0.0.1:
// the project's update server and the scripted peer. Each case checks the
// status lines and messages of a whole transfer in order; then the life of
// sessions and of the delivered file across requests and the manager's end.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <winsock2.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "CQVUTransferManager.h"
#include "Expect.h"
#include "FakeContent.h"
#include "Loopback.h"
#include "ScriptedPeer.h"
#include "StateTrace.h"
#include "TestApp.h"
#include "HostServer.h"
#include "UpdaterHost.h"
#include "UpdaterMessages.h"
#include "Wait.h"
#include "WinSock.h"

namespace {

// A transfer manager on the real network stack; the test application gives the resolver its
// main window. Run pumps its messages and the manager until a condition holds. Every updater
// message to the view and the application target is written down in order, one line each:
//   "<colour>:<text>" for a status line, colour black, red, lightred or green
//   "end-<colour>:<text>" for the closing line of an error report
//   "progress:<percent>"
//   "app:<id in hex>" or "app:<id>:<b>:<c>" for 0001 and 000A, "view:0013"
class TransferFixture {
public:
    // The main window's content counts the presents.
    TransferFixture() : manager(new CQVUTransferManager())
    {
        SetViewMessageTarget(&m_view);
        SetAppMessageTarget(&m_app);
        // The resolver answers through the main window; none fails the steps.
        (void)app.OpenMainWindow(new Counting(presents, presentResult), 0, 320, 200, "Test Window", 1);
        (void)StartupWinSock(); // the manager's end cleans up, as the application's start-up pairs them
    }
    ~TransferFixture()
    {
        manager.reset();
        SetViewMessageTarget(nullptr);
        SetAppMessageTarget(nullptr);
    }

    // The lines without the progress messages, or those alone.
    std::vector<std::string> Steps(bool progress = false) const
    {
        std::vector<std::string> steps;
        for (const std::string& line : lines)
            if ((line.compare(0, 9, "progress:") == 0) == progress)
                steps.push_back(line);
        return steps;
    }

    // Pumps until done() holds; false on timeout.
    bool Run(const std::function<bool()>& done, int ms = kWaitMs)
    {
        return WaitUntil(
            done, [this] { return DispatchQueued(), manager->PumpSessions(), true; }, ms);
    }
    // Runs until the active session has ended (its socket closed), then pumps once more to
    // delete what was retired.
    bool RunToEnd()
    {
        const bool ended = Run([this] { return !manager->GetSession() || !manager->GetSession()->HasSocket(); });
        manager->PumpSessions();
        return ended;
    }
    // Runs until the lines hold the count given of the line, then a while longer.
    void RunUntil(const std::string& line, int count, int ms = 300)
    {
        (void)Run([&] { return std::count(lines.begin(), lines.end(), line) >= count; }); // compared next
        const DWORD start = GetTickCount();
        (void)Run([&] { return GetTickCount() - start >= static_cast<DWORD>(ms); }); // a pause
    }
    // The manager's request, as the application's update check makes it.
    gCResult Request(const gCString& server, const wchar_t* target = L"/update?protocol=4")
    {
        return CQVUTransferManager::RequestURL(manager.get(), server, gCString(target));
    }

    TestApp app;
    std::unique_ptr<CQVUTransferManager> manager;
    std::vector<std::string> lines;
    int presents = 0;
    // What each present answers.
    gCResult presentResult = kOk;
    // The body kept from kMsgFileArrived or kMsgUpdaterFileArrived.
    gCMemFile* keptBody = nullptr;

private:
    class Counting : public FakeContent {
    public:
        Counting(int& presents, const gCResult& result) : m_presents(presents), m_result(result) {}
        gCResult Present() override { return ++m_presents, m_result; }

    private:
        int& m_presents;
        const gCResult& m_result;
    };
    class Target : public gCCmdTarget {
    public:
        Target(TransferFixture& owner, const char* prefix) : m_owner(owner), m_prefix(prefix) {}
        uint32_t OnMessage(uint32_t id, uint32_t a, uint32_t b, uint32_t c, uint32_t) override
        {
            char seen[32];
            std::snprintf(seen, sizeof seen, "%s%04X", m_prefix, id & 0xFFFF);
            std::string line = seen;
            if (id == kMsgStatusLine || id == kMsgReportClosingLine) {
                line = id == kMsgStatusLine ? "" : "end-";
                line += b == kLineRed        ? "red:"
                        : b == kLineLightRed ? "lightred:"
                        : b == kLineGreen    ? "green:"
                                             : "black:";
                for (const wchar_t* p = reinterpret_cast<const gCString*>(a)->Text(); *p; ++p)
                    line += *p < 128 ? static_cast<char>(*p) : '?';
            } else if (id == kMsgProgress) {
                line = "progress:" + std::to_string((static_cast<uint64_t>(c) << 32) | b);
            } else if (id == kMsgTransferFailed || id == kMsgAnswerReported) {
                line += ":" + std::to_string(static_cast<int32_t>(b)) + ":" + std::to_string(static_cast<int32_t>(c));
            } else if (id == kMsgFileArrived || id == kMsgUpdaterFileArrived) {
                m_owner.keptBody = reinterpret_cast<gCMemFile*>(static_cast<uintptr_t>(b));
            }
            m_owner.lines.push_back(line);
            return 0;
        }

    private:
        TransferFixture& m_owner;
        const char* m_prefix;
    };
    Target m_view{*this, "view:"};
    Target m_app{*this, "app:"};
};

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

Lines Join(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
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
    ASSERT_TRUE(!GetParam().options || server.Start(GetParam().options)) << server.Error();
    TransferFixture t;
    t.manager->SetIdleTimeout(1000);
    // Without a server the label is too long for the host's resolver: no query leaves the machine.
    const std::wstring unknown = std::wstring(64, L'a') + L".invalid";
    ASSERT_OK(t.Request(GetParam().options ? server.Host() : gCString(unknown.c_str())));
    t.RunUntil(GetParam().expected.back(), 1);
    EXPECT_EQ(t.Steps(), GetParam().expected);
}

const ServerCase kServerCases[] = {
    {"NoAnswerHeaders", L"--mode page --no-fail-headers",
     Join({kUpToReply,
           {"app:0010", "red:-- An error occurred when trying to start the download: --",
            "red:Unknown fail reason, header not found", "end-red:Download couldn't be started!", "app:000A:-1:-1"}})},
    // Content types are compared without regard to case.
    {"PageInCapitals", L"--mode page --content-type Text/HTML --fail-type 2 --fail-reason Fine",
     Join({kUpToReply, Green("Fine")})},
    // An unknown server posts the lookup line once.
    {"UnknownServer",
     nullptr,
     {kLookingUp, "app:000E", kFailed,
      "red:Unable to locate the download server - please check your Internet connection, or try again later!"}},
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
    // The server answered: a body above the cap is a download that cannot be taken.
    {"BodyAboveTheCap", L"--mode stall --size 100000001 --stall-at 0",
     Join({{kLookingUp, "app:000E", kFound, kFailed}, kBroken})},
};

INSTANTIATE_TEST_SUITE_P(Transfer, ServerReplies, ::testing::ValuesIn(kServerCases),
                         [](const ::testing::TestParamInfo<ServerCase>& info) { return std::string(info.param.name); });

TEST(Transfer, ProgressIsSentForEveryChangeAndStoredInStepsOfFiveAndTheContentPresentedAfterEach)
{
    const struct {
        const char* headers;
        std::vector<std::string> pieces;
        Lines progress;
    } cases[] = {
        {"Content-Length: 100\r\n", {"a", "b", "c", "dd"}, {"progress:1", "progress:2", "progress:3", "progress:5"}},
        // The reply ends with its last announced byte: what the server sends after it is not read.
        {"Content-Length: 1000\r\n", {std::string(1000, 'x'), "y"}, {"progress:100"}},
        {"", {"0123456789", "x"}, {}},
    };
    for (const auto& c : cases) {
        TransferFixture t;
        // The headers, then each piece of the body after a pause.
        ScriptedPeer peer;
        peer.ReadRequest().Send("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n" +
                                std::string(c.headers) + "\r\n");
        for (const std::string& piece : c.pieces)
            peer.Pause(300).Send(piece);
        peer.Pause(300).Start();
        ASSERT_OK(t.Request(HostAndPort(peer.Port())));
        EXPECT_TRUE(t.RunToEnd());
        EXPECT_TRUE(peer.Join());
        const Lines progress = t.Steps(true);
        EXPECT_EQ(progress, c.progress) << c.headers;
        // And once for the handled reply.
        EXPECT_EQ(t.presents, static_cast<int>(progress.size()) + 1) << c.headers;
    }
}

// Presenting is display only: progress that cannot be put on the screen stops no transfer, whether
// the body arrives with the headers or after them.
TEST(Transfer, AFailedPresentStopsNoTransfer)
{
    TransferFixture t;
    t.presentResult = kGenericFailure;
    ScriptedPeer peer;
    peer.ReadRequest().Send(
        "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 10\r\n\r\n01234");
    peer.Pause(300).Send("56789").Start();
    ASSERT_OK(t.Request(HostAndPort(peer.Port())));
    EXPECT_TRUE(t.RunToEnd());
    EXPECT_TRUE(peer.Join());
    EXPECT_EQ(t.Steps(true), (Lines{"progress:50", "progress:100"}));
    EXPECT_EQ(t.presents, 3);
    ASSERT_NE(t.keptBody, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.keptBody->GetData()), t.keptBody->GetLength()), "0123456789");
}

// The manager's states through a whole file and then a refused reply; the application reads
// them as the numbers it knows.
TEST(Transfer, EveryStateChangeOfTheManagerIsTracedAndReadsAsItsNumber)
{
    static Lines changes;
    changes.clear();
    const StateTraceFn previous = SetStateTraceFunction([](const char* machine, const char* from, const char* to) {
        if (std::string(machine) == "transfer")
            changes.push_back(std::string(from) + " -> " + to);
    });
    TransferFixture t;
    EXPECT_EQ(t.manager->GetState(), CQVUTransferManager::kNoTransfer);
    for (const char* reply : {"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", "HTTP/1.0 404 Not Found\r\n\r\n"}) {
        ScriptedPeer peer;
        peer.ReadRequest().Send(reply);
        peer.Start();
        ASSERT_OK(t.Request(HostAndPort(peer.Port())));
        EXPECT_TRUE(t.RunToEnd());
        EXPECT_TRUE(peer.Join());
        EXPECT_EQ(t.manager->GetState(),
                  reply[9] == '2' ? CQVUTransferManager::kTransferRunning : CQVUTransferManager::kTransferFailed);
    }
    SetStateTraceFunction(previous);
    const Lines expected = {"none -> running",        "running -> connected", "connected -> whole reply",
                            "whole reply -> running", "running -> connected", "connected -> reported",
                            "reported -> failed"};
    EXPECT_EQ(changes, expected);
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
    ASSERT_NE(t.keptBody, nullptr);
    gCMemFile* kept = t.keptBody;

    // A cancel after the reply changes nothing: the finished session's headers stay readable
    // until the next request.
    const std::vector<std::string> seen = t.lines;
    t.manager->CancelTransfer();
    t.manager->PumpSessions();
    EXPECT_EQ(t.lines, seen);
    gCString type;
    EXPECT_OK(CQVUTransferManager::GetReplyHeader(t.manager.get(), gCString(L"content-type"), type));
    EXPECT_EQ(W(type), L"application/octet-stream");

    // The next request retires the session, which is deleted at the next pump.
    ASSERT_OK(t.Request(stalling.Host()));
    EXPECT_EQ(t.manager->GetRetiredCount(), 1);
    EXPECT_RESULT(CQVUTransferManager::GetReplyHeader(t.manager.get(), gCString(L"Content-Type"), type),
                  kGenericFailure);
    t.manager->PumpSessions();
    EXPECT_EQ(t.manager->GetRetiredCount(), 0);

    // Retired in the middle of its body, a session dispatches nothing more.
    t.RunUntil(kUpToReply.back(), 2, 200);
    t.lines.clear();
    t.keptBody = nullptr;
    ASSERT_OK(t.Request(page.Host()));
    EXPECT_TRUE(t.RunToEnd());
    EXPECT_EQ(t.Steps(), Join({kUpToReply, Green("Your product is up to date.")}));
    EXPECT_EQ(t.keptBody, nullptr);
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(kept->GetData()), kept->GetLength()) == PatternBytes(70000));
    // Until the installation gives it back.
    t.manager->ReleaseDelivered();
    EXPECT_EQ(kept->GetLength(), 0);
    EXPECT_LE(kept->GetCapacity(), 2048);

    // Ended in the middle of a body, the manager dispatches nothing and ends its WinSock.
    const int startups = OpenWinSockStartups();
    ASSERT_OK(t.Request(stalling.Host()));
    t.RunUntil(kUpToReply.back(), 2, 200);
    const size_t lineCount = t.lines.size();
    t.manager.reset();
    EXPECT_EQ(t.lines.size(), lineCount);
    EXPECT_EQ(OpenWinSockStartups(), startups - 1);
    (void)StartupWinSock(); // the fixture's count again, for the tests that follow
}

} // namespace

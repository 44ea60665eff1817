// The life of sessions and of the delivered file across requests, the manager's end, and the
// localised texts.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <winsock2.h>

#include <string>
#include <vector>

#include "BoxCapture.h"
#include "CQVUTransferManager.h"
#include "Expect.h"
#include "Loopback.h"
#include "ScriptedPeer.h"
#include "TransferFixture.h"
#include "UpdateServer.h"
#include "WinSock.h"

namespace {

// A session that writes its first poll and its deletion into the lines.
class MarkedSession : public CQVULocalHTTPSession {
public:
    MarkedSession(const IUpdaterHost& app, std::vector<std::string>& lines, int number)
        : CQVULocalHTTPSession(app), m_lines(lines), m_number(number)
    {
    }
    ~MarkedSession() override { m_lines.push_back("deleted:" + std::to_string(m_number)); }
    gCResult Poll() override
    {
        if (!m_polled)
            m_lines.push_back("polled:" + std::to_string(m_number));
        m_polled = true;
        return CQVULocalHTTPSession::Poll();
    }

private:
    std::vector<std::string>& m_lines;
    int m_number;
    bool m_polled = false;
};

int IndexOf(const std::vector<std::string>& lines, const std::string& line)
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == line)
            return static_cast<int>(i);
    return -1;
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

} // namespace

TEST(TransferLifecycle, TwoRequestsInARow)
{
    UpdateServer file;
    UpdateServer page;
    ASSERT_TRUE(file.Start(L"--mode file --size 70000")) << file.Error();
    ASSERT_TRUE(page.Start(L"--mode uptodate")) << page.Error();
    TransferFixture t;
    int made = 0;
    t.targets.supplySession = [&]() -> CQVUHTTPSession* {
        return new MarkedSession(t.texts.host, t.targets.lines, ++made);
    };
    t.manager->CancelTransfer(); // before any request: nothing to break off
    EXPECT_TRUE(t.targets.lines.empty());
    ASSERT_OK(t.Request(file.Host()));
    EXPECT_TRUE(t.RunToEnd());
    ASSERT_NE(t.targets.keptBody, nullptr);
    gCMemFile* kept = t.targets.keptBody;

    // A cancel after the reply changes nothing: the finished session's headers stay readable
    // until the next request.
    const std::vector<std::string> seen = t.targets.lines;
    CQVUHTTPSession* finished = t.manager->GetSession();
    t.manager->CancelTransfer();
    t.manager->PumpSessions();
    EXPECT_EQ(t.targets.lines, seen);
    EXPECT_EQ(t.manager->GetSession(), finished);
    gCString type;
    EXPECT_OK(CQVUTransferManager::GetReplyHeader(t.manager.get(), gCString(L"content-type"), type));
    EXPECT_EQ(W(type), L"application/octet-stream");

    ASSERT_OK(t.Request(page.Host()));
    EXPECT_EQ(t.manager->GetRetiredCount(), 1);
    EXPECT_EQ(CQVUTransferManager::GetReplyHeader(t.manager.get(), gCString(L"Content-Type"), type), 1);
    t.manager->PumpSessions();
    EXPECT_EQ(t.manager->GetRetiredCount(), 0);
    const std::vector<std::string>& lines = t.targets.lines;
    ASSERT_GE(IndexOf(lines, "polled:2"), 0);
    EXPECT_LT(IndexOf(lines, "polled:2"), IndexOf(lines, "deleted:1"));

    // The file the application kept is still whole after the next request and a pump.
    EXPECT_TRUE(BodyText(*kept) == PatternBytes(70000));
    EXPECT_TRUE(t.RunToEnd());
    EXPECT_TRUE(BodyText(*kept) == PatternBytes(70000));
}

TEST(TransferLifecycle, RetiredSessionDispatchesNothing)
{
    UpdateServer stalling;
    UpdateServer page;
    // Without a length the cut body would count as complete at the close.
    ASSERT_TRUE(stalling.Start(L"--mode stall --size 5000 --stall-at 1000 --no-length")) << stalling.Error();
    ASSERT_TRUE(page.Start(L"--mode uptodate")) << page.Error();
    TransferFixture t;
    ASSERT_OK(t.Request(stalling.Host()));
    ASSERT_TRUE(t.Run(
        [&] { return t.targets.Count("black:Received response from server, download is ready to begin.") == 1; }));
    t.RunFor(200);
    ASSERT_OK(t.Request(page.Host()));
    EXPECT_TRUE(t.RunToEnd());
    EXPECT_EQ(t.targets.Count("app:000F"), 0);
    EXPECT_EQ(t.targets.Count("app:0007"), 0);
    EXPECT_EQ(t.targets.Count("app:0001:2:0"), 0);
    EXPECT_EQ(t.targets.Count("green:Your product is up to date."), 1);
    EXPECT_EQ(t.targets.keptBody, nullptr);
}

TEST(TransferLifecycle, CancelBreaksOffTheTransferQuietlyAndTheNextRequestCompletes)
{
    struct Case {
        const wchar_t* options;
        std::string reached; // the session's step after which the cancel comes
    } cases[] = {
        // The server answers nothing after the request ("server location found").
        {L"--mode hang", "black:T55"},
        // Mid-body: the headers and part of the body are in ("received response").
        {L"--mode stall --size 5000 --stall-at 1000", "black:T54"},
    };
    UpdateServer file;
    ASSERT_TRUE(file.Start(L"--mode file --size 3000")) << file.Error();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        UpdateServer broken;
        ASSERT_TRUE(broken.Start(c.options)) << broken.Error();
        TransferFixture t;
        // Left running, the silent server would end the transfer as lost well within the pause below.
        t.manager->SetIdleTimeout(300);
        int made = 0;
        t.targets.supplySession = [&]() -> CQVUHTTPSession* {
            return new MarkedSession(t.texts.host, t.targets.lines, ++made);
        };
        ASSERT_OK(t.Request(broken.Host()));
        ASSERT_TRUE(t.Run([&] { return t.targets.Count(c.reached) == 1; }));
        t.RunFor(100);
        std::vector<std::string> expected = t.targets.lines;

        t.manager->CancelTransfer();
        EXPECT_EQ(t.manager->GetSession(), nullptr);
        EXPECT_EQ(t.manager->GetState(), CQVUTransferManager::kNoTransfer);
        EXPECT_EQ(t.manager->GetRetiredCount(), 1);
        EXPECT_EQ(t.targets.lines, expected);
        t.RunFor(800);
        EXPECT_EQ(t.manager->GetRetiredCount(), 0);
        expected.push_back("deleted:1");
        EXPECT_EQ(t.targets.lines, expected);

        // Once more is nothing.
        t.manager->CancelTransfer();
        EXPECT_EQ(t.targets.lines, expected);

        ASSERT_OK(t.Request(file.Host()));
        EXPECT_TRUE(t.RunToEnd());
        ASSERT_NE(t.targets.keptBody, nullptr);
        EXPECT_TRUE(BodyText(*t.targets.keptBody) == PatternBytes(3000));
        EXPECT_EQ(t.targets.Count("app:0007"), 1);
        EXPECT_EQ(t.targets.Count("app:0001:2:0"), 0);
        EXPECT_EQ(t.manager->GetState(), CQVUTransferManager::kTransferRunning);
    }
}

TEST(TransferLifecycle, ManagerEndedMidTransferDispatchesNothingAndEndsItsWinSock)
{
    UpdateServer stalling;
    ASSERT_TRUE(stalling.Start(L"--mode stall --size 5000 --stall-at 1000 --no-length")) << stalling.Error();
    TransferFixture t;
    const int before = OpenWinSockStartups();
    ASSERT_OK(t.Request(stalling.Host()));
    ASSERT_TRUE(t.Run(
        [&] { return t.targets.Count("black:Received response from server, download is ready to begin.") == 1; }));
    t.RunFor(200);
    const size_t seen = t.targets.lines.size();
    t.manager.reset();
    EXPECT_EQ(t.targets.lines.size(), seen);
    EXPECT_EQ(OpenWinSockStartups(), before - 1);
    (void)StartupWinSock(); // the fixture's count again, for the tests that follow
}

TEST(TransferLifecycle, TextsComeFromTheStringTableWhenTheApplicationSuppliesASession)
{
    UpdateServer file;
    ASSERT_TRUE(file.Start(L"--mode file --size 300")) << file.Error();
    struct Case {
        bool supply;
        std::vector<std::string> expected;
    } cases[] = {
        {true, {"black:T66", "app:000E", "black:T55", "black:T54", "app:000F", "black:T60", "app:0007"}},
        // Without an answer the manager makes a plain session with the English texts.
        {false,
         {"black:T66", "app:000E", "black:Server location found, now attempting to contact server.",
          "black:Received response from server, download is ready to begin.", "app:000F", "black:T60", "app:0007"}},
    };
    for (const Case& c : cases) {
        TransferFixture t(true);
        if (c.supply)
            t.targets.supplySession = [&]() -> CQVUHTTPSession* { return new CQVULocalHTTPSession(t.texts.host); };
        ASSERT_OK(t.Request(file.Host()));
        EXPECT_TRUE(t.RunToEnd());
        EXPECT_EQ(t.targets.Steps(), c.expected) << c.supply;
    }
}

TEST(TransferLifecycle, ReplyHeadersAreFoundWithoutRegardToCase)
{
    ScriptedPeer peer;
    peer.ReadRequest()
        .Send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nqvu-updatersend:\r\nQVU-FailReason: first\r\n"
              "qvu-failreason: second\r\nQVU-FailType: 2\r\n\r\n")
        .Close();
    peer.Start();
    TransferFixture t;
    gCString value(L"unchanged");
    EXPECT_EQ(CQVUTransferManager::GetReplyHeader(t.manager.get(), gCString(L"QVU-FailReason"), value), 1);
    ASSERT_OK(t.Request(HostAndPort(peer.Port())));
    EXPECT_TRUE(t.RunToEnd());
    EXPECT_TRUE(peer.Join());
    EXPECT_OK(CQVUTransferManager::GetReplyHeader(t.manager.get(), gCString(L"QVU-FAILREASON"), value));
    EXPECT_EQ(W(value), L"first");
    EXPECT_EQ(CQVUTransferManager::GetReplyHeader(t.manager.get(), gCString(L"QVU-Missing"), value), 1);
    EXPECT_EQ(W(value), L"first");
    // An empty value still marks the updater's own update, once.
    EXPECT_EQ(t.targets.Count("app:000D"), 1);
    EXPECT_EQ(t.manager->GetUpdaterSend(), 1u);
}

TEST(TransferLifecycle, ReplyOutsideARequestIsReportedInABoxWithTheManagersTexts)
{
    BoxCapture boxes;
    TransferFixture t(true);
    EXPECT_OK(t.manager->DispatchReply());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"T68");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"T69");
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_OK));
    EXPECT_TRUE(t.targets.lines.empty());
}

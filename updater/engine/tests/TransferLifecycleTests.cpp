// The life of sessions and of the delivered file across requests, a cancel and the manager's
// end, and the localised texts.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <winsock2.h>

#include "BoxCapture.h"
#include "Expect.h"
#include "Loopback.h"
#include "ScriptedPeer.h"
#include "TransferFixture.h"
#include "UpdateServer.h"

namespace {

const std::string kReply = "black:Received response from server, download is ready to begin.";

// A session that writes its first poll and its deletion into the lines.
class MarkedSession : public CQVULocalHTTPSession {
public:
    MarkedSession(TransferFixture& t, int number)
        : CQVULocalHTTPSession(t.host), m_lines(t.targets.lines), m_number(number)
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

void MarkSessions(TransferFixture& t)
{
    auto made = std::make_shared<int>(0);
    t.targets.supplySession = [&t, made]() -> CQVUHTTPSession* { return new MarkedSession(t, ++*made); };
}

ptrdiff_t IndexOf(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
}

} // namespace

TEST(TransferLifecycle, TheDeliveredFileOutlivesItsSessionAndTheNextRequest)
{
    UpdateServer file;
    UpdateServer page;
    ASSERT_TRUE(file.Start(L"--mode file --size 70000")) << file.Error();
    ASSERT_TRUE(page.Start(L"--mode uptodate")) << page.Error();
    TransferFixture t;
    MarkSessions(t);
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

    // The next request retires the session, which is deleted once the new one has been polled.
    ASSERT_OK(t.Request(page.Host()));
    EXPECT_EQ(t.manager->GetRetiredCount(), 1);
    EXPECT_EQ(CQVUTransferManager::GetReplyHeader(t.manager.get(), gCString(L"Content-Type"), type), 1);
    t.manager->PumpSessions();
    EXPECT_EQ(t.manager->GetRetiredCount(), 0);
    EXPECT_LT(IndexOf(t.targets.lines, "polled:2"), IndexOf(t.targets.lines, "deleted:1"));
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
    ASSERT_TRUE(t.Run([&] { return t.targets.Count(kReply) == 1; }));
    t.RunFor(200);
    ASSERT_OK(t.Request(page.Host()));
    EXPECT_TRUE(t.RunToEnd());
    for (const char* line : {"app:000F", "app:0007", "app:0001:2:0"})
        EXPECT_EQ(t.targets.Count(line), 0) << line;
    EXPECT_EQ(t.targets.Count("green:Your product is up to date."), 1);
    EXPECT_EQ(t.targets.keptBody, nullptr);
}

TEST(TransferLifecycle, CancelBreaksOffTheTransferQuietlyAndTheNextRequestCompletes)
{
    UpdateServer file;
    UpdateServer stalling;
    ASSERT_TRUE(file.Start(L"--mode file --size 3000")) << file.Error();
    ASSERT_TRUE(stalling.Start(L"--mode stall --size 5000 --stall-at 1000")) << stalling.Error();
    TransferFixture t;
    // Left running, the silent server would end the transfer as lost well within the pause below.
    t.manager->SetIdleTimeout(300);
    MarkSessions(t);
    ASSERT_OK(t.Request(stalling.Host()));
    ASSERT_TRUE(t.Run([&] { return t.targets.Count("black:T54") == 1; }));
    t.RunFor(100);
    std::vector<std::string> expected = t.targets.lines;
    t.manager->CancelTransfer();
    EXPECT_EQ(t.manager->GetSession(), nullptr);
    EXPECT_EQ(t.manager->GetState(), CQVUTransferManager::kNoTransfer);
    t.RunFor(800);
    t.manager->CancelTransfer(); // once more is nothing
    expected.push_back("deleted:1");
    EXPECT_EQ(t.targets.lines, expected);

    ASSERT_OK(t.Request(file.Host()));
    EXPECT_TRUE(t.RunToEnd());
    ASSERT_NE(t.targets.keptBody, nullptr);
    EXPECT_TRUE(BodyText(*t.targets.keptBody) == PatternBytes(3000));
    EXPECT_EQ(t.targets.Count("app:0001:2:0"), 0);
}

TEST(TransferLifecycle, ManagerEndedMidTransferDispatchesNothingAndEndsItsWinSock)
{
    // How many WinSock start-ups are open: each is ended and then started again.
    auto openStartups = [] {
        int n = 0;
        while (WSACleanup() == 0)
            ++n;
        WSADATA data;
        for (int i = 0; i < n; ++i)
            (void)WSAStartup(MAKEWORD(2, 2), &data); // puts back what was there
        return n;
    };
    UpdateServer stalling;
    ASSERT_TRUE(stalling.Start(L"--mode stall --size 5000 --stall-at 1000 --no-length")) << stalling.Error();
    TransferFixture t;
    const int before = openStartups();
    ASSERT_OK(t.Request(stalling.Host()));
    ASSERT_TRUE(t.Run([&] { return t.targets.Count(kReply) == 1; }));
    t.RunFor(200);
    const size_t seen = t.targets.lines.size();
    t.manager.reset();
    EXPECT_EQ(t.targets.lines.size(), seen);
    EXPECT_EQ(openStartups(), before - 1);
    (void)StartupWinSock(); // the fixture's count again, for the tests that follow
}

TEST(TransferLifecycle, TextsComeFromTheStringTable)
{
    UpdateServer file;
    ASSERT_TRUE(file.Start(L"--mode file --size 300")) << file.Error();
    TransferFixture t(true);
    t.targets.supplySession = [&]() -> CQVUHTTPSession* { return new CQVULocalHTTPSession(t.host); };
    ASSERT_OK(t.Request(file.Host()));
    EXPECT_TRUE(t.RunToEnd());
    EXPECT_EQ(t.targets.Steps(), (std::vector<std::string>{"black:T66", "app:000E", "black:T55", "black:T54",
                                                           "app:000F", "black:T60", "app:0007"}));
}

TEST(TransferLifecycle, ReplyOutsideARequestIsReportedInABoxWithTheManagersTexts)
{
    BoxCapture boxes;
    TransferFixture t(true);
    EXPECT_OK(t.manager->DispatchReply());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"T68");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"T69");
    EXPECT_TRUE(t.targets.lines.empty());
}

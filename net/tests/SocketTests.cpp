#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "BoxCapture.h"
#include "ScriptedPeer.h"
#include "SocketProbe.h"

TEST(TCPSocket, PollWithoutHandleDoesNothing)
{
    SocketProbe probe;
    EXPECT_OK(probe.socket.Poll());
    EXPECT_TRUE(probe.events.empty());
    EXPECT_EQ(probe.socket.GetState(), kSocketNotStarted);
}

TEST(TCPSocket, ConnectsReadsOneMegabyteAndSeesTheClose)
{
    const std::string body = PatternBytes(1 << 20);
    ScriptedPeer peer;
    peer.SendInPieces(body, 100000, 1).Close();
    peer.Start();

    SocketProbe probe;
    std::vector<uint32_t> states;
    ASSERT_OK(probe.socket.Create(0));
    ASSERT_OK(probe.socket.Connect(LoopbackAddress(), peer.Port()));
    EXPECT_EQ(probe.socket.GetState(), kSocketConnecting);
    EXPECT_EQ(probe.socket.GetPeerPort(), peer.Port());
    EXPECT_TRUE(probe.PollUntil([&] { return !probe.socket.HasSocket(); }));

    EXPECT_TRUE(peer.Join());
    EXPECT_EQ(probe.received.size(), body.size());
    EXPECT_TRUE(probe.received == body);
    EXPECT_EQ(probe.Count("connect:1"), 1);
    EXPECT_EQ(probe.Count("close"), 1);
    EXPECT_EQ(probe.socket.GetState(), kSocketClosed);
    EXPECT_EQ(probe.socket.GetBytesReceived(), body.size());
    EXPECT_EQ(probe.socket.GetPeerAddress(), LoopbackAddress());
    EXPECT_EQ(probe.socket.IsConnected(), 0);
}

TEST(TCPSocket, RefusedPortFailsTheConnectAndCloses)
{
    SocketProbe probe;
    ASSERT_OK(probe.socket.Create(ClosedPort()));
    // Port 0 takes the default port given to Create.
    ASSERT_OK(probe.socket.Connect(LoopbackAddress(), 0));
    EXPECT_TRUE(probe.PollUntil([&] { return !probe.socket.HasSocket(); }));
    EXPECT_EQ(probe.socket.GetState(), kSocketConnectFailed);
    ASSERT_FALSE(probe.events.empty());
    EXPECT_EQ(probe.events.front(), "close");
    EXPECT_EQ(probe.Count("connect:0"), 1);
    EXPECT_EQ(probe.socket.IsConnected(), 0);
    // Nothing is left to poll.
    EXPECT_OK(probe.socket.Poll());
}

TEST(TCPSocket, TwentyMegabytesToASlowReaderArriveWhole)
{
    const size_t size = 20u << 20;
    ScriptedPeer peer;
    peer.ReadUntilClosed(65536, 0);
    peer.Start();

    SocketProbe probe;
    ASSERT_OK(probe.outgoing.Resize(static_cast<int32_t>(size)));
    const std::string body = PatternBytes(size);
    probe.outgoing.CopyFrom(body.data(), static_cast<int32_t>(size));
    ASSERT_OK(probe.socket.Create(0));
    ASSERT_OK(probe.socket.Connect(LoopbackAddress(), peer.Port()));
    EXPECT_TRUE(probe.PollUntil([&] { return probe.outgoing.Count() == 0; }, 60000));
    EXPECT_OK(probe.socket.Close());

    EXPECT_TRUE(peer.Join());
    EXPECT_TRUE(probe.sawBackPressure);
    EXPECT_EQ(probe.socket.GetBytesSent(), size);
    std::string received = peer.Received();
    EXPECT_EQ(received.size(), size);
    EXPECT_TRUE(received == body);
}

TEST(TCPSocket, CloseProcCanRefuseTheClose)
{
    ScriptedPeer peer;
    peer.ReadUntilClosed(4096, 0);
    peer.Start();

    SocketProbe probe;
    ASSERT_OK(probe.socket.Create(0));
    ASSERT_OK(probe.socket.Connect(LoopbackAddress(), peer.Port()));
    EXPECT_TRUE(probe.PollUntil([&] { return probe.socket.IsConnected() != 0; }));

    probe.closeRefusals = 1;
    EXPECT_RESULT(probe.socket.Close(), kBusy);
    EXPECT_TRUE(probe.socket.HasSocket());
    EXPECT_EQ(probe.socket.IsConnected(), 0);
    // Still usable: the next close goes through.
    EXPECT_OK(probe.socket.Close());
    EXPECT_FALSE(probe.socket.HasSocket());
    EXPECT_EQ(probe.Count("close"), 2);
    EXPECT_TRUE(peer.Join());
}

namespace {

struct AcceptRecord {
    CTCPSocket* accepted = nullptr;
    int calls = 0;
};

gCResult RecordAccepted(uintptr_t created, uintptr_t, void* context)
{
    AcceptRecord* record = static_cast<AcceptRecord*>(context);
    record->accepted = reinterpret_cast<CTCPSocket*>(created);
    ++record->calls;
    return kOk;
}

gCResult AcceptNow(uintptr_t, uintptr_t, void* context)
{
    return static_cast<CTCPSocket*>(context)->Accept();
}

} // namespace

TEST(TCPSocket, AcceptHandsTheNewConnectionToItsCallback)
{
    uint16_t port = 0;
    CTCPSocket listener;
    listener.AdoptHandle(ListenOnLoopback(port));
    AcceptRecord record;
    ASSERT_OK(listener.Create(port));
    listener.SetProc(kAcceptProc, AcceptNow, &listener);
    listener.SetProc(kAcceptedProc, RecordAccepted, &record);

    SocketProbe client;
    ASSERT_OK(client.socket.Create(0));
    ASSERT_OK(client.socket.Connect(LoopbackAddress(), port));
    EXPECT_TRUE(client.PollUntil([&] {
        EXPECT_OK(listener.Poll());
        return record.calls > 0 && client.socket.IsConnected();
    }));
    ASSERT_NE(record.accepted, nullptr);
    EXPECT_EQ(record.accepted->GetState(), kSocketConnected);
    EXPECT_EQ(record.accepted->IsConnected(), 1);
    EXPECT_EQ(record.accepted->GetPeerAddress(), LoopbackAddress());
    delete record.accepted;
}

TEST(TCPSocket, AcceptWithoutACallbackDropsTheConnection)
{
    uint16_t port = 0;
    CTCPSocket listener;
    listener.AdoptHandle(ListenOnLoopback(port));
    ASSERT_OK(listener.Create(port));
    SocketProbe client;
    ASSERT_OK(client.socket.Create(0));
    ASSERT_OK(client.socket.Connect(LoopbackAddress(), port));
    gCResult accepted = kWouldBlock;
    EXPECT_TRUE(client.PollUntil([&] {
        accepted = listener.Accept();
        return accepted != kWouldBlock;
    }));
    EXPECT_RESULT(accepted, kNetworkFatal);
    // The client sees its connection end.
    EXPECT_TRUE(client.PollUntil([&] { return !client.socket.HasSocket(); }));
}

#include <gtest/gtest.h>

#include "BoxCapture.h"
#include "ScriptedPeer.h"
#include "SocketProbe.h"

TEST(TCPSocket, PollWithoutHandleDoesNothing)
{
    SocketProbe probe;
    EXPECT_EQ(probe.socket.Poll(), 0);
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
    ASSERT_EQ(probe.socket.Create(0), 0);
    ASSERT_EQ(probe.socket.Connect(LoopbackAddress(), peer.Port()), 0);
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
    ASSERT_EQ(probe.socket.Create(ClosedPort()), 0);
    // Port 0 takes the default port given to Create.
    ASSERT_EQ(probe.socket.Connect(LoopbackAddress(), 0), 0);
    EXPECT_TRUE(probe.PollUntil([&] { return !probe.socket.HasSocket(); }));
    EXPECT_EQ(probe.socket.GetState(), kSocketConnectFailed);
    ASSERT_FALSE(probe.events.empty());
    EXPECT_EQ(probe.events.front(), "close");
    EXPECT_EQ(probe.Count("connect:0"), 1);
    EXPECT_EQ(probe.socket.IsConnected(), 0);
    // Nothing is left to poll.
    EXPECT_EQ(probe.socket.Poll(), 0);
}

TEST(TCPSocket, TwentyMegabytesToASlowReaderArriveWhole)
{
    const size_t size = 20u << 20;
    ScriptedPeer peer;
    peer.ReadUntilClosed(65536, 0);
    peer.Start();

    SocketProbe probe;
    ASSERT_EQ(probe.outgoing.Resize(static_cast<int32_t>(size)), 0);
    const std::string body = PatternBytes(size);
    probe.outgoing.CopyFrom(body.data(), static_cast<int32_t>(size));
    ASSERT_EQ(probe.socket.Create(0), 0);
    ASSERT_EQ(probe.socket.Connect(LoopbackAddress(), peer.Port()), 0);
    EXPECT_TRUE(probe.PollUntil([&] { return probe.outgoing.Count() == 0; }, 60000));
    EXPECT_EQ(probe.socket.Close(), 0);

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
    ASSERT_EQ(probe.socket.Create(0), 0);
    ASSERT_EQ(probe.socket.Connect(LoopbackAddress(), peer.Port()), 0);
    EXPECT_TRUE(probe.PollUntil([&] { return probe.socket.IsConnected() != 0; }));

    probe.closeRefusals = 1;
    EXPECT_EQ(probe.socket.Close(), kBusy);
    EXPECT_TRUE(probe.socket.HasSocket());
    EXPECT_EQ(probe.socket.IsConnected(), 0);
    // Still usable: the next close goes through.
    EXPECT_EQ(probe.socket.Close(), 0);
    EXPECT_FALSE(probe.socket.HasSocket());
    EXPECT_EQ(probe.Count("close"), 2);
    EXPECT_TRUE(peer.Join());
}

#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "ScriptedPeer.h"
#include "SocketProbe.h"

// Twenty megabytes to a peer that reads slowly: the sends meet back-pressure and every byte
// arrives in order. The owner's close callback may then refuse the close once.
TEST(TCPSocket, TwentyMegabytesToASlowReaderArriveWholeAndTheOwnerMayRefuseTheClose)
{
    const size_t size = 20u << 20;
    ScriptedPeer peer;
    peer.ReadUntilClosed(65536);
    peer.Start();
    SocketProbe probe;
    const std::string body = PatternBytes(size);
    ASSERT_OK(probe.outgoing.Resize(static_cast<int32_t>(size)));
    probe.outgoing.CopyFrom(body.data(), static_cast<int32_t>(size));
    ASSERT_OK(probe.socket.Create(0));
    ASSERT_OK(probe.socket.Connect(LoopbackAddress(), peer.Port()));
    EXPECT_TRUE(probe.PollUntil([&] { return probe.outgoing.Count() == 0; }, 60000));
    EXPECT_TRUE(probe.sawBackPressure);
    probe.closeRefusals = 1;
    EXPECT_RESULT(probe.socket.Close(), kBusy);
    EXPECT_TRUE(probe.socket.HasSocket());
    EXPECT_OK(probe.socket.Close());
    EXPECT_FALSE(probe.socket.HasSocket());
    EXPECT_TRUE(peer.Join());
    EXPECT_EQ(probe.socket.GetBytesSent(), size);
    EXPECT_TRUE(peer.Received() == body);
}

// A peer that sends 200,000 bytes and closes at once, read 1,000 bytes per readable event:
// bytes left waiting are offered again on every poll and the close waits for the last of them.
TEST(TCPSocket, BytesLeftWaitingAreReadBeforeThePeersClose)
{
    const std::string body = PatternBytes(200000);
    ScriptedPeer peer;
    peer.Send(body);
    peer.Start();
    SocketProbe probe;
    probe.socket.SetProc(
        kReadProc,
        [](uintptr_t, uintptr_t, void* context) -> gCResult {
            SocketProbe* owner = static_cast<SocketProbe*>(context);
            char piece[1000];
            uint32_t n = sizeof piece;
            const gCResult r = owner->socket.Receive(n, piece);
            if (r == kOk)
                owner->received.append(piece, n);
            return r == kWouldBlock ? kOk : r;
        },
        &probe);
    ASSERT_OK(probe.socket.Create(0));
    ASSERT_OK(probe.socket.Connect(LoopbackAddress(), peer.Port()));
    // The peer's bytes and its close are there before the first read.
    Sleep(200);
    EXPECT_TRUE(probe.PollUntil([&] { return !probe.socket.HasSocket(); }));
    EXPECT_TRUE(peer.Join());
    EXPECT_EQ(probe.socket.GetState(), kSocketClosed);
    EXPECT_TRUE(probe.received == body) << probe.received.size();
}

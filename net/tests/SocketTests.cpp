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

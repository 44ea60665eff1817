#include "SocketProbe.h"

namespace {
SocketProbe* Probe(void* context)
{
    return static_cast<SocketProbe*>(context);
}
} // namespace

SocketProbe::SocketProbe()
{
    EnsureWinSockForTests();
    socket.SetProc(
        kReadProc, [](uintptr_t, uintptr_t, void* c) { return Probe(c)->Read(); }, this);
    socket.SetProc(
        kCloseProc,
        [](uintptr_t, uintptr_t, void* c) -> gCResult { return Probe(c)->closeRefusals-- > 0 ? kBusy : kOk; }, this);
    socket.SetProc(
        kResolvedProc,
        [](uintptr_t, uintptr_t, void* c) -> gCResult {
            ++Probe(c)->resolved;
            return kOk;
        },
        this);
}

SocketProbe::~SocketProbe()
{
    socket.SetProc(kCloseProc, nullptr, nullptr);
    // The test is over; a close failure has no one to tell.
    (void)socket.Close();
}

gCResult SocketProbe::Read()
{
    CMemBlockT<char> block;
    QV_RETURN_IF_FAILED(block.Resize(64000));
    uint32_t n = 64000;
    const gCResult r = socket.Receive(n, block);
    if (r == kOk)
        received.append(block.Data(), n);
    return r == kWouldBlock ? kOk : r;
}

bool SocketProbe::SendQueued()
{
    while (socket.IsWritable() && outgoing.Count() > 0) {
        const uint32_t asked = static_cast<uint32_t>(outgoing.Count());
        uint32_t n = asked;
        const gCResult r = socket.Send(n, outgoing);
        sawBackPressure = sawBackPressure || r == kWouldBlock || n < asked;
        if (r != kOk)
            return r == kWouldBlock;
    }
    return true;
}

bool SocketProbe::PollUntil(const std::function<bool()>& done, int ms)
{
    return WaitUntil(
        done, [this] { return socket.Poll() == kOk && SendQueued(); }, ms);
}

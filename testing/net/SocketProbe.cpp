#include "SocketProbe.h"

#include "Wait.h"

SocketProbe::SocketProbe()
{
    EnsureWinSockForTests();
    socket.SetProc(kReadProc, OnRead, this);
    socket.SetProc(kCloseProc, OnClose, this);
    socket.SetProc(kResolvedProc, OnResolved, this);
}

SocketProbe::~SocketProbe()
{
    socket.SetProc(kCloseProc, nullptr, nullptr);
    // The test is over; a close failure has no one to tell.
    (void)socket.Close();
}

gCResult SocketProbe::OnRead(uintptr_t, uintptr_t, void* context)
{
    SocketProbe* probe = static_cast<SocketProbe*>(context);
    CMemBlockT<char> block;
    QV_RETURN_IF_FAILED(block.Resize(64000));
    uint32_t n = 64000;
    gCResult r = probe->socket.Receive(n, block);
    if (r == kWouldBlock)
        return kOk;
    if (r != 0)
        return r;
    probe->received.append(block.Data(), n);
    return kOk;
}

gCResult SocketProbe::OnClose(uintptr_t, uintptr_t, void* context)
{
    SocketProbe* probe = static_cast<SocketProbe*>(context);
    if (probe->closeRefusals > 0) {
        --probe->closeRefusals;
        return kBusy;
    }
    return kOk;
}

gCResult SocketProbe::OnResolved(uintptr_t, uintptr_t, void* context)
{
    ++static_cast<SocketProbe*>(context)->resolved;
    return kOk;
}

bool SocketProbe::SendQueued()
{
    while (socket.IsWritable() && outgoing.Count() > 0) {
        uint32_t n = static_cast<uint32_t>(outgoing.Count());
        uint32_t asked = n;
        gCResult r = socket.Send(n, outgoing);
        if (r == kWouldBlock) {
            sawBackPressure = true;
            return true;
        }
        if (r != 0)
            return false;
        if (n < asked)
            sawBackPressure = true;
    }
    return true;
}

bool SocketProbe::PollUntil(const std::function<bool()>& done, int ms)
{
    return WaitUntil(
        done, [this] { return socket.Poll() == kOk && SendQueued(); }, ms);
}

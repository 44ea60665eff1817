// A test owner of one CTCPSocket: reads everything that arrives and sends what it is given, as
// the HTTP session does; counts resolutions and may refuse closes.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "CTCPSocket.h"
#include "Loopback.h"
#include "Wait.h"

class SocketProbe {
public:
    SocketProbe();
    // The socket outlives the members its callbacks write to: close it quietly first.
    ~SocketProbe();

    CTCPSocket socket;
    std::string received;
    CMemBlockT<char> outgoing;
    int closeRefusals = 0;
    bool sawBackPressure = false;
    int resolved = 0;

    // Polls (and sends) until done() or the time runs out.
    bool PollUntil(const std::function<bool()>& done, int ms = kWaitMs);

private:
    // Sends what is queued while the socket is writable; true while nothing failed.
    bool SendQueued();
    // Takes what arrived.
    gCResult Read();
};

#include "Loopback.h"

#include <gtest/gtest.h>

#include <string>

#include "NetHandles.h"
#include "WinSock.h"

void EnsureWinSockForTests()
{
    static const bool started = StartupWinSock() == kOk;
    if (!started)
        ADD_FAILURE() << "WinSock did not start";
}

uint32_t LoopbackAddress()
{
    return htonl(INADDR_LOOPBACK);
}

gCString HostAndPort(uint16_t port)
{
    return gCString((L"127.0.0.1:" + std::to_wstring(port)).c_str());
}

namespace {

// A socket bound to a free port on 127.0.0.1.
SOCKET BindLoopback(uint16_t& port)
{
    EnsureWinSockForTests();
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof local;
    port = 0;
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        ADD_FAILURE() << "cannot bind a loopback socket: " << WSAGetLastError();
        return s;
    }
    port = ntohs(local.sin_port);
    return s;
}

} // namespace

SOCKET ListenOnLoopback(uint16_t& port)
{
    SOCKET s = BindLoopback(port);
    if (s != INVALID_SOCKET && listen(s, 8) != 0)
        ADD_FAILURE() << "cannot listen on a loopback socket: " << WSAGetLastError();
    return s;
}

uint16_t ClosedPort()
{
    uint16_t port = 0;
    CUniqueSocket bound(BindLoopback(port)); // closed at once: nothing listens on the port
    return port;
}

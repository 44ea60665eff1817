#include "Loopback.h"

#include <gtest/gtest.h>

#include <string>

#include "WinSock.h"

void EnsureWinSockForTests()
{
    static const bool started = StartupWinSock() == kOk;
    if (!started)
        ADD_FAILURE() << "WinSock did not start";
}

gCString HostAndPort(uint16_t port)
{
    return gCString((L"127.0.0.1:" + std::to_wstring(port)).c_str());
}

SOCKET ListenOnLoopback(uint16_t& port)
{
    EnsureWinSockForTests();
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof local;
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&local), &size) != 0 || listen(s, 8) != 0)
        ADD_FAILURE() << "cannot listen on a loopback socket: " << WSAGetLastError();
    port = ntohs(local.sin_port);
    return s;
}

// Addresses and sockets of the tests' own on 127.0.0.1 (the product never binds).
#pragma once
#include <winsock2.h>

#include <cstdint>

#include "gCString.h"

// WinSock is started once for the test program's whole run, by the first helper that needs it.
void EnsureWinSockForTests();

inline uint32_t LoopbackAddress()
{
    return htonl(INADDR_LOOPBACK);
}
// "127.0.0.1:<port>", as a URL's host part.
gCString HostAndPort(uint16_t port);
// A listening socket bound to a free port on 127.0.0.1, to hand to a socket or session.
SOCKET ListenOnLoopback(uint16_t& port);

// Owners of the WinSock handles. Both closes can be refused; the owner then keeps the handle
// so the caller can report the failure and try again.
#pragma once
#include <winsock2.h>

#include "WinHandle.h"

struct SocketHandleTraits {
    using Type = SOCKET;
    static constexpr bool kKeepsRefused = true;
    static Type Invalid() { return INVALID_SOCKET; }
    static bool Close(Type s) { return closesocket(s) == 0; }
};
using CUniqueSocket = CUniqueHandle<SocketHandleTraits>;

struct NetEventTraits {
    using Type = WSAEVENT;
    static constexpr bool kKeepsRefused = true;
    static Type Invalid() { return WSA_INVALID_EVENT; }
    static bool Close(Type e) { return WSACloseEvent(e) != FALSE; }
};
using CUniqueNetEvent = CUniqueHandle<NetEventTraits>;

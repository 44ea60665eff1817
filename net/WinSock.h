// Starting and stopping WinSock 2.2, and the one place where WinSock error codes become
// the two network result codes: 27 (try again later) and 28 (networking is unusable).
#pragma once
#include <winsock2.h>

#include <cstdint>

#include "gCResult.h"

// 0, or 1 after reporting why WinSock cannot be used.
int32_t StartupWinSock();
// Ends one start that StartupWinSock made: 0, or the class of WSACleanup's failure. Without
// such a start it does nothing and returns 0.
gCResult CleanupWinSock();

// 28 or 27 for the codes it knows; any other code is shown to the user and gives 1.
gCResult GetErrFatality(uint32_t code);

// WSAStartup behind a replaceable function, so tests can stand in for a library that agrees
// to another version. Returns the function that was in place.
typedef int(WSAAPI* WSAStartupFn)(WORD version, LPWSADATA data);
WSAStartupFn SetWSAStartupFunction(WSAStartupFn fn);

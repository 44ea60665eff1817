#include "WinSock.h"

#include <atomic>
#include <cwchar>

#include "AppHost.h"
#include "MessageBoxHook.h"
#include "ReplaceableHook.h"
#include "ReportError.h"

namespace {

CReplaceableHook<WSAStartupFn> gStartup(WSAStartup);
// Start-ups that succeeded and have not been cleaned up: a cleanup without one would end a
// start that other code of the process made (a start-up that failed leaves nothing to end).
std::atomic<int32_t> gOpenStartups{0};

const uint16_t kFatalCodes[] = {
    10004, 10013, 10014, 10022, 10024, 10037, 10041, 10043, 10044, 10045, 10047, 10050, 10056, 10091, 10092,
    10093, 10101, 10102, 10103, 10104, 10105, 10106, 10107, 10108, 10109, 10110, 10111, 10112, 11003, 11004,
};

const uint16_t kRetryCodes[] = {
    10035, 10036, 10038, 10048, 10049, 10051, 10053, 10054, 10055, 10057, 10058, 10060, 10061, 11001, 11002,
};

template <size_t N>
bool Contains(const uint16_t (&codes)[N], uint32_t code)
{
    for (uint16_t c : codes)
        if (c == code)
            return true;
    return false;
}

HWND MainWindowHandle()
{
    IAppHost* host = GetAppHost();
    return host ? host->GetMainWindowHandle() : nullptr;
}

} // namespace

WSAStartupFn SetWSAStartupFunction(WSAStartupFn fn)
{
    return gStartup.Set(fn);
}

int32_t StartupWinSock()
{
    WSADATA data;
    if (gStartup.Get()(MAKEWORD(2, 2), &data) != 0) {
        ReportError(kNetworkFatal, "WinSock DLL unavailable or unsuitable");
        return 1;
    }
    if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
        ReportError(kNetworkFatal, "WinSock DLL version does not support Winsock 2.2");
        if (WSACleanup() == SOCKET_ERROR)
            // Only classified: start-up has failed already.
            (void)GetErrFatality(static_cast<uint32_t>(WSAGetLastError()));
        return 1;
    }
    ++gOpenStartups;
    return 0;
}

gCResult CleanupWinSock()
{
    int32_t open = gOpenStartups.load();
    while (open > 0 && !gOpenStartups.compare_exchange_weak(open, open - 1)) {
    }
    if (open == 0)
        return kOk;
    if (WSACleanup() == SOCKET_ERROR)
        return GetErrFatality(static_cast<uint32_t>(WSAGetLastError()));
    return kOk;
}

gCResult GetErrFatality(uint32_t code)
{
    if (Contains(kFatalCodes, code))
        return kNetworkFatal;
    if (Contains(kRetryCodes, code))
        return kWouldBlock;
    wchar_t text[96];
    std::swprintf(text, sizeof text / sizeof text[0], L"Unknown net error detected by GetErrFatality (%u).",
                  static_cast<unsigned>(code));
    ShowMessageBox(MainWindowHandle(), text, L"Message", MB_OK);
    return kGenericFailure;
}

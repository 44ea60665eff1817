// Downloads a 100,000,000-byte body from the local Python server through CHTTPSession,
// polled on heartbeat ticks as the application's main loop polls it, checks every byte and
// prints the rate and the process's peak memory.
//
//   net_bench.exe [bytes]
#include <winsock2.h>

#include <cstdio>
#include <cstdlib>

#include "BenchLoop.h"
#include "CHTTPSession.h"
#include "LocalHttpServer.h"
#include "WinSock.h"

int wmain(int argc, wchar_t** argv)
{
    const uint64_t size = argc > 1 ? std::wcstoull(argv[1], nullptr, 10) : 100000000ull;
    if (StartupWinSock() != 0)
        return 1;
    LocalHttpServer server;
    if (!server.Start()) {
        std::printf("server: %s\n", server.Error().c_str());
        return 1;
    }

    CHTTPSession session;
    session.readToClose = 1;
    wchar_t host[32];
    std::swprintf(host, 32, L"127.0.0.1:%u", static_cast<unsigned>(server.Port()));
    wchar_t path[40];
    std::swprintf(path, 40, L"/bytes/%llu", static_cast<unsigned long long>(size));

    Stopwatch watch;
    if (session.OpenURL(1, gCString(host), gCString(path), gCString(L""), gCString(L""), 0) != 0) {
        std::printf("the request could not be opened\n");
        return 1;
    }
    const uint64_t ticks = RunOnHeartbeat([&] { return !session.HasSocket(); }, [&] { (void)session.Poll(); });
    const double seconds = watch.Seconds();

    const uint64_t received = session.GetReceived();
    const uint64_t wrong = CountWrongBytes(session.GetBody());
    std::printf("received %llu of %llu bytes, %llu wrong, final state %u\n", static_cast<unsigned long long>(received),
                static_cast<unsigned long long>(size), static_cast<unsigned long long>(wrong), session.GetState());
    std::printf("%.2f s, %.1f MB/s, %llu ticks\n", seconds, static_cast<double>(received) / 1e6 / seconds,
                static_cast<unsigned long long>(ticks));
    PrintPeakMemory(size);
    server.Stop();
    (void)CleanupWinSock(); // the process ends next
    return received == size && wrong == 0 ? 0 : 1;
}

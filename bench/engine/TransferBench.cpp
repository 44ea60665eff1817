// Receives a 100,000,000-byte update file from the project's update server through the
// transfer manager, pumped on heartbeat ticks as the updater's main loop pumps it, checks
// every byte of the delivered file and prints the rate and the process's peak memory.
// Compare with net_bench.exe (the plain session) run on the same machine at the same time.
//
//   transfer_bench.exe [bytes]
#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchLoop.h"
#include "CQVUTransferManager.h"
#include "HostServer.h"
#include "UpdaterMessages.h"
#include "WinSock.h"

namespace {

// The application's side: keeps the delivered file.
class KeepingApp : public gCCmdTarget {
public:
    uint32_t OnMessage(uint32_t id, uint32_t, uint32_t b, uint32_t, uint32_t) override
    {
        if (id == kMsgFileArrived || id == kMsgUpdaterFileArrived)
            body = reinterpret_cast<gCMemFile*>(static_cast<uintptr_t>(b));
        if (id == kMsgTransferFailed || id == kMsgPageOrBrokenArrived)
            failed = true;
        return 0;
    }
    gCMemFile* body = nullptr;
    bool failed = false;
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const uint64_t size = argc > 1 ? std::wcstoull(argv[1], nullptr, 10) : 100000000ull;
    UpdateServer server;
    if (!server.Start(L"--mode file --size " + std::to_wstring(size))) {
        std::printf("server: %s\n", server.Error().c_str());
        return 1;
    }
    KeepingApp app;
    SetAppMessageTarget(&app);
    int result = 1;
    {
        CQVUTransferManager manager;
        if (StartupWinSock() != kOk)
            return 1;
        Stopwatch watch;
        if (CQVUTransferManager::RequestURL(&manager, server.Host(), gCString(L"/update?protocol=4")) != kOk) {
            std::printf("the request could not be opened\n");
            return 1;
        }
        const uint64_t ticks = RunOnHeartbeat([&] { return app.body || app.failed; }, [&] { manager.PumpSessions(); });
        const double seconds = watch.Seconds();
        const uint64_t received = app.body ? static_cast<uint64_t>(app.body->GetLength()) : 0;
        const uint64_t wrong = app.body ? CountWrongBytes(*app.body) : 0;
        std::printf("delivered %llu of %llu bytes, %llu wrong\n", static_cast<unsigned long long>(received),
                    static_cast<unsigned long long>(size), static_cast<unsigned long long>(wrong));
        std::printf("%.2f s, %.1f MB/s, %llu ticks\n", seconds, static_cast<double>(received) / 1e6 / seconds,
                    static_cast<unsigned long long>(ticks));
        PrintPeakMemory(size);
        result = received == size && wrong == 0 ? 0 : 1;
    }
    SetAppMessageTarget(nullptr);
    return result;
}

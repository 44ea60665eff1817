// Downloads a 100,000,000-byte body from the local Python server through CHTTPSession,
// polled on heartbeat ticks as the application's main loop polls it, checks every byte and
// prints the rate and the process's peak memory.
//
//   net_bench.exe [bytes]
#include <winsock2.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "CHTTPSession.h"
#include "LocalHttpServer.h"
#include "WinSock.h"

namespace {

const UINT_PTR kTickId = 0xF24;

std::atomic<int> gRunning{1};
std::atomic<int> gTickPending{0};

// The heartbeat: a tick about every 3 ms, and only while none is pending.
void Heartbeat(DWORD mainThread)
{
    while (gRunning.load()) {
        if (!gTickPending.exchange(1))
            PostThreadMessageW(mainThread, WM_TIMER, kTickId, 0);
        Sleep(3);
    }
}

uint8_t PatternByte(uint64_t position)
{
    uint32_t p = static_cast<uint32_t>(position % 65521u);
    return static_cast<uint8_t>((p * 7u) ^ (p >> 8));
}

uint64_t CountWrongBytes(gCMemFile& body)
{
    const uint8_t* data = body.GetData();
    const uint64_t n = static_cast<uint64_t>(body.GetLength());
    uint64_t wrong = 0;
    for (uint64_t i = 0; i < n; ++i)
        if (data[i] != PatternByte(i))
            ++wrong;
    return wrong;
}

double PeakMegabytes(SIZE_T bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

} // namespace

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

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (session.OpenURL(1, gCString(host), gCString(path), gCString(L""), gCString(L""), 0) != 0) {
        std::printf("the request could not be opened\n");
        return 1;
    }
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    std::thread heartbeat(Heartbeat, GetCurrentThreadId());
    uint64_t ticks = 0;
    while (session.HasSocket() && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.wParam == kTickId) {
            gTickPending.store(0);
            ++ticks;
            // A failed poll shows as a short download below.
            (void)session.Poll();
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    QueryPerformanceCounter(&end);
    gRunning.store(0);
    heartbeat.join();

    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    const uint64_t received = session.GetReceived();
    const uint64_t wrong = CountWrongBytes(session.GetBody());
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("received %llu of %llu bytes, %llu wrong, final state %u\n", static_cast<unsigned long long>(received),
                static_cast<unsigned long long>(size), static_cast<unsigned long long>(wrong), session.GetState());
    std::printf("%.2f s, %.1f MB/s, %llu ticks\n", seconds, static_cast<double>(received) / 1e6 / seconds,
                static_cast<unsigned long long>(ticks));
    std::printf("peak working set %.1f MiB, peak committed %.1f MiB\n", PeakMegabytes(memory.PeakWorkingSetSize),
                PeakMegabytes(memory.PeakPagefileUsage));
    server.Stop();
    // The figures are out; nothing follows.
    (void)CleanupWinSock();
    return received == size && wrong == 0 ? 0 : 1;
}

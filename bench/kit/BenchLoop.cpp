#include "BenchLoop.h"

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "CAppWin.h"
#include "CTimer.h"
#include "ScriptedPeer.h"

namespace {

std::atomic<int> gRunning{1};
std::atomic<int> gTickPending{0};

// As the program's heartbeat: 3 ms after a post, and then only once the pump has handled the
// tick before.
void Heartbeat(DWORD mainThread)
{
    while (gRunning.load()) {
        Sleep(3);
        while (gTickPending.load() && gRunning.load())
            Sleep(3);
        if (!gTickPending.exchange(1))
            PostThreadMessageW(mainThread, WM_TIMER, CAppWin::kTickId, 0);
    }
}

double Mebibytes(SIZE_T bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

} // namespace

uint64_t RunOnHeartbeat(const std::function<bool()>& done, const std::function<void()>& tick)
{
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    gRunning.store(1);
    gTickPending.store(0);
    std::thread heartbeat(Heartbeat, GetCurrentThreadId());
    uint64_t ticks = 0;
    while (!done() && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.wParam == CAppWin::kTickId) {
            ++ticks;
            tick();
            gTickPending.store(0);
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    gRunning.store(0);
    heartbeat.join();
    return ticks;
}

Stopwatch::Stopwatch() : m_start(GetPreciseTime()) {}

double Stopwatch::Seconds() const
{
    return static_cast<double>(GetPreciseTime() - m_start) / 1e6;
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

void PrintPeakMemory(uint64_t size)
{
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    const double file = static_cast<double>(size);
    std::printf("peak working set %.1f MiB (%.2f x the body), peak committed %.1f MiB (%.2f x the body)\n",
                Mebibytes(memory.PeakWorkingSetSize), static_cast<double>(memory.PeakWorkingSetSize) / file,
                Mebibytes(memory.PeakPagefileUsage), static_cast<double>(memory.PeakPagefileUsage) / file);
}

// What the network benchmarks share: the main loop driven by a heartbeat thread (a tick about
// every 3 ms, only while none is pending, as the application's heartbeat does), a timer, the
// check of a received pattern body and the process's peak memory.
#pragma once
#include <cstdint>
#include <functional>

#include "gCMemFile.h"

// Pumps this thread's messages and calls tick() on every heartbeat tick until done() holds
// after a tick; returns the number of ticks.
uint64_t RunOnHeartbeat(const std::function<bool()>& done, const std::function<void()>& tick);

// Seconds since the stopwatch was made.
class Stopwatch {
public:
    Stopwatch();
    double Seconds() const;

private:
    int64_t m_start = 0;
};

// Bytes of the body that differ from the shared test pattern.
uint64_t CountWrongBytes(gCMemFile& body);

// Prints the peak working set and peak committed memory, in MiB and as a multiple of the
// size given.
void PrintPeakMemory(uint64_t size);

// Downloads a 100,000,000-byte body from the local Python server through CHTTPSession,
// polled on heartbeat ticks as the application's main loop polls it, and checks every byte.
// Its floor, in turns with it: a bare loop of blocking reads of 64,000 bytes, the session's
// piece, from the same server into a fresh block of the body's size (the body must land in
// memory that the download makes). Prints the samples of both, the longest poll and the
// memory committed for the body, one "name=value" line each.
//
//   net_bench.exe [bytes [port]]
//
// With a port, the server already listening there serves the bytes (tools/bench-updater.sh
// starts it outside Wine, so that it does not share the CPU that Wine is kept on).
// The memory figure is the most committed memory seen after any poll, less what the process
// had committed before the first request, as a multiple of the body.
#include <winsock2.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Alternate.h"
#include "BenchLoop.h"
#include "CHTTPSession.h"
#include "HostServer.h"
#include "NetHandles.h"
#include "WinSock.h"

namespace {

const int kPiece = 64000;

// The process's committed memory now. (Wine's peak figure forgets memory freed before it
// is asked, so the download samples this after every poll.)
SIZE_T Committed()
{
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    return memory.PagefileUsage;
}

struct Download {
    double seconds = 0;
    double longestPoll = 0;
    uint64_t ticks = 0;
    SIZE_T mostCommitted = 0;
    bool whole = false;
};

Download RunSession(uint16_t port, uint64_t size)
{
    Download result;
    CHTTPSession session;
    session.readToClose = 1;
    wchar_t host[32];
    std::swprintf(host, 32, L"127.0.0.1:%u", static_cast<unsigned>(port));
    wchar_t path[40];
    std::swprintf(path, 40, L"/bytes/%llu", static_cast<unsigned long long>(size));
    // As in the program, the request is made on a tick of a heartbeat that already runs (its
    // thread's start is no part of a download) and the session is polled on the ticks after.
    Stopwatch watch;
    bool opened = false;
    bool failed = false;
    result.ticks = RunOnHeartbeat([&] { return failed || (opened && !session.HasSocket()); },
                                  [&] {
                                      if (!opened) {
                                          watch = Stopwatch();
                                          opened = true;
                                          failed = session.OpenURL(1, gCString(host), gCString(path), gCString(L""),
                                                                   gCString(L""), 0) != kOk;
                                          return;
                                      }
                                      Stopwatch poll;
                                      (void)session.Poll(); // the end shows in the received count
                                      result.longestPoll = std::max(result.longestPoll, poll.Seconds());
                                      result.mostCommitted = std::max(result.mostCommitted, Committed());
                                  });
    if (failed)
        return result;
    result.seconds = watch.Seconds();
    result.whole = session.GetReceived() == size && CountWrongBytes(session.GetBody()) == 0;
    return result;
}

// Blocking reads straight into a fresh block; the time from the request to the last byte, or a
// negative time when the body did not arrive whole.
double BareReceive(uint16_t port, uint64_t size)
{
    char* block = static_cast<char*>(VirtualAlloc(nullptr, size + 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!block)
        return -1;
    CUniqueSocket socketOwner(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    const SOCKET s = socketOwner.Get();
    if (!socketOwner.IsValid())
        return -1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string request =
        "GET /bytes/" + std::to_string(size) + " HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    Stopwatch watch;
    uint64_t total = 0;
    bool sent = connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
                send(s, request.data(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size());
    // The reply's header block lands in the block's first bytes and is counted with the body.
    for (int got = 1; sent && got > 0; total += static_cast<uint64_t>(got > 0 ? got : 0)) {
        const uint64_t room = size + 4096 - total;
        got = recv(s, block + total, static_cast<int>(std::min<uint64_t>(room, kPiece)), 0);
    }
    const double seconds = watch.Seconds();
    VirtualFree(block, 0, MEM_RELEASE);
    return total > size ? seconds : -1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const uint64_t size =
        argc > 1 ? std::wcstoull(argv[1], nullptr, 10) : static_cast<uint64_t>(100000000ull * BenchScale());
    if (StartupWinSock() != kOk)
        return 1;
    HostServer server;
    const uint16_t given = argc > 2 ? static_cast<uint16_t>(std::wcstoul(argv[2], nullptr, 10)) : 0;
    if (!given && !server.Start(L"http_server.py", L"")) {
        std::printf("server: %s\n", server.Error().c_str());
        return 1;
    }
    const uint16_t port = given ? given : server.Port();
    // A process looks up the machine's address once, at its first socket: a name lookup, no
    // part of a download, which the floor does not make either. It is made before the turns.
    CTCPSocket first;
    (void)first.Create(port); // a socket that cannot be made leaves the lookup to the download
    std::printf("download_mb=%.1f\n", size / 1e6);
    const SIZE_T before = Committed();
    double longestPoll = 0;
    SIZE_T mostCommitted = before;
    const bool done = Alternate(BenchRounds(), {{"download_s",
                                                 [&] {
                                                     const Download d = RunSession(port, size);
                                                     longestPoll = std::max(longestPoll, d.longestPoll);
                                                     mostCommitted = std::max(mostCommitted, d.mostCommitted);
                                                     return d.whole ? d.seconds : -1;
                                                 }},
                                                {"bare_recv_fresh_s", [&] { return BareReceive(port, size); }}});
    if (!given)
        server.Stop();
    (void)CleanupWinSock(); // the process ends next
    const double bodyMemory = static_cast<double>(mostCommitted - before) / static_cast<double>(size);
    std::printf("longest_poll_ms=%.1f\nbody_memory_ratio=%.3f\n", longestPoll * 1000, bodyMemory);
    return done ? 0 : 1;
}

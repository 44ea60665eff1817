// A scripted peer for the socket and HTTP tests: a thread of the test program with its own
// listening socket on 127.0.0.1 that accepts one connection, plays its script (read the
// request, answer in pieces, pause, read slowly) and closes the connection at the script's end.
// Every blocking call has a timeout, so a test that goes wrong fails instead of hanging.
#pragma once
#include <winsock2.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Loopback.h"
#include "NetHandles.h"

class ScriptedPeer {
public:
    ScriptedPeer();
    ~ScriptedPeer();

    uint16_t Port() const { return m_port; }

    // Script steps, played in order once Start is called.
    ScriptedPeer& ReadRequest();
    ScriptedPeer& Send(const std::string& bytes) { return SendInPieces(bytes, bytes.size(), 0); }
    ScriptedPeer& SendInPieces(const std::string& bytes, size_t piece, int pauseMs);
    ScriptedPeer& Pause(int ms);
    // Reads until the client closes, in reads of at most piece bytes.
    ScriptedPeer& ReadUntilClosed(size_t piece);

    void Start();
    // Waits for the script to end; false when it timed out or failed. Read what the peer
    // received after it.
    bool Join();
    const std::string& Request() const { return m_request; }
    const std::string& Received() const { return m_received; }

private:
    typedef std::function<bool(SOCKET)> Step;
    ScriptedPeer& Then(Step step);
    void Run();

    CUniqueSocket m_listener;
    uint16_t m_port = 0;
    std::vector<Step> m_steps;
    std::thread m_thread;
    std::string m_request;
    std::string m_received;
    bool m_ok = false;
};

// A body of n bytes that changes with every position, so a lost or repeated piece shows.
std::string PatternBytes(size_t n, size_t start = 0);
uint8_t PatternByte(uint64_t position);

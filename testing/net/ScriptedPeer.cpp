#include "ScriptedPeer.h"

#include <algorithm>

#include "Wait.h"

namespace {

bool WaitReadable(SOCKET s)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval limit{kWaitMs / 1000, 0};
    return select(0, &set, nullptr, nullptr, &limit) == 1;
}

// Reads into `into` until `end` arrives or, without one, until the client closes; false on a
// timeout, an error or a close before `end`.
bool ReadInto(SOCKET s, size_t piece, std::string& into, const char* end)
{
    std::vector<char> buffer(piece);
    for (;;) {
        const int got = WaitReadable(s) ? recv(s, buffer.data(), static_cast<int>(piece), 0) : -1;
        if (got < 0 || (got == 0 && end))
            return false;
        into.append(buffer.data(), static_cast<size_t>(got));
        if (got == 0 || (end && into.find(end) != std::string::npos))
            return true;
    }
}

} // namespace

uint8_t PatternByte(uint64_t position)
{
    // A period of 65521 (prime) never lines up with a read or chunk size.
    uint32_t p = static_cast<uint32_t>(position % 65521u);
    return static_cast<uint8_t>((p * 7u) ^ (p >> 8));
}

std::string PatternBytes(size_t n, size_t start)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(PatternByte(start + i));
    return s;
}

ScriptedPeer::ScriptedPeer()
{
    m_listener.Reset(ListenOnLoopback(m_port));
}

ScriptedPeer::~ScriptedPeer()
{
    Join();
}

ScriptedPeer& ScriptedPeer::Then(Step step)
{
    m_steps.push_back(std::move(step));
    return *this;
}

ScriptedPeer& ScriptedPeer::ReadRequest()
{
    return Then([this](SOCKET s) { return ReadInto(s, 65536, m_request, "\r\n\r\n"); });
}

ScriptedPeer& ScriptedPeer::ReadUntilClosed(size_t piece)
{
    return Then([this, piece](SOCKET s) { return ReadInto(s, piece, m_received, nullptr); });
}

ScriptedPeer& ScriptedPeer::SendInPieces(const std::string& bytes, size_t piece, int pauseMs)
{
    return Then([bytes, piece, pauseMs](SOCKET s) {
        for (size_t at = 0; at < bytes.size(); at += piece) {
            // A blocking send returns once all of it is handed over.
            const int n = static_cast<int>(std::min(piece, bytes.size() - at));
            if (send(s, bytes.data() + at, n, 0) != n)
                return false;
            Sleep(static_cast<DWORD>(pauseMs));
        }
        return true;
    });
}

ScriptedPeer& ScriptedPeer::Pause(int ms)
{
    return Then([ms](SOCKET) {
        Sleep(static_cast<DWORD>(ms));
        return true;
    });
}

void ScriptedPeer::Start()
{
    m_thread = std::thread([this] { Run(); });
}

bool ScriptedPeer::Join()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_ok;
}

void ScriptedPeer::Run()
{
    if (!WaitReadable(m_listener.Get()))
        return;
    CUniqueSocket s(accept(m_listener.Get(), nullptr, nullptr));
    bool ok = s.IsValid();
    for (size_t i = 0; ok && i < m_steps.size(); ++i)
        ok = m_steps[i](s.Get());
    shutdown(s.Get(), SD_SEND); // then closed: the script's end is the connection's
    m_ok = ok;
}

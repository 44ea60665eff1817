#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include "Wait.h"

namespace {

enum { kRead, kSend, kPause, kClose, kReset, kReadUntilClosed };

bool WaitReadable(SOCKET s, int ms)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &limit) == 1;
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
    m_listener.Reset(BindLoopback(m_port));
    if (m_port != 0 && listen(m_listener.Get(), 4) != 0) {
        ADD_FAILURE() << "the scripted peer cannot listen: " << WSAGetLastError();
        m_port = 0;
    }
}

ScriptedPeer::~ScriptedPeer()
{
    m_stop = true;
    Join();
}

ScriptedPeer& ScriptedPeer::ReadRequest()
{
    m_steps.push_back({kRead, {}, 0, 0, 1});
    return *this;
}

ScriptedPeer& ScriptedPeer::Send(const std::string& bytes)
{
    m_steps.push_back({kSend, bytes, bytes.size(), 0, 1});
    return *this;
}

ScriptedPeer& ScriptedPeer::SendInPieces(const std::string& bytes, size_t piece, int pauseMs)
{
    m_steps.push_back({kSend, bytes, piece, pauseMs, 1});
    return *this;
}

ScriptedPeer& ScriptedPeer::SendRepeated(const std::string& bytes, int times)
{
    m_steps.push_back({kSend, bytes, bytes.size(), 0, times});
    return *this;
}

ScriptedPeer& ScriptedPeer::Pause(int ms)
{
    m_steps.push_back({kPause, {}, 0, ms, 1});
    return *this;
}

ScriptedPeer& ScriptedPeer::Close()
{
    m_steps.push_back({kClose, {}, 0, 0, 1});
    return *this;
}

ScriptedPeer& ScriptedPeer::Reset()
{
    m_steps.push_back({kReset, {}, 0, 0, 1});
    return *this;
}

ScriptedPeer& ScriptedPeer::ReadUntilClosed(size_t piece, int pauseMs)
{
    m_steps.push_back({kReadUntilClosed, {}, piece, pauseMs, 1});
    return *this;
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

std::string ScriptedPeer::Request()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_request;
}

std::string ScriptedPeer::Received()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_received;
}

void ScriptedPeer::Run()
{
    if (!WaitReadable(m_listener.Get(), kWaitMs))
        return;
    CUniqueSocket s(accept(m_listener.Get(), nullptr, nullptr));
    if (!s.IsValid())
        return;
    bool ok = true;
    for (const Step& step : m_steps) {
        if (!ok || m_stop)
            break;
        ok = PlayStep(s, step);
    }
    if (s.IsValid())
        shutdown(s.Get(), SD_SEND);
    m_ok = ok;
}

bool ScriptedPeer::SendAll(SOCKET s, const char* data, size_t n)
{
    while (n > 0) {
        int sent = send(s, data, static_cast<int>(n), 0);
        if (sent <= 0)
            return false;
        data += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

bool ScriptedPeer::PlayStep(CUniqueSocket& socket, const Step& step)
{
    const SOCKET s = socket.Get();
    char buffer[65536];
    switch (step.kind) {
    case kRead:
        for (;;) {
            {
                std::lock_guard<std::mutex> hold(m_lock);
                if (m_request.find("\r\n\r\n") != std::string::npos)
                    return true;
            }
            if (!WaitReadable(s, kWaitMs))
                return false;
            int got = recv(s, buffer, sizeof buffer, 0);
            if (got <= 0)
                return false;
            std::lock_guard<std::mutex> hold(m_lock);
            m_request.append(buffer, static_cast<size_t>(got));
        }
    case kSend:
        for (int round = 0; round < step.repeat; ++round) {
            for (size_t at = 0; at < step.bytes.size(); at += step.piece) {
                size_t n = step.bytes.size() - at < step.piece ? step.bytes.size() - at : step.piece;
                if (!SendAll(s, step.bytes.data() + at, n))
                    return false;
                if (step.ms > 0)
                    Sleep(static_cast<DWORD>(step.ms));
            }
        }
        return true;
    case kPause:
        Sleep(static_cast<DWORD>(step.ms));
        return true;
    case kClose:
        shutdown(s, SD_SEND);
        socket.Reset();
        return true;
    case kReset: {
        linger hard{1, 0};
        setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
        socket.Reset();
        return true;
    }
    case kReadUntilClosed:
        for (;;) {
            if (!WaitReadable(s, kWaitMs))
                return false;
            size_t want = step.piece < sizeof buffer ? step.piece : sizeof buffer;
            int got = recv(s, buffer, static_cast<int>(want), 0);
            if (got < 0)
                return false;
            if (got == 0)
                return true;
            {
                std::lock_guard<std::mutex> hold(m_lock);
                m_received.append(buffer, static_cast<size_t>(got));
            }
            if (step.ms > 0)
                Sleep(static_cast<DWORD>(step.ms));
        }
    }
    return false;
}

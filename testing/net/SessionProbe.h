// A test owner of one CHTTPSession: every callback is set and records what it saw, in order.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "CHTTPSession.h"
#include "Wait.h"

class SessionProbe {
public:
    SessionProbe();
    ~SessionProbe();

    CHTTPSession session;
    std::vector<uint32_t> states;
    std::vector<uint32_t> perMille;
    // Header pairs that AddRequestHeadersProc appends.
    std::vector<std::pair<std::wstring, std::wstring>> extraHeaders;

    // Polls the session until done() or the time runs out; false on timeout.
    bool PollUntil(const std::function<bool()>& done, int ms = kWaitMs);
    // Polls until the socket is closed.
    bool PollToEnd()
    {
        return PollUntil([this] { return !session.HasSocket(); });
    }
    // The events in order, separated by spaces.
    const std::string& EventLine() const { return m_events; }
    std::string Body();

private:
    gCResult Note(const std::string& event);

    std::string m_events;
};

// The connections that a listening session accepted. The listening session owns them: it
// polls them from its own poll and closes and deletes each one once its exchange is over, so
// that no session is deleted from inside one of its own callbacks.
#pragma once
#include <cstdint>

#include "gCArray.h"
#include "gCResult.h"

class CHTTPSession;

class CAcceptedSessions {
public:
    CAcceptedSessions() = default;
    ~CAcceptedSessions();
    CAcceptedSessions(const CAcceptedSessions&) = delete;
    CAcceptedSessions& operator=(const CAcceptedSessions&) = delete;

    // Takes the session; on failure (5) the caller still owns it.
    gCResult Add(CHTTPSession* session);
    // Polls every session once and retires those that are done: stopped with nothing left to
    // send, closed, or failed. A failed connection ends only itself, never the listening.
    void PollAll();
    int32_t Count() const { return m_sessions.Count(); }
    CHTTPSession* At(int32_t index) const { return m_sessions[index]; }

private:
    gCArray<CHTTPSession*> m_sessions;
};

#include "CAcceptedSessions.h"

#include "CHTTPSession.h"

CAcceptedSessions::~CAcceptedSessions()
{
    for (int32_t i = 0; i < m_sessions.Count(); ++i)
        delete m_sessions[i];
}

gCResult CAcceptedSessions::Add(CHTTPSession* session)
{
    return m_sessions.Add(session);
}

void CAcceptedSessions::PollAll()
{
    for (int32_t i = m_sessions.Count() - 1; i >= 0; --i) {
        CHTTPSession* session = m_sessions[i];
        const gCResult r = session->Poll();
        const bool done = session->IsStopped() && session->GetSendBlock().Count() == 0;
        if (r == kOk && session->HasSocket() && !done)
            continue;
        // A close that fails or is refused still ends the session: its destructor closes the handle.
        (void)session->Close();
        m_sessions.RemoveAt(i);
        delete session;
    }
}

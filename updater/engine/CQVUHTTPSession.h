// The HTTP session of every exchange with the update server: a client CHTTPSession that
// speaks HTTP/1.0 and reads the reply up to the server's close. It turns the session's
// events into status lines for the view, reports the body's progress in whole percent, keeps
// a copy of the reply's headers for FindReplyHeader and tells the application about a reply
// that carries "QVU-UpdaterSend". Created by the transfer manager or, on its request, by the
// application (CQVULocalHTTPSession, texts in the user's language).
#pragma once
#include <cstdint>

#include "CHTTPSession.h"
#include "gCString.h"
#include "gCStringArray.h"

class CQVUTransferManager;
class IUpdaterHost;

class CQVUHTTPSession : public CHTTPSession {
public:
    CQVUHTTPSession();
    ~CQVUHTTPSession() override;

    gCResult ReceiveBody() override;

    virtual gCString TextResolveFailed();
    virtual gCString TextConnectFailed();
    virtual gCString TextResponseReceived();
    virtual gCString TextServerFound();

    // 0 found, 1 not found (value unchanged), 12 when the copies differ in length. Names are
    // compared without regard to case; the first of several equal names wins.
    gCResult FindReplyHeader(gCString name, gCString& value) const;

    // Callback handlers, with the session as context.
    static gCResult OnResolved(uintptr_t a, uintptr_t b, void* context);
    static gCResult OnResolveFailed(uintptr_t a, uintptr_t b, void* context);
    static gCResult OnConnectFailed(CHTTPSession* session, void* context);
    static gCResult OnReplyHeaders(gCStringArray& names, gCStringArray& values, void* context);

    // The red connect-failed line, posted at most once per session: a refused reply, a
    // connection closed before any reply and a server that never answers all end in it.
    gCResult PostConnectFailedOnce();

    int32_t GetLastPercent() const { return m_lastPercent; }
    const gCStringArray& GetReplyHeaderNames() const { return m_replyHeaderNames; }
    const gCStringArray& GetReplyHeaderValues() const { return m_replyHeaderValues; }

    // The transfer manager that adopted the session; null until then.
    CQVUTransferManager* owner = nullptr;

protected:
    // Sends the text as a status line in the colour; the send's result.
    gCResult PostLine(gCString text, uint32_t colour);

private:
    gCResult SendProgress(int32_t percent);

    int32_t m_lastPercent = 0;
    gCStringArray m_replyHeaderNames;
    gCStringArray m_replyHeaderValues;
    uint32_t m_connectFailedPosted = 0;
};

// The same session with its four texts (52 to 55) from the application's string table.
class CQVULocalHTTPSession : public CQVUHTTPSession {
public:
    explicit CQVULocalHTTPSession(const IUpdaterHost& app);

    gCString TextResolveFailed() override;
    gCString TextConnectFailed() override;
    gCString TextResponseReceived() override;
    gCString TextServerFound() override;

private:
    const IUpdaterHost& m_app;
};

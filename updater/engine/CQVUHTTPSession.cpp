#include "CQVUHTTPSession.h"

#include "CQVUTransferManager.h"
#include "LocalString.h"
#include "LocalTextIds.h"
#include "PresentMainContent.h"
#include "UpdaterHost.h"
#include "UpdaterMessages.h"

namespace {

CQVUHTTPSession* SessionOf(void* context)
{
    return static_cast<CQVUHTTPSession*>(context);
}

gCResult IgnoreTransferError(CHTTPSession*, void*)
{
    return kOk;
}

// A copy of a header list; an entry without characters becomes the empty string. When
// memory runs out the copy keeps what it had (FindReplyHeader then sees differing counts).
void CopyHeaderList(const gCStringArray& from, gCStringArray& to)
{
    gCStringArray copy;
    for (int32_t i = 0; i < from.Count(); ++i) {
        const gCString text(from[i].IsEmpty() ? L"" : from[i].Text());
        if (copy.Add(text) != kOk)
            return;
    }
    to.Release();
    for (int32_t i = 0; i < copy.Count(); ++i)
        if (to.Add(copy[i]) != kOk)
            return;
}

} // namespace

CQVUHTTPSession::CQVUHTTPSession()
{
    protocolVersion = gCString(L"1.0");
    readToClose = 1;
    SetProc(kResolvedProc, OnResolved, this);
    SetProc(kResolveFailedProc, OnResolveFailed, this);
    RequestFailedProc.proc = OnConnectFailed;
    RequestFailedProc.context = this;
    TransferErrorProc.proc = IgnoreTransferError;
    TransferErrorProc.context = this;
    ReplyHeadersProc.proc = OnReplyHeaders;
    ReplyHeadersProc.context = this;
}

CQVUHTTPSession::~CQVUHTTPSession() = default;

gCString CQVUHTTPSession::TextResolveFailed()
{
    return gCString(L"Unable to locate the download server - please check your Internet connection, or try again "
                    L"later!");
}

gCString CQVUHTTPSession::TextConnectFailed()
{
    return gCString(L"Found the location of the download server, but couldn't connect to it. Please check your "
                    L"Internet connection, or try again later!");
}

gCString CQVUHTTPSession::TextResponseReceived()
{
    return gCString(L"Received response from server, download is ready to begin.");
}

gCString CQVUHTTPSession::TextServerFound()
{
    return gCString(L"Server location found, now attempting to contact server.");
}

gCResult CQVUHTTPSession::PostLine(gCString text, uint32_t colour)
{
    return static_cast<gCResult>(SendToView(kMsgStatusLine, MessageWord(&text), colour, 0));
}

gCResult CQVUHTTPSession::OnResolved(uintptr_t, uintptr_t, void* context)
{
    CQVUHTTPSession* session = SessionOf(context);
    return session->PostLine(session->TextServerFound(), kLineBlack);
}

gCResult CQVUHTTPSession::OnResolveFailed(uintptr_t, uintptr_t, void* context)
{
    CQVUHTTPSession* session = SessionOf(context);
    return session->PostLine(session->TextResolveFailed(), kLineRed);
}

gCResult CQVUHTTPSession::OnConnectFailed(CHTTPSession*, void* context)
{
    return SessionOf(context)->PostConnectFailedOnce();
}

gCResult CQVUHTTPSession::PostConnectFailedOnce()
{
    if (m_connectFailedPosted)
        return kOk;
    m_connectFailedPosted = 1;
    return PostLine(TextConnectFailed(), kLineRed);
}

gCResult CQVUHTTPSession::OnReplyHeaders(gCStringArray& names, gCStringArray& values, void* context)
{
    CQVUHTTPSession* session = SessionOf(context);
    QV_RETURN_IF_FAILED(session->PostLine(session->TextResponseReceived(), kLineBlack));
    CopyHeaderList(names, session->m_replyHeaderNames);
    CopyHeaderList(values, session->m_replyHeaderValues);
    gCString value;
    if (session->FindReplyHeader(gCString(L"QVU-UpdaterSend"), value) == kOk && session->owner) {
        session->owner->SetUpdaterSend();
        // Only the view's line hangs on this notice; the transfer goes on whatever it says.
        (void)session->owner->SendToApp(kMsgUpdaterSendSeen, MessageWord(session->owner), 0, 0);
    }
    return kOk;
}

gCResult CQVUHTTPSession::FindReplyHeader(gCString name, gCString& value) const
{
    if (m_replyHeaderNames.Count() != m_replyHeaderValues.Count())
        return kOutOfRange;
    name.MakeUpper();
    for (int32_t i = 0; i < m_replyHeaderNames.Count(); ++i) {
        gCString stored(m_replyHeaderNames[i]);
        stored.MakeUpper();
        if (stored.Equals(name.Text())) {
            value = gCString(m_replyHeaderValues[i].IsEmpty() ? L"" : m_replyHeaderValues[i].Text());
            return kOk;
        }
    }
    return kGenericFailure;
}

gCResult CQVUHTTPSession::ReceiveBody()
{
    QV_RETURN_IF_FAILED(CHTTPSession::ReceiveBody());
    if (m_total == 0)
        return kOk;
    const int32_t percent = static_cast<int32_t>(m_received * 100 / m_total);
    // The stored step moves only by 5 or more below 100, so every other change is still sent,
    // and 100 is sent again by each later block.
    if (percent - m_lastPercent >= 5 && percent < 100) {
        m_lastPercent = percent;
        return SendProgress(percent);
    }
    if (percent != m_lastPercent)
        return SendProgress(percent);
    return kOk;
}

gCResult CQVUHTTPSession::SendProgress(int32_t percent)
{
    const int64_t wide = percent;
    QV_RETURN_IF_FAILED(static_cast<gCResult>(
        SendToView(kMsgProgress, MessageWord(this), static_cast<uint32_t>(wide), SignWord(wide))));
    // Only the display: progress that cannot be shown now shows at the next paint, and the
    // transfer goes on.
    (void)PresentMainContent();
    return kOk;
}

CQVULocalHTTPSession::CQVULocalHTTPSession(const IUpdaterHost& app) : m_app(app) {}

gCString CQVULocalHTTPSession::TextResolveFailed()
{
    return LocalText(m_app, kTextResolveFailed);
}

gCString CQVULocalHTTPSession::TextConnectFailed()
{
    return LocalText(m_app, kTextConnectFailed);
}

gCString CQVULocalHTTPSession::TextResponseReceived()
{
    return LocalText(m_app, kTextResponseReceived);
}

gCString CQVULocalHTTPSession::TextServerFound()
{
    return LocalText(m_app, kTextServerFound);
}

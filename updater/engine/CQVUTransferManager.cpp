#include "CQVUTransferManager.h"

#include <windows.h>

#include <new>

#include "CAppBase.h"
#include "CWindowBase.h"
#include "LocalString.h"
#include "LocalTextIds.h"
#include "MessageBoxHook.h"
#include "PresentMainContent.h"
#include "StateTrace.h"
#include "UpdaterHost.h"
#include "UpdaterMessages.h"
#include "WinSock.h"

namespace {

// Content types are compared without regard to case ("Text/HTML" is a page too).
bool ContainsText(const gCString& contentType)
{
    gCString upper(contentType);
    upper.MakeUpper();
    const wchar_t* t = upper.Text();
    for (int32_t i = 0; i + 4 <= upper.Length(); ++i)
        if (t[i] == L'T' && t[i + 1] == L'E' && t[i + 2] == L'X' && t[i + 3] == L'T')
            return true;
    return false;
}

// Takes the session's callbacks to the manager away, so that its close reports nothing.
void Detach(CQVUHTTPSession* session)
{
    session->StateChangedProc = nullptr;
    session->FinishedProc.proc = nullptr;
    session->FinishedProc.context = nullptr;
}

// The server answered: its headers were accepted and its body had begun (even when the body
// broke in the same read as the headers), or the body was refused as too large, a download that
// could not be taken rather than a server out of reach.
bool ReplyAccepted(const CQVUHTTPSession* session)
{
    return session->IsInBody() || session->IsBodyRefused();
}

using TransferState = CQVUTransferManager::TransferState;
const StateName<TransferState> kTransferStateNames[] = {
    {TransferState::kNone, "none"},          {TransferState::kRunning, "running"},
    {TransferState::kFailed, "failed"},      {TransferState::kConnected, "connected"},
    {TransferState::kReported, "reported"},  {TransferState::kReplyWhole, "whole reply"},
    {TransferState::kReplyCut, "cut reply"}, {TransferState::kClosing, "closing"},
};
// The three states whose numbers the application reads, and those from connected to closing.
static_assert(sizeof kTransferStateNames / sizeof kTransferStateNames[0] ==
                  static_cast<size_t>(TransferState::kClosing) - static_cast<size_t>(TransferState::kConnected) + 4,
              "a name for every state");

} // namespace

CQVUTransferManager::CQVUTransferManager() = default;

CQVUTransferManager::~CQVUTransferManager()
{
    SetState(TransferState::kClosing);
    if (m_session) {
        Detach(m_session);
        (void)m_session->Close(); // the session goes now, whatever its socket says
        delete m_session;
        m_session = nullptr;
    }
    (void)CleanupWinSock(); // the counterpart of the application's start-up; nothing to do on failure
    for (int32_t i = 0; i < m_retiredSessions.Count(); ++i)
        delete m_retiredSessions[i];
    m_retiredSessions.Release();
}

gCString CQVUTransferManager::TextReceivedOK()
{
    return gCString(L"Update file received OK.");
}

gCString CQVUTransferManager::TextFailReasonMissing()
{
    return gCString(L"Unknown fail reason, header not found");
}

gCString CQVUTransferManager::TextStartErrorHeading()
{
    return gCString(L"-- An error occurred when trying to start the download: --");
}

gCString CQVUTransferManager::TextStartFailed()
{
    return gCString(L"Download couldn't be started!");
}

gCString CQVUTransferManager::TextDownloadErrorHeading()
{
    return gCString(L"-- An error occurred during the download: --");
}

gCString CQVUTransferManager::TextDownloadFailed()
{
    return gCString(L"Download Failed!");
}

gCString CQVUTransferManager::TextLookingUp()
{
    return gCString(L"Looking up server...");
}

gCString CQVUTransferManager::TextConnectionLost()
{
    return gCString(L"Connection failed during download.");
}

gCString CQVUTransferManager::TextOutsideProcess()
{
    return gCString(L"File received outside valid process");
}

gCString CQVUTransferManager::TextTransferError()
{
    return gCString(L"Transfer error");
}

gCResult CQVUTransferManager::PostLine(gCString text, uint32_t colour, uint32_t id)
{
    return static_cast<gCResult>(SendToView(id, MessageWord(&text), colour, 0));
}

void CQVUTransferManager::SetState(TransferState state)
{
    if (state == m_state)
        return;
    TraceStateChange("transfer", kTransferStateNames, m_state, state);
    m_state = state;
}

int32_t CQVUTransferManager::GetState() const
{
    switch (m_state) {
    case TransferState::kNone:
    case TransferState::kRunning:
    case TransferState::kFailed:
        return static_cast<int32_t>(m_state);
    default:
        return kTransferRunning;
    }
}

bool CQVUTransferManager::IsRunning() const
{
    return m_state == TransferState::kRunning || m_state == TransferState::kConnected;
}

gCResult CQVUTransferManager::RequestURL(CQVUTransferManager* manager, gCString host, gCString target)
{
    // From here the number reads 2; what the last transfer reached holds until the next starts.
    if (manager->m_state == TransferState::kNone)
        manager->SetState(TransferState::kRunning);
    else if (manager->m_state == TransferState::kFailed)
        manager->SetState(TransferState::kReported);
    QV_RETURN_IF_FAILED(manager->PostLine(manager->TextLookingUp(), kLineBlack, kMsgStatusLine));
    return manager->StartTransfer(host, target);
}

void CQVUTransferManager::RetireSession()
{
    if (!m_session)
        return;
    // A retired session reports nothing: its close must not look like the end of a reply.
    Detach(m_session);
    (void)m_session->Close(); // a failed close leaves nothing to report; the session is deleted at the next pump
    if (m_retiredSessions.Add(m_session) != kOk) {
        // No room to wait for the pump: nobody is inside this session now, as it was detached.
        delete m_session;
    }
    m_session = nullptr;
}

gCResult CQVUTransferManager::StartTransfer(gCString host, gCString target)
{
    RetireSession();
    SetState(TransferState::kRunning);
    m_lastReceived = 0;
    m_lastActivity = GetTickCount();
    // The application answers with a localised session, or with nothing.
    (void)SendToAppFlag0(kMsgSupplySession, MessageWord(this), MessageWord(&m_session), 0);
    if (!m_session) {
        m_session = new (std::nothrow) CQVUHTTPSession();
        if (!m_session)
            return kCreateFailure;
    }
    m_session->owner = this;
    m_session->StateChangedProc = OnSessionStateChange;
    m_session->FinishedProc.proc = OnDownloadFinished;
    m_session->FinishedProc.context = this;
    return m_session->OpenURL(1, host, target, gCString(L""), gCString(L""), 0);
}

void CQVUTransferManager::CancelTransfer()
{
    // A finished transfer keeps its session for the reply's headers.
    if (!IsActive(m_session))
        return;
    RetireSession();
    // The broken-off reply's mark must not make the next request's file the updater's own.
    m_updaterSend = 0;
    SetState(TransferState::kNone);
}

void CQVUTransferManager::PumpSessions()
{
    if (m_session) {
        // Failures of the transfer reach the manager through the session's callbacks.
        (void)m_session->Poll();
        CheckIdle();
    }
    while (m_retiredSessions.Count() > 0) {
        CQVUHTTPSession* retired = m_retiredSessions[0];
        retired->readToClose = 0;
        delete retired;
        m_retiredSessions.RemoveAt(0);
    }
}

bool CQVUTransferManager::IsActive(CHTTPSession* session) const
{
    return IsRunning() && session && session == m_session;
}

void CQVUTransferManager::CheckIdle()
{
    if (!IsActive(m_session) || !m_session->HasSocket())
        return;
    const uint32_t now = GetTickCount();
    const uint32_t received = m_session->GetBytesReceived();
    if (received != m_lastReceived) {
        m_lastReceived = received;
        m_lastActivity = now;
        return;
    }
    if (now - m_lastActivity < m_idleTimeoutMs)
        return;
    // The session stays the active one, so its headers can still be read.
    Detach(m_session);
    (void)m_session->Close(); // it is given up either way
    // A failed report has nobody left to tell.
    (void)EndLostTransfer();
}

gCResult CQVUTransferManager::EndLostTransfer()
{
    SetState(TransferState::kReported);
    gCResult result = PostTransferEnded();
    if (ReplyAccepted(m_session)) {
        // The reply had begun: what arrived is not the file.
        (void)SendToApp(kMsgPageOrBrokenArrived, MessageWord(this), 0, 0); // the sound only
        gCResult r = ReportDownloadError(TextConnectionLost());
        return result != kOk ? result : r;
    }
    gCResult r = m_session->PostConnectFailedOnce();
    return result != kOk ? result : r;
}

gCResult CQVUTransferManager::OnSessionStateChange(CHTTPSession* changed)
{
    CQVUHTTPSession* session = static_cast<CQVUHTTPSession*>(changed);
    CQVUTransferManager* manager = session->owner;
    if (!manager || !manager->IsActive(session))
        return kOk;
    const uint32_t state = session->GetState();
    if (state == kSocketConnected) {
        manager->SetState(TransferState::kConnected);
        return kOk;
    }
    if (state != kSocketConnectFailed && state != kSocketClosedWithError)
        return kOk;
    if (ReplyAccepted(session) || manager->m_state == TransferState::kConnected)
        return manager->EndLostTransfer();
    // Lookup failures and refused connections post their own line.
    manager->SetState(TransferState::kReported);
    return manager->PostTransferEnded();
}

gCResult CQVUTransferManager::PostTransferEnded()
{
    const int32_t state = GetState();
    const gCResult r = static_cast<gCResult>(
        SendToApp(kMsgTransferFailed, MessageWord(this), static_cast<uint32_t>(state), SignWord(state)));
    if (r == kOk)
        SetState(TransferState::kFailed);
    return r;
}

gCResult CQVUTransferManager::OnDownloadFinished(CHTTPSession* session, gCString, gCString, uint32_t complete, uint32_t,
                                                 void* context)
{
    CQVUTransferManager* manager = static_cast<CQVUTransferManager*>(context);
    if (!manager->IsActive(session))
        return kOk;
    manager->SetState(complete ? TransferState::kReplyWhole : TransferState::kReplyCut);
    QV_RETURN_IF_FAILED(manager->DispatchReply());
    (void)PresentMainContent(); // the lines are posted; a missed present only waits for the next paint
    return kOk;
}

gCResult CQVUTransferManager::DispatchReply()
{
    if (GetState() != kTransferRunning || !m_session) {
        CWindowBase* window = GetMainWindow();
        (void)ShowMessageBox(window ? window->GetHandle() : nullptr, TextOutsideProcess().Text(),
                             TextTransferError().Text(), MB_OK); // only OK can be pressed
        return kOk;
    }
    const bool page = ContainsText(m_session->GetContentType());
    if (m_state != TransferState::kReplyWhole || page) {
        (void)SendToApp(kMsgPageOrBrokenArrived, MessageWord(this), 0, 0); // the sound only
        return page ? ReportFailHeaders() : ReportDownloadError(TextConnectionLost());
    }
    (void)SendToApp(kMsgCompleteFileArrived, MessageWord(this), 0, 0); // the sound only
    return DeliverDownload(m_session->GetBody());
}

gCResult CQVUTransferManager::GetReplyHeader(CQVUTransferManager* manager, gCString name, gCString& value)
{
    if (!manager->m_session)
        return kGenericFailure;
    return manager->m_session->FindReplyHeader(name, value);
}

gCResult CQVUTransferManager::DeliverDownload(gCMemFile& body)
{
    QV_RETURN_IF_FAILED(PostLine(TextReceivedOK(), kLineBlack, kMsgStatusLine));
    // The file outlives the session that received it: the application keeps the pointer for
    // the installation, and the next request retires the session.
    if (&body != &m_delivered)
        m_delivered.TakeOver(body);
    (void)m_delivered.Rewind(); // a memory stream always rewinds
    const uint32_t id = m_updaterSend ? kMsgUpdaterFileArrived : kMsgFileArrived;
    return static_cast<gCResult>(SendToApp(id, MessageWord(this), MessageWord(&m_delivered), 0));
}

void CQVUTransferManager::ReleaseDelivered()
{
    gCMemFile empty;
    m_delivered.TakeOver(empty); // frees the old block
}

gCResult CQVUTransferManager::ReportFailHeaders()
{
    gCString reason;
    if (GetReplyHeader(this, gCString(L"QVU-FailReason"), reason) != kOk)
        reason = TextFailReasonMissing();
    gCString typeText;
    if (GetReplyHeader(this, gCString(L"QVU-FailType"), typeText) != kOk)
        typeText = gCString(L"-1");
    typeText.Trim(gCString(kTrimWhiteSpace));
    const int32_t type = typeText.ToInteger();
    if (type == 2) {
        (void)SendToView(kMsgAnswerType2, MessageWord(this), 0, 0); // the button's fade only
        QV_RETURN_IF_FAILED(PostLine(reason, kLineGreen, kMsgStatusLine));
    } else {
        QV_RETURN_IF_FAILED(PostLine(TextStartErrorHeading(), kLineRed, kMsgStatusLine));
        QV_RETURN_IF_FAILED(PostLine(reason, kLineRed, kMsgStatusLine));
        QV_RETURN_IF_FAILED(PostLine(TextStartFailed(), kLineRed, kMsgReportClosingLine));
    }
    // The report is out; what the application makes of it is its own affair.
    (void)SendToApp(kMsgAnswerReported, MessageWord(this), static_cast<uint32_t>(type), SignWord(type));
    return kOk;
}

gCResult CQVUTransferManager::ReportDownloadError(gCString detail)
{
    detail.Trim(gCString(kTrimWhiteSpace));
    gCString quoted(L"\"");
    QV_RETURN_IF_FAILED(quoted.Append(detail));
    QV_RETURN_IF_FAILED(quoted.AppendText(L"\""));
    QV_RETURN_IF_FAILED(PostLine(TextDownloadErrorHeading(), kLineRed, kMsgStatusLine));
    QV_RETURN_IF_FAILED(PostLine(quoted, kLineLightRed, kMsgStatusLine));
    QV_RETURN_IF_FAILED(PostLine(TextDownloadFailed(), kLineRed, kMsgReportClosingLine));
    (void)SendToApp(kMsgBrokenDownloadReported, MessageWord(this), 0, 0); // the report is out
    return kOk;
}

CQVULocalTransferManager::CQVULocalTransferManager(const IUpdaterHost& app) : m_app(app) {}

gCString CQVULocalTransferManager::TextReceivedOK()
{
    return LocalText(m_app, kTextReceivedOK);
}

gCString CQVULocalTransferManager::TextFailReasonMissing()
{
    return LocalText(m_app, kTextFailReasonMissing);
}

gCString CQVULocalTransferManager::TextStartErrorHeading()
{
    return LocalText(m_app, kTextStartErrorHeading);
}

gCString CQVULocalTransferManager::TextStartFailed()
{
    return LocalText(m_app, kTextStartFailed);
}

gCString CQVULocalTransferManager::TextDownloadErrorHeading()
{
    return LocalText(m_app, kTextDownloadErrorHeading);
}

gCString CQVULocalTransferManager::TextDownloadFailed()
{
    return LocalText(m_app, kTextDownloadFailed);
}

gCString CQVULocalTransferManager::TextLookingUp()
{
    return LocalText(m_app, kTextLookingUp);
}

gCString CQVULocalTransferManager::TextConnectionLost()
{
    return LocalText(m_app, kTextConnectionLost);
}

gCString CQVULocalTransferManager::TextOutsideProcess()
{
    return LocalText(m_app, kTextOutsideProcess);
}

gCString CQVULocalTransferManager::TextTransferError()
{
    return LocalText(m_app, kTextTransferError);
}

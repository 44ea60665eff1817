#include "CHTTPSession.h"

#include <cstring>
#include <new>

#include "CResolver.h"
#include "ReportError.h"
#include "StateTrace.h"
#include "gCStream.h"

namespace {

gCResult DoNothing(uintptr_t, uintptr_t, void*)
{
    return kOk;
}

CHTTPSession* SessionOf(void* context)
{
    return static_cast<CHTTPSession*>(context);
}

using ReplyState = CHTTPSession::ReplyState;
const StateName<ReplyState> kReplyStateNames[] = {
    {ReplyState::kAwaited, "awaited"},
    {ReplyState::kRefused, "refused"},
    {ReplyState::kUnreadable, "unreadable"},
    {ReplyState::kBroken, "broken"},
    {ReplyState::kBodyRefused, "body refused"},
    {ReplyState::kBodyStarting, "body starting"},
    {ReplyState::kStartFinished, "start finished"},
    {ReplyState::kBodyStartFailed, "body start failed"},
    {ReplyState::kInBody, "in body"},
    {ReplyState::kLastChunkSeen, "last chunk seen"},
    {ReplyState::kFinished, "finished"},
    {ReplyState::kBodyBroken, "body broken"},
};
static_assert(sizeof kReplyStateNames / sizeof kReplyStateNames[0] ==
                  static_cast<uint32_t>(ReplyState::kBodyBroken) + 1,
              "every reply state has its name");

} // namespace

void CHTTPSession::SetReplyState(ReplyState state)
{
    if (state == m_replyState)
        return;
    TraceStateChange("HTTP reply", kReplyStateNames, m_replyState, state);
    m_replyState = state;
}

uint32_t CHTTPSession::IsInBody() const
{
    switch (m_replyState) {
    case ReplyState::kBodyStarting:
    case ReplyState::kStartFinished:
    case ReplyState::kBodyStartFailed:
    case ReplyState::kInBody:
    case ReplyState::kLastChunkSeen:
    case ReplyState::kFinished:
    case ReplyState::kBodyBroken:
        return 1;
    default:
        return 0;
    }
}

uint32_t CHTTPSession::HeadersSeen() const
{
    return m_replyState == ReplyState::kInBody || m_replyState == ReplyState::kLastChunkSeen ||
                   m_replyState == ReplyState::kFinished || m_replyState == ReplyState::kBodyBroken
               ? 1
               : 0;
}

bool CHTTPSession::IsReplyOver() const
{
    return m_replyState == ReplyState::kRefused || m_replyState == ReplyState::kUnreadable ||
           m_replyState == ReplyState::kBodyStartFailed || IsReplyBroken();
}

bool CHTTPSession::IsReplyBroken() const
{
    return m_replyState == ReplyState::kBroken || m_replyState == ReplyState::kBodyRefused ||
           m_replyState == ReplyState::kBodyBroken;
}

bool CHTTPSession::IsFinished() const
{
    return m_replyState == ReplyState::kStartFinished || m_replyState == ReplyState::kFinished;
}

void CHTTPSession::AcceptHeaders()
{
    if (m_replyState == ReplyState::kBodyStarting)
        SetReplyState(ReplyState::kInBody);
    else if (m_replyState == ReplyState::kStartFinished)
        SetReplyState(ReplyState::kFinished);
}

CHTTPSession::CHTTPSession() : protocolVersion(L"1.1"), userAgent(L"") {}

CHTTPSession::~CHTTPSession()
{
    // The socket's destructor closes the connection; by then this session's members are
    // gone, so the close must not come back here.
    SetProc(kCloseProc, nullptr, nullptr);
    DeleteOutput();
}

CTCPSocket* CHTTPSession::CreateInstance()
{
    return new (std::nothrow) CHTTPSession();
}

void CHTTPSession::DeleteOutput()
{
    delete m_output;
    m_output = nullptr;
}

void CHTTPSession::SetSocketCallbacks()
{
    SetProc(kReservedProc0, DoNothing, this);
    SetProc(kReservedProc1, DoNothing, this);
    SetProc(kAcceptedProc, OnAcceptedConnection, this);
    SetProc(kConnectProc, OnConnectResult, this);
    SetProc(kAcceptProc, OnAccept, this);
    SetProc(kReadProc, OnReadable, this);
    SetProc(kWriteProc, DoNothing, this);
    SetProc(kCloseProc, OnClosed, this);
}

void CHTTPSession::ChangeState(uint32_t state)
{
    CTCPSocket::ChangeState(state);
    if (StateChangedProc) {
        gCResult r = StateChangedProc(this);
        if (r != kOk)
            ReportError(r, "HTTP session failed state change callback - CHTTPSession::ChangeState");
    }
}

gCResult CHTTPSession::OpenURL(uint32_t isClient, gCString hostAndPort, gCString path, gCString folder,
                               gCString fileName, uint32_t rangeStart)
{
    m_isClient = isClient;
    m_serverPump = isClient ? 0 : 1;
    gCString host;
    uint16_t port = 0;
    SplitHostPort(hostAndPort, host, port);
    if (port == 0)
        port = 80;
    if (isClient) {
        QV_RETURN_IF_FAILED(m_host.SetString(host));
        SetSocketCallbacks();
        QV_RETURN_IF_FAILED(Create(port));
        QV_RETURN_IF_FAILED(ConnectByName(m_host, port));
        QV_RETURN_IF_FAILED(QueueRequest(path, folder, fileName, rangeStart));
        m_port = port;
    }
    if (OpenedProc)
        QV_RETURN_IF_FAILED(OpenedProc(this));
    return kOk;
}

gCResult CHTTPSession::Poll()
{
    QV_RETURN_IF_FAILED(CTCPSocket::Poll());
    m_accepted.PollAll();
    if (!HasSocket() || !m_writable || m_stopped || m_sendBlock.Count() == 0)
        return kOk;
    uint32_t length = static_cast<uint32_t>(m_sendBlock.Count());
    gCResult r = Send(length, m_sendBlock);
    if (r == kWouldBlock)
        return kOk;
    if (r != kOk) {
        if (TransferErrorProc.proc)
            QV_RETURN_IF_FAILED(TransferErrorProc.proc(this, TransferErrorProc.context));
        m_stopped = 1;
        return kOk;
    }
    if (m_serverPump)
        return SendNextBodyPart();
    return kOk;
}

gCResult CHTTPSession::WriteBody(const char* bytes, uint32_t count)
{
    if (count == 0)
        return kOk;
    if (m_output)
        return m_output->WriteBytes(bytes, count);
    return m_body.WriteBytes(bytes, count);
}

gCResult CHTTPSession::CallRequestFailed()
{
    if (!RequestFailedProc.proc)
        return kOk;
    return RequestFailedProc.proc(this, RequestFailedProc.context);
}

gCResult CHTTPSession::OnConnectResult(uintptr_t, uintptr_t, void* context)
{
    CHTTPSession* session = SessionOf(context);
    if (session->GetState() != kSocketConnectFailed)
        return kOk;
    session->m_stopped = 1;
    return session->CallRequestFailed();
}

gCResult CHTTPSession::OnReadable(uintptr_t, uintptr_t, void* context)
{
    CHTTPSession* session = SessionOf(context);
    // One piece per tick would cap a download at the heartbeat's rate: read what waits, for
    // as long as the tick may take.
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const LONGLONG budget = frequency.QuadPart * kPollBudgetMs / 1000;
    for (;;) {
        QV_RETURN_IF_FAILED(session->ReadOnePiece());
        session->EndWholeAnnouncedBody();
        if (!session->m_dataPending || !session->HasSocket())
            break;
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (now.QuadPart - start.QuadPart >= budget)
            break;
    }
    return kOk;
}

void CHTTPSession::EndWholeAnnouncedBody()
{
    // A server that keeps the connection open after the whole announced body (as keep-alive
    // servers do, whatever the request asked) would hold the transfer until a timeout: the
    // reply is complete, and ends as the server's close would end it.
    if (readToClose && m_isClient && IsInBody() && !IsReplyOver() && !m_chunked && m_total > 0 &&
        m_received >= m_total && HasSocket())
        (void)Close(); // the close reports the end; a failing close has nothing more to tell
}

gCResult CHTTPSession::PrepareReadBlock()
{
    if (m_readBlock.Count() != static_cast<int32_t>(kReadPiece + kPieceEnd))
        QV_RETURN_IF_FAILED(m_readBlock.Resize(kReadPiece + kPieceEnd));
    return kOk;
}

bool CHTTPSession::PieceGoesIntoBody(uint32_t& most) const
{
    most = kReadPiece;
    if (!m_isClient || !IsInBody() || m_chunked || m_output || IsReplyOver() || m_receiveBuffer.Size() != 0)
        return false;
    if (m_total == 0)
        return true;
    // Bytes beyond the announced length take the long way, so the body's block, sized to
    // that length, never has to grow.
    if (m_received >= m_total)
        return false;
    if (m_total - m_received < most)
        most = static_cast<uint32_t>(m_total - m_received);
    return true;
}

gCResult CHTTPSession::ShowRead(const char* bytes, uint32_t count)
{
    QV_RETURN_IF_FAILED(PrepareReadBlock());
    char* piece = m_readBlock.Data();
    if (bytes != piece)
        std::memcpy(piece, bytes, count);
    piece[count] = 0;
    piece[count + 1] = 0;
    // Its answer is ignored: it only watches the bytes.
    (void)DataProc(this, m_readBlock, count);
    return kOk;
}

gCResult CHTTPSession::ReadOnePiece()
{
    // A plain body kept in memory is read where it belongs; anything else goes through the
    // read block and the receive buffer.
    uint32_t count = 0;
    const bool intoBody = PieceGoesIntoBody(count);
    char* bytes = nullptr;
    if (intoBody) {
        uint8_t* at = nullptr;
        QV_RETURN_IF_FAILED(m_body.RoomAhead(count, at));
        bytes = reinterpret_cast<char*>(at);
    } else {
        count = kReadPiece;
        QV_RETURN_IF_FAILED(PrepareReadBlock());
        bytes = m_readBlock.Data();
    }
    const uint32_t asked = count;
    gCResult r = Receive(count, bytes);
    // Only "would block" means that nothing is there yet. A reset, an abort or a connection
    // shut for reading shares its result class but ends the transfer.
    if (r == kWouldBlock && GetLastError() == WSAEWOULDBLOCK)
        return kOk;
    if (r != kOk)
        return FailReply(r);
    if (count > asked)
        count = 0;
    if (DataProc)
        QV_RETURN_IF_FAILED(ShowRead(bytes, count));
    if (IsReplyOver())
        return kOk;
    if (intoBody) {
        m_placed = count;
        return ReceiveBody();
    }
    QV_RETURN_IF_FAILED(m_receiveBuffer.Append(m_readBlock.Data(), count));
    if (!m_isClient)
        return ParseRequest();
    if (IsInBody())
        return ReceiveBody();
    r = ParseReply();
    if (r == kOk)
        return kOk;
    // A refused status or a broken body has been reported already.
    if (IsReplyOver())
        return r;
    m_stopped = 1;
    SetReplyState(IsInBody() ? ReplyState::kBodyStartFailed : ReplyState::kUnreadable);
    m_receiveBuffer.Clear();
    // A reply that cannot be parsed will not become valid: end the connection.
    // The unparsable reply is the failure that counts.
    (void)Close();
    if (RequestFailedProc.proc)
        return CallRequestFailed();
    return r;
}

gCResult CHTTPSession::OnClosed(uintptr_t, uintptr_t, void* context)
{
    CHTTPSession* session = SessionOf(context);
    if (session->m_serverPump)
        return session->OnServerClosed();
    session->m_stopped = 1;
    if (session->IsReplyBroken()) {
        session->DeleteOutput();
        session->ChangeState(kSocketClosedWithError);
        return kOk;
    }
    if (!session->HeadersSeen()) {
        session->ChangeState(kSocketConnectFailed);
        return kOk;
    }
    // Taken before the finish, which ends the body's own states.
    const bool complete = session->IsBodyComplete();
    if (session->BodyEndsAtClose()) {
        // It reports a failing finish itself; the transfer ends anyway.
        (void)session->OnDownloadFinished();
        if (session->readToClose || complete) {
            session->ChangeState(kSocketClosed);
            return kOk;
        }
        // A chunked body cut before its last chunk is a cut transfer like any other.
        return session->EndCutTransfer();
    }
    if (session->m_output)
        (void)session->OnDownloadFinished(); // it reports a failing finish itself
    if (complete) {
        session->ChangeState(kSocketClosed);
        return kOk;
    }
    return session->EndCutTransfer();
}

gCResult CHTTPSession::EndCutTransfer()
{
    ChangeState(kSocketClosedWithError);
    if (TransferErrorProc.proc)
        return TransferErrorProc.proc(this, TransferErrorProc.context);
    return kOk;
}

gCResult CHTTPSession::OnDownloadFinished()
{
    DeleteOutput();
    m_stopped = 1;
    // A body that goes on after its announced end must not finish twice.
    if (IsFinished())
        return kOk;
    const bool complete = IsBodyComplete();
    SetReplyState(m_replyState == ReplyState::kBodyStarting ? ReplyState::kStartFinished : ReplyState::kFinished);
    if (m_isClient && FinishedProc.proc) {
        gCResult r = FinishedProc.proc(this, m_folder, m_fileName, complete ? 1 : 0, static_cast<uint32_t>(m_received),
                                       FinishedProc.context);
        if (r != kOk)
            ReportError(r, "Download finished callback failed.");
    }
    return kOk;
}

gCResult CHTTPSession::OnAccept(uintptr_t, uintptr_t, void* context)
{
    return SessionOf(context)->Accept();
}

gCResult CHTTPSession::OnAcceptedConnection(uintptr_t created, uintptr_t, void* context)
{
    CHTTPSession* listening = SessionOf(context);
    CHTTPSession* session = reinterpret_cast<CHTTPSession*>(created);
    // The listening session owns what it accepts; a connection refused here is deleted at once.
    gCResult r = listening->SetUpAccepted(session);
    if (r == kOk)
        r = listening->m_accepted.Add(session);
    if (r != kOk)
        delete session;
    return r;
}

gCResult CHTTPSession::SetUpAccepted(CHTTPSession* session)
{
    if (NewConnectionProc)
        QV_RETURN_IF_FAILED(NewConnectionProc(this, session));
    session->ServerFileProc = ServerFileProc;
    session->ServerRequestProc = ServerRequestProc;
    session->ServerBodyProc = ServerBodyProc;
    session->ProgressProc = ProgressProc;
    session->OpenOutputProc = OpenOutputProc;
    session->FinishedProc = FinishedProc;
    session->RequestFailedProc = RequestFailedProc;
    session->TransferErrorProc = TransferErrorProc;
    session->NewConnectionProc = NewConnectionProc;
    session->OpenedProc = OpenedProc;
    session->StateChangedProc = StateChangedProc;
    session->SetReplyState(ReplyState::kAwaited);
    session->m_serverPump = 1;
    session->m_isClient = 0;
    // An accepted connection can send at once; a send that would block clears this until FD_WRITE.
    session->m_writable = 1;
    if (session->OpenedProc)
        QV_RETURN_IF_FAILED(session->OpenedProc(session));
    return kOk;
}

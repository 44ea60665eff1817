#include "CTCPSocket.h"

#include <cstring>
#include <new>

#include "CResolver.h"
#include "ReportError.h"
#include "StateTrace.h"
#include "WinSock.h"

namespace {
const long kSelectedEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
// The socket is read on heartbeat ticks, in bursts: between two of them the system must hold
// what arrives, or the sender stalls and a fast download runs at the tick's rate.
const int kReceiveBufferBytes = 4 * 1024 * 1024;
} // namespace

CTCPSocket::CTCPSocket() = default;

CTCPSocket::~CTCPSocket()
{
    // No caller is left to hear of a failed close.
    (void)Close();
}

void CTCPSocket::SetProc(TCPProcIndex index, TCPSocketProc proc, void* context)
{
    m_procs[index] = proc;
    m_procContexts[index] = context;
}

gCResult CTCPSocket::CallProc(TCPProcIndex index, uintptr_t a, uintptr_t b)
{
    if (!m_procs[index])
        return kOk;
    return m_procs[index](a, b, m_procContexts[index]);
}

void CTCPSocket::ChangeState(uint32_t state)
{
    static const StateName<uint32_t> names[] = {{kSocketNotStarted, "not started"},
                                                {kSocketConnecting, "connecting"},
                                                {kSocketConnectFailed, "connect failed"},
                                                {kSocketConnected, "connected"},
                                                {kSocketClosed, "closed"},
                                                {kSocketClosedWithError, "closed with error"}};
    // A state stored again is still a change to its owner (a refused connect is seen twice).
    TraceStateChange("socket", names, m_state, state);
    m_state = state;
}

CTCPSocket* CTCPSocket::CreateInstance()
{
    return new (std::nothrow) CTCPSocket();
}

void CTCPSocket::AdoptHandle(SOCKET handle)
{
    m_socket = CUniqueSocket(handle);
    m_knownWaiting = 0;
}

gCResult CTCPSocket::Create(uint16_t port)
{
    m_defaultPort = port;
    if (!m_socket.IsValid()) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) {
            m_lastError = WSAGetLastError();
            return GetErrFatality(static_cast<uint32_t>(m_lastError));
        }
        m_socket = CUniqueSocket(s);
        // A smaller buffer only slows the download.
        (void)setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&kReceiveBufferBytes),
                         sizeof kReceiveBufferBytes);
    }
    m_event = CUniqueNetEvent(WSACreateEvent());
    if (!m_event.IsValid()) {
        // The failure to make the event is the one returned.
        (void)Close();
        return kNetworkFatal;
    }
    // Selecting an event also makes the socket non-blocking.
    if (WSAEventSelect(m_socket.Get(), m_event.Get(), kSelectedEvents) == SOCKET_ERROR) {
        // The failure to select the event is the one returned.
        (void)Close();
        return kNetworkFatal;
    }
    // The machine's address stays while the program runs, and each ask is a name lookup of
    // milliseconds: it is asked until it is known.
    static uint32_t known = 0;
    if (known == 0)
        known = GetLocalIPAddress();
    m_localAddress = known;
    return kOk;
}

gCResult CTCPSocket::Init(TCPSocketProc reserved0, TCPSocketProc reserved1, TCPSocketProc accepted,
                          TCPSocketProc accept, TCPSocketProc connect, TCPSocketProc read, TCPSocketProc write,
                          TCPSocketProc close, uint16_t port)
{
    SetProc(kReservedProc0, reserved0, this);
    SetProc(kReservedProc1, reserved1, this);
    SetProc(kAcceptedProc, accepted, this);
    SetProc(kAcceptProc, accept, this);
    SetProc(kConnectProc, connect, this);
    SetProc(kReadProc, read, this);
    SetProc(kWriteProc, write, this);
    SetProc(kCloseProc, close, this);
    return Create(port);
}

gCResult CTCPSocket::Connect(uint32_t address, uint16_t port)
{
    sockaddr_in target;
    std::memset(&target, 0, sizeof target);
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = address;
    target.sin_port = htons(port ? port : m_defaultPort);
    if (WSAConnect(m_socket.Get(), reinterpret_cast<const sockaddr*>(&target), sizeof target, nullptr, nullptr, nullptr,
                   nullptr) == SOCKET_ERROR) {
        m_lastError = WSAGetLastError();
        if (m_lastError != WSAEWOULDBLOCK) {
            // The connect failure is the one returned.
            (void)Close();
            return GetErrFatality(static_cast<uint32_t>(m_lastError));
        }
    }
    ChangeState(kSocketConnecting);
    m_peerPort = port;
    m_peerAddress = address;
    return kOk;
}

gCResult CTCPSocket::Poll()
{
    if (!m_socket.IsValid())
        return kOk;
    WSANETWORKEVENTS events;
    if (WSAEnumNetworkEvents(m_socket.Get(), m_event.Get(), &events) == SOCKET_ERROR) {
        m_lastError = WSAGetLastError();
        return GetErrFatality(static_cast<uint32_t>(m_lastError));
    }
    const long seen = events.lNetworkEvents;
    if (seen & FD_CONNECT) {
        uint32_t asked = m_peerAddress;
        QV_RETURN_IF_FAILED(GetPeerName());
        if (events.iErrorCode[FD_CONNECT_BIT] == 0 && m_peerAddress == asked) {
            ChangeState(kSocketConnected);
            m_connected = 1;
        } else {
            ChangeState(kSocketConnectFailed);
            m_connected = 0;
            QV_RETURN_IF_FAILED(Close());
        }
        QV_RETURN_IF_FAILED(CallProc(kConnectProc, 0, static_cast<uintptr_t>(m_connected)));
    }
    // A callback may have closed the socket; the later events then belong to nobody.
    if (m_socket.IsValid() && (m_dataPending || (seen & FD_READ)))
        QV_RETURN_IF_FAILED(CallProc(kReadProc, 0, 0));
    if (m_socket.IsValid() && (seen & FD_WRITE)) {
        m_writable = 1;
        QV_RETURN_IF_FAILED(CallProc(kWriteProc, 0, 0));
    }
    if (m_socket.IsValid() && (m_closePending || (seen & FD_CLOSE))) {
        int32_t error = (seen & FD_CLOSE) ? events.iErrorCode[FD_CLOSE_BIT] : 0;
        QV_RETURN_IF_FAILED(HandleCloseEvents(error));
    }
    if (m_socket.IsValid() && (seen & FD_ACCEPT))
        // The listener goes on whether or not this accept worked.
        (void)CallProc(kAcceptProc, 0, 0);
    return kOk;
}

gCResult CTCPSocket::HandleCloseEvents(int32_t closeError)
{
    // Bytes still waiting are offered to ReadProc on the next polls before the close.
    if (m_dataPending) {
        if (closeError != 0 && !m_closePending)
            m_closeError = 1;
        m_closePending = 1;
        return kOk;
    }
    bool failed = m_closePending ? m_closeError != 0 : closeError != 0;
    ChangeState(failed ? kSocketClosedWithError : kSocketClosed);
    m_connected = 0;
    return Close();
}

gCResult CTCPSocket::Send(uint32_t& length, CMemBlockT<char>& block)
{
    uint32_t asked = length < static_cast<uint32_t>(block.Count()) ? length : static_cast<uint32_t>(block.Count());
    int sent = send(m_socket.Get(), block.Data(), static_cast<int>(asked), 0);
    if (sent == SOCKET_ERROR) {
        length = 0;
        m_lastError = WSAGetLastError();
        if (m_lastError == WSAEWOULDBLOCK)
            m_writable = 0;
        return GetErrFatality(static_cast<uint32_t>(m_lastError));
    }
    length = static_cast<uint32_t>(sent);
    m_bytesSent += length;
    int32_t left = block.Count() - sent;
    if (left <= 0) {
        block.Free();
    } else {
        std::memmove(block.Data(), block.Data() + sent, static_cast<size_t>(left));
        if (block.Resize(left) != kOk) {
            block.Free();
            return kOutOfMemory;
        }
    }
    return CallProc(kSentProc, length, 0);
}

gCResult CTCPSocket::Receive(uint32_t& length, CMemBlockT<char>& block)
{
    if (static_cast<uint32_t>(block.Count()) < length)
        length = static_cast<uint32_t>(block.Count());
    return Receive(length, block.Data());
}

gCResult CTCPSocket::Receive(uint32_t& length, char* bytes)
{
    m_dataPending = 0;
    int got = recv(m_socket.Get(), bytes, static_cast<int>(length), 0);
    if (got == SOCKET_ERROR) {
        length = 0;
        m_knownWaiting = 0;
        m_lastError = WSAGetLastError();
        return GetErrFatality(static_cast<uint32_t>(m_lastError));
    }
    length = static_cast<uint32_t>(got);
    // Waiting bytes only go by being read, so while the last count still covers some, asking
    // again would tell nothing new; under Wine each ask costs about a third of a read.
    m_knownWaiting = m_knownWaiting > length ? m_knownWaiting - length : 0;
    u_long waiting = 0;
    if (m_knownWaiting == 0 && ioctlsocket(m_socket.Get(), FIONREAD, &waiting) == 0)
        m_knownWaiting = static_cast<uint32_t>(waiting);
    if (m_knownWaiting > 0)
        m_dataPending = 1;
    m_bytesReceived += length;
    return CallProc(kReceivedProc, length, 0);
}

gCResult CTCPSocket::Close()
{
    m_connected = 0;
    m_dataPending = 0;
    m_knownWaiting = 0;
    m_closePending = 0;
    m_closeError = 0;
    if (m_socket.IsValid()) {
        QV_RETURN_IF_FAILED(CallProc(kCloseProc, 0, 0));
        if (!m_socket.Close()) {
            m_lastError = WSAGetLastError();
            return GetErrFatality(static_cast<uint32_t>(m_lastError));
        }
    }
    m_event.Close();
    GetResolver().CancelRequestsFor(this);
    return kOk;
}

gCResult CTCPSocket::Accept()
{
    CUniqueSocket accepted(accept(m_socket.Get(), nullptr, nullptr));
    if (!accepted.IsValid()) {
        m_lastError = WSAGetLastError();
        return GetErrFatality(static_cast<uint32_t>(m_lastError));
    }
    CTCPSocket* s = CreateInstance();
    if (!s)
        return kOutOfMemory;
    s->AdoptHandle(accepted.Release());
    gCResult r = s->GetPeerName();
    if (r == kOk && !m_procs[kAcceptedProc])
        r = kNetworkFatal;
    if (r != kOk) {
        delete s;
        return r;
    }
    // From here the new socket belongs to the callback.
    QV_RETURN_IF_FAILED(CallProc(kAcceptedProc, reinterpret_cast<uintptr_t>(s), 0));
    // The accepted socket reports its own failures from here.
    (void)s->Init(m_procs[kReservedProc0], m_procs[kReservedProc1], m_procs[kAcceptedProc], m_procs[kAcceptProc],
                  m_procs[kConnectProc], m_procs[kReadProc], m_procs[kWriteProc], m_procs[kCloseProc], m_defaultPort);
    s->m_connected = 1;
    s->ChangeState(kSocketConnected);
    return kOk;
}

gCResult CTCPSocket::GetPeerName()
{
    sockaddr_in peer;
    std::memset(&peer, 0, sizeof peer);
    int size = sizeof peer;
    if (getpeername(m_socket.Get(), reinterpret_cast<sockaddr*>(&peer), &size) == 0) {
        m_peerAddress = peer.sin_addr.s_addr;
        m_peerPort = peer.sin_port;
        return kOk;
    }
    m_lastError = WSAGetLastError();
    if (m_lastError == WSAENOTCONN) {
        m_peerAddress = 0;
        m_peerPort = 0;
        m_lastError = 0;
        return kOk;
    }
    return GetErrFatality(static_cast<uint32_t>(m_lastError));
}

uint32_t CTCPSocket::GetLocalIPAddress()
{
    CMemBlockT<char> name;
    if (name.Resize(512) != kOk)
        return 0;
    std::memset(name.Data(), 0, 512);
    const hostent* entry = nullptr;
    if (gethostname(name.Data(), 510) == 0)
        entry = gethostbyname(name.Data());
    if (!entry || !entry->h_addr_list || !entry->h_addr_list[0] || entry->h_length < 4) {
        ReportError(GetErrFatality(static_cast<uint32_t>(WSAGetLastError())), "CTCPSocket::GetLocalIPAddress failed");
        return 0;
    }
    uint32_t address = 0;
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    return address;
}

gCResult CTCPSocket::OnHostResolved(gCString host, uint32_t address, uint32_t userValue)
{
    (void)host;
    (void)userValue;
    if (address == 0) {
        ChangeState(kSocketConnectFailed);
        // The state already tells of the failed lookup.
        (void)CallProc(kResolveFailedProc, 0, 0);
        return kOk;
    }
    QV_RETURN_IF_FAILED(Connect(address, m_peerPort));
    // The connect is under way; its events tell the rest.
    (void)CallProc(kResolvedProc, 0, 0);
    return kOk;
}

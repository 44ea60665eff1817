#include "CResolver.h"

#include <cstring>
#include <new>

#include "AppHost.h"
#include "ResolveHook.h"
#include "WinSock.h"

namespace {

const int32_t kHostEntrySize = MAXGETHOSTSTRUCT;

// Deletes a request that has left the list, whatever its completion does.
class CRequestHolder {
public:
    explicit CRequestHolder(CResolveReq* request) : m_request(request) {}
    ~CRequestHolder() { delete m_request; }
    CRequestHolder(const CRequestHolder&) = delete;
    CRequestHolder& operator=(const CRequestHolder&) = delete;
    CResolveReq* operator->() const { return m_request; }

private:
    CResolveReq* m_request;
};

uint32_t AddressFromHostEntry(const CMemBlockT<char>& block)
{
    const hostent* entry = reinterpret_cast<const hostent*>(block.Data());
    if (!entry || entry->h_length < 4 || !entry->h_addr_list || !entry->h_addr_list[0])
        return 0;
    uint32_t address = 0;
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    return address;
}

gCResult HandOverResolveMessage(const MSG& message)
{
    return GetResolver().OnResolveMessage(&message);
}

HWND ResolveWindow()
{
    IAppHost* host = GetAppHost();
    return host ? host->GetMainWindowHandle() : nullptr;
}

} // namespace

CResolveReq::CResolveReq()
{
    if (hostEntry.Resize(kHostEntrySize) == kOk)
        std::memset(hostEntry.Data(), 0, kHostEntrySize);
}

CResolveReq::~CResolveReq() = default;

CResolver::CResolver()
{
    SetResolveMessageHandler(HandOverResolveMessage);
}

CResolver::~CResolver()
{
    SetResolveMessageHandler(nullptr);
    for (int32_t i = 0; i < m_requests.Count(); ++i)
        delete m_requests[i];
    m_requests.Release();
}

gCResult CResolver::AddRequest(CResolveReq* request)
{
    return m_requests.Add(request);
}

gCResult CResolver::OnResolveMessage(const MSG* message)
{
    if (!message || message->message != kResolveMessage)
        return kOk;
    HANDLE task = reinterpret_cast<HANDLE>(message->wParam);
    int32_t index = -1;
    for (int32_t i = 0; i < m_requests.Count() && index < 0; ++i)
        if (m_requests[i]->taskHandle == task)
            index = i;
    if (index < 0)
        return kOk;
    CRequestHolder request(m_requests[index]);
    m_requests.RemoveAt(index);
    uint32_t error = HIWORD(message->lParam);
    uint32_t address = error == 0 ? AddressFromHostEntry(request->hostEntry) : 0;
    if (!request->cancelled && request->completion)
        // The receiver deals with its own failure.
        (void)request->completion(request->hostName, address, request->userValue, request->ownerSocket);
    return kOk;
}

void CResolver::RemoveRequest(CResolveReq* request)
{
    int32_t index = m_requests.IndexOf(request);
    if (index < 0)
        return;
    m_requests.RemoveAt(index);
    delete request;
}

void CResolver::CancelRequestsFor(const CTCPSocket* socket)
{
    for (int32_t i = 0; i < m_requests.Count(); ++i)
        if (m_requests[i]->ownerSocket == socket)
            m_requests[i]->cancelled = 1;
}

CResolver& GetResolver()
{
    static CResolver resolver;
    return resolver;
}

bool IsDottedAddressText(const gCString& text)
{
    const gCString dot(L".");
    gCString rest(text.Text());
    for (int pass = 1; pass <= 4; ++pass) {
        gCString part;
        gCString tail;
        if (rest.FindFirstOf(dot) > 0) {
            rest.Split(part, tail, dot, 0);
        } else {
            if (pass < 4)
                return false;
            part = rest;
        }
        if (!part.IsInteger())
            return false;
        rest = tail;
    }
    return true;
}

uint32_t ParseDottedAddress(gCString text)
{
    const gCString dot(L".");
    gCString rest(text.Text());
    uint32_t address = 0;
    for (int i = 0; i < 4; ++i) {
        gCString part(L"");
        gCString tail(L"");
        if (i < 3) {
            if (rest.Split(part, tail, dot, 0) == 1)
                part = gCString(L"");
        } else {
            part = rest;
        }
        address += static_cast<uint32_t>(part.ToInteger()) << (8 * i);
        rest = tail;
    }
    return address;
}

void SplitHostPort(const gCString& text, gCString& host, uint16_t& port)
{
    const gCString colon(L":");
    if (text.FindFirstOf(colon) < 0) {
        host = gCString(text.Text());
        port = 0;
        return;
    }
    gCString portText;
    text.Split(host, portText, colon, 0);
    port = static_cast<uint16_t>(portText.ToInteger());
}

gCResult CTCPSocket::ConnectByName(gCString host, uint16_t port)
{
    m_peerPort = port ? port : m_defaultPort;
    uint32_t error = 0;
    return StartResolve(host, ResolveCallback, 0, &error);
}

gCResult CTCPSocket::ResolveCallback(gCString host, uint32_t address, uint32_t userValue, CTCPSocket* socket)
{
    return socket->OnHostResolved(host, address, userValue);
}

gCResult CTCPSocket::StartResolve(gCString host, ResolveCompletionFn completion, uint32_t userValue, uint32_t* error)
{
    if (IsDottedAddressText(host))
        return completion(host, ParseDottedAddress(host), userValue, this);

    CResolveReq* request = new (std::nothrow) CResolveReq();
    if (!request)
        return kCreateFailure;
    if (request->hostEntry.Count() != kHostEntrySize) {
        delete request;
        return kOutOfMemory;
    }
    request->userValue = userValue;
    request->ownerSocket = this;
    request->completion = completion;
    request->hostName = gCString(host.Text());
    // The list grows before the system is asked: once asked, the block must outlive the answer.
    if (GetResolver().AddRequest(request) != kOk) {
        delete request;
        return kOutOfMemory;
    }
    HWND window = ResolveWindow();
    HANDLE task = nullptr;
    if (window)
        task = WSAAsyncGetHostByName(window, kResolveMessage, host.ToAnsi(), request->hostEntry.Data(), kHostEntrySize);
    if (!task) {
        // Without a window the answer could never arrive: fail now rather than wait forever.
        uint32_t code = window ? static_cast<uint32_t>(WSAGetLastError()) : WSAEINVAL;
        if (error)
            *error = code;
        GetResolver().RemoveRequest(request);
        return GetErrFatality(code);
    }
    request->taskHandle = task;
    return kOk;
}

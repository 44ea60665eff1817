// Host names become addresses without blocking the UI thread: a dotted address is read at
// once, any other name goes to WSAAsyncGetHostByName, whose answer arrives as WM_APP+1 at
// the main window. The pending lookups live in one process-wide list, so a socket that
// closes before its answer arrives is simply forgotten.
#pragma once
#include <winsock2.h>

#include <cstdint>

#include "CMemBlockT.h"
#include "CTCPSocket.h"
#include "gCArray.h"
#include "gCBaseObject.h"
#include "gCString.h"

const UINT kResolveMessage = WM_APP + 1;

class CResolveReq : public gCBaseObject {
public:
    CResolveReq();
    ~CResolveReq() override;
    CResolveReq(const CResolveReq&) = delete;
    CResolveReq& operator=(const CResolveReq&) = delete;

    HANDLE taskHandle = nullptr;
    // The system writes the host entry here in the background until the answer is posted.
    CMemBlockT<char> hostEntry;
    uint32_t userValue = 0;
    CTCPSocket* ownerSocket = nullptr;
    ResolveCompletionFn completion = nullptr;
    int32_t cancelled = 0;
    gCString hostName;
};

class CResolver : public gCBaseObject {
public:
    // While it lives, the application's pump and window procedure hand WM_APP+1 to it.
    CResolver();
    ~CResolver() override;
    CResolver(const CResolver&) = delete;
    CResolver& operator=(const CResolver&) = delete;

    // Takes ownership; 5 when the list cannot grow (the request is then the caller's).
    gCResult AddRequest(CResolveReq* request);
    // Removes and deletes a request whose lookup was never started.
    void RemoveRequest(CResolveReq* request);
    // Always 0. Safe to call more than once for one message: the request leaves the list
    // before its completion runs, so a second hand-off (or a modal loop's) finds nothing.
    gCResult OnResolveMessage(const MSG* message);
    void CancelRequestsFor(const CTCPSocket* socket);
    int32_t PendingCount() const { return m_requests.Count(); }

private:
    gCArray<CResolveReq*> m_requests;
};

CResolver& GetResolver();

uint32_t ParseDottedAddress(gCString text);
// Whether the text counts as a literal dotted address rather than a name to look up.
bool IsDottedAddressText(const gCString& text);
void SplitHostPort(const gCString& text, gCString& host, uint16_t& port);

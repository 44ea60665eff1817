// A non-blocking IPv4 TCP socket that never waits: it is bound to a WinSock event and polled
// by its owner from the main loop, and reports everything that happens through twelve
// owner callbacks, each a plain function with its own context word.
#pragma once
#include <winsock2.h>

#include <cstdint>

#include "CMemBlockT.h"
#include "NetHandles.h"
#include "gCCmdTarget.h"
#include "gCResult.h"
#include "gCString.h"

enum : uint32_t {
    kSocketNotStarted = 0,
    kSocketConnecting = 1,
    kSocketConnectFailed = 2,
    kSocketConnected = 3,
    kSocketClosed = 4,
    kSocketClosedWithError = 5,
};

enum TCPProcIndex : int32_t {
    kReservedProc0 = 0,
    kReservedProc1,
    kAcceptedProc,
    kConnectProc,
    kAcceptProc,
    kReadProc,
    kWriteProc,
    kCloseProc,
    kResolvedProc,
    kResolveFailedProc,
    kSentProc,
    kReceivedProc,
    kTCPProcCount
};

class CTCPSocket;

// Every callback gets two words and its context; a callback of one word finds 0 in the
// second. ConnectProc gets (0, connected); AcceptedProc gets (the new socket, 0).
typedef gCResult (*TCPSocketProc)(uintptr_t a, uintptr_t b, void* context);

// Ends a lookup: (host name, address in network byte order or 0, user value, asking socket).
typedef gCResult (*ResolveCompletionFn)(gCString host, uint32_t address, uint32_t userValue, CTCPSocket* socket);

class CTCPSocket : public gCCmdTarget {
public:
    CTCPSocket();
    ~CTCPSocket() override;
    CTCPSocket(const CTCPSocket&) = delete;
    CTCPSocket& operator=(const CTCPSocket&) = delete;

    virtual gCResult Poll();
    virtual void ChangeState(uint32_t state);
    virtual CTCPSocket* CreateInstance();
    virtual gCResult OnHostResolved(gCString host, uint32_t address, uint32_t userValue);

    gCResult Create(uint16_t port);
    // Sets callbacks 0, 1, 2, 4, 3, 5, 6, 7 in this argument order, all with this socket as context.
    gCResult Init(TCPSocketProc reserved0, TCPSocketProc reserved1, TCPSocketProc accepted, TCPSocketProc accept,
                  TCPSocketProc connect, TCPSocketProc read, TCPSocketProc write, TCPSocketProc close, uint16_t port);
    gCResult Connect(uint32_t address, uint16_t port);
    gCResult ConnectByName(gCString host, uint16_t port);
    gCResult StartResolve(gCString host, ResolveCompletionFn completion, uint32_t userValue, uint32_t* error);
    static gCResult ResolveCallback(gCString host, uint32_t address, uint32_t userValue, CTCPSocket* socket);

    // Sends up to length bytes from the block's start; length becomes the count accepted.
    // What the system did not take stays at the block's start, to go after the next FD_WRITE.
    gCResult Send(uint32_t& length, CMemBlockT<char>& block);
    // Reads at most length bytes (at most the block's size) to the block's start.
    gCResult Receive(uint32_t& length, CMemBlockT<char>& block);
    // Reads at most length bytes to bytes, which has room for them.
    gCResult Receive(uint32_t& length, char* bytes);
    gCResult Close();
    gCResult Accept();
    gCResult GetPeerName();
    static uint32_t GetLocalIPAddress();

    void SetProc(TCPProcIndex index, TCPSocketProc proc, void* context);

    uint32_t GetState() const { return m_state; }
    int32_t IsWritable() const { return m_writable; }
    int32_t IsConnected() const { return m_connected; }
    int32_t HasSocket() const { return m_socket.IsValid() ? 1 : 0; }
    int32_t GetLastError() const { return m_lastError; }
    uint32_t GetPeerAddress() const { return m_peerAddress; }
    uint16_t GetPeerPort() const { return m_peerPort; }
    uint32_t GetLocalAddress() const { return m_localAddress; }
    uint32_t GetBytesSent() const { return m_bytesSent; }
    uint32_t GetBytesReceived() const { return m_bytesReceived; }
    // Gives the socket an open handle it did not make itself (a listening or accepted one).
    void AdoptHandle(SOCKET handle);

protected:
    gCResult CallProc(TCPProcIndex index, uintptr_t a, uintptr_t b);
    // A close without error waits, like one with an error, while received bytes are unread.
    gCResult HandleCloseEvents(int32_t closeError);

    uint32_t m_localAddress = 0;
    uint32_t m_peerAddress = 0;
    uint16_t m_peerPort = 0;
    int32_t m_writable = 0;
    int32_t m_connected = 0;
    uint32_t m_state = kSocketNotStarted;
    CUniqueSocket m_socket;
    int32_t m_lastError = 0;
    uint16_t m_defaultPort = 0;
    uint32_t m_bytesSent = 0;
    uint32_t m_bytesReceived = 0;
    int32_t m_dataPending = 0;
    // Of the bytes that FIONREAD last reported waiting, those not read since.
    uint32_t m_knownWaiting = 0;
    int32_t m_closePending = 0;
    int32_t m_closeError = 0;
    TCPSocketProc m_procs[kTCPProcCount] = {};
    void* m_procContexts[kTCPProcCount] = {};
    CUniqueNetEvent m_event;
};

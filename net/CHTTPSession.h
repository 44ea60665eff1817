// One HTTP exchange over a CTCPSocket, polled from the main loop: it resolves and connects
// without blocking, sends one GET, reads the status line and headers, takes the body into
// memory or into an output stream, and tells its owner about every step through callbacks.
// The session owns its buffers, its body stream and its output stream; the owner owns the
// session and closes it before deleting it. The same class also answers a GET on the server
// side, which shares these fields (see CHTTPSessionServer.cpp).
#pragma once
#include <cstdint>

#include "CAcceptedSessions.h"
#include "CByteQueue.h"
#include "CMemBlockT.h"
#include "CTCPSocket.h"
#include "gCMemFile.h"
#include "gCString.h"
#include "gCStringArray.h"

class gCStream;
class CHTTPSession;

// Owner callbacks; the pairs carry a context word that comes back as the last argument.
typedef gCResult (*HTTPProgressFn)(CHTTPSession* session, uint32_t perMille, void* context);
typedef gCResult (*HTTPOpenOutputFn)(CHTTPSession* session, gCString folder, gCString& fileName, uint64_t total,
                                     gCStream*& output, void* context);
typedef gCResult (*HTTPFinishedFn)(CHTTPSession* session, gCString folder, gCString fileName, uint32_t complete,
                                   uint32_t receivedLow, void* context);
typedef gCResult (*HTTPSessionFn)(CHTTPSession* session, void* context);
typedef gCResult (*HTTPHeadersFn)(gCStringArray& names, gCStringArray& values, void* context);
typedef gCResult (*HTTPServerRequestFn)(gCString& received, CHTTPSession* session, uint32_t& handled, void* context);
typedef gCResult (*HTTPServerFileFn)(gCString path, void* context, CHTTPSession* session, gCStream*& stream,
                                     uint32_t& text, uint32_t& refuse, gCString& message);
typedef gCResult (*HTTPServerBodyFn)(gCMemFile& body, uint32_t& binary, void* context);
typedef gCResult (*HTTPNewConnectionFn)(CHTTPSession* listening, CHTTPSession* created);
typedef gCResult (*HTTPOpenedFn)(CHTTPSession* session);
typedef gCResult (*HTTPStateChangedFn)(CHTTPSession* session);
typedef gCResult (*HTTPRequestTextFn)(CHTTPSession* session, gCString text);
typedef gCResult (*HTTPDataFn)(CHTTPSession* session, CMemBlockT<char>& block, uint32_t count);

template <typename Fn>
struct CProcPair {
    Fn proc = nullptr;
    void* context = nullptr;
};

// No update archive, and so no reply body, may be larger.
const uint64_t kMaxReplyBody = 100000000u;
// A header block that has not ended after this many bytes never will.
const uint32_t kMaxHeaderBlock = 64 * 1024;
// A chunk-size line cut by a TCP boundary is waited for up to this length.
const uint32_t kMaxChunkSizeLine = 1024;
// Every read takes at most this many bytes; the data callback sees each read's bytes followed
// by two zero bytes.
const uint32_t kReadPiece = 64000;
const uint32_t kPieceEnd = 2;
// A poll reads while more bytes wait, for at most this long: a frame's time keeps the window
// responsive, and makes the heartbeat's pause between two ticks a small part of a download.
const uint32_t kPollBudgetMs = 16;
// The server sends its content in pieces of at most this size, one per completed send.
const uint32_t kServePiece = 64000;
// A requested range without a last position runs to the end of the content.
const uint64_t kRangeToEnd = ~0ull;

class CHTTPSession : public CTCPSocket {
public:
    // Where the reply stands: on a client the reply read, on a server the reply sent (which
    // knows only kAwaited and kInBody). Every change goes through SetReplyState.
    enum class ReplyState : uint32_t {
        kAwaited,         // the header block has not ended (server: no request served yet)
        kRefused,         // the status was neither 200 nor 206; what follows is dropped
        kUnreadable,      // the header block could not be taken; the connection is ended
        kBroken,          // the exchange broke before any body; what follows is dropped
        kBodyRefused,     // the announced body is larger than any taken; as kBroken
        kBodyStarting,    // the body has begun, its headers are not yet reported to the owner
        kStartFinished,   // the body ended while it was being started
        kBodyStartFailed, // taking the first body bytes failed; the connection is ended
        kInBody,          // the headers were accepted: bytes that arrive are body bytes
        kLastChunkSeen,   // a chunked body's last chunk arrived; trailers are dropped
        kFinished,        // the finished callback ran; bytes beyond the body are dropped
        kBodyBroken,      // the body broke the protocol; what follows is dropped
    };

    CHTTPSession();
    ~CHTTPSession() override;

    gCResult Poll() override;
    void ChangeState(uint32_t state) override;
    CTCPSocket* CreateInstance() override;
    virtual gCResult ReceiveBody();
    virtual gCResult OnDownloadFinished();

    gCResult OpenURL(uint32_t isClient, gCString hostAndPort, gCString path, gCString folder, gCString fileName,
                     uint32_t rangeStart);
    void SetSocketCallbacks();
    gCResult WriteBody(const char* bytes, uint32_t count);

    // The request (see CHTTPSessionReply.cpp).
    gCResult QueueRequest(gCString path, gCString folder, gCString fileName, uint32_t rangeStart);
    void SetFileName(gCString fileName);
    gCResult BuildRequestHeader(gCStringArray& names, gCStringArray& values, uint64_t rangeStart);
    static gCResult JoinHeaderLines(const gCStringArray& names, const gCStringArray& values, gCString& text);

    // The reply.
    gCResult ParseReply();
    static gCResult SplitHeaderBlock(gCString text, gCString& statusLine, gCStringArray& names, gCStringArray& values);
    gCResult OnReplyHeader(gCString name, gCString value);
    // The status code of a status line: its code text, or 404 without one; -1 unless it
    // starts with "HTTP".
    static int32_t ParseStatusLine(const gCString& statusLine);

    // Server side (see CHTTPSessionServer.cpp). A listening session takes a listening socket
    // that its owner made (sessions never bind or listen), accepts its connections and owns them.
    gCResult AcceptOn(SOCKET listeningHandle);
    gCResult ParseRequest();
    gCResult ParseRequestHeader(gCString name, gCString value);
    gCResult ServeRequest();
    // The reply's header pairs for the content bytes rangeFirst to rangeEnd (exclusive) of size.
    gCResult BuildReplyHeaders(gCStringArray& names, gCStringArray& values, uint32_t text, uint64_t size,
                               uint64_t rangeFirst, uint64_t rangeEnd);
    gCResult SendNextBodyPart();
    int32_t GetAcceptedCount() const { return m_accepted.Count(); }
    CHTTPSession* GetAccepted(int32_t index) const { return m_accepted.At(index); }

    // Socket callbacks, with the session as context.
    static gCResult OnConnectResult(uintptr_t a, uintptr_t connected, void* context);
    static gCResult OnReadable(uintptr_t a, uintptr_t b, void* context);
    static gCResult OnClosed(uintptr_t a, uintptr_t b, void* context);
    // The close of a transfer whose body did not arrive whole: state 5, then the owner is told.
    gCResult EndCutTransfer();
    static gCResult OnAccept(uintptr_t a, uintptr_t b, void* context);
    static gCResult OnAcceptedConnection(uintptr_t created, uintptr_t b, void* context);

    // Read access for owners and tests.
    const CMemBlockT<char>& GetSendBlock() const { return m_sendBlock; }
    gCMemFile& GetBody() { return m_body; }
    const gCString& GetHost() const { return m_host; }
    const gCString& GetContentType() const { return m_contentType; }
    const gCString& GetFileName() const { return m_fileName; }
    const gCString& GetFileNameAsGiven() const { return m_fileNameAsGiven; }
    uint16_t GetPort() const { return m_port; }
    uint64_t GetReceived() const { return m_received; }
    uint64_t GetTotal() const { return m_total; }
    uint64_t GetRangeFirst() const { return m_rangeFirst; }
    uint64_t GetRangeLast() const { return m_rangeLast; }
    uint32_t IsStopped() const { return m_stopped; }
    ReplyState GetReplyState() const { return m_replyState; }
    uint32_t IsInBody() const;
    uint32_t IsChunked() const { return m_chunked; }
    uint32_t HeadersSeen() const;
    // The server answered, but announced a body larger than any taken.
    uint32_t IsBodyRefused() const { return m_replyState == ReplyState::kBodyRefused ? 1 : 0; }
    uint32_t GetReceiveBufferSize() const { return m_receiveBuffer.Size(); }

    uint32_t readToClose = 0;
    gCString protocolVersion;
    gCString userAgent;

    CProcPair<HTTPServerFileFn> ServerFileProc;
    CProcPair<HTTPServerRequestFn> ServerRequestProc;
    CProcPair<HTTPServerBodyFn> ServerBodyProc;
    CProcPair<HTTPProgressFn> ProgressProc;
    CProcPair<HTTPOpenOutputFn> OpenOutputProc;
    CProcPair<HTTPFinishedFn> FinishedProc;
    CProcPair<HTTPSessionFn> RequestFailedProc;
    CProcPair<HTTPSessionFn> TransferErrorProc;
    CProcPair<HTTPHeadersFn> AddRequestHeadersProc;
    CProcPair<HTTPHeadersFn> ServerHeadersProc;
    CProcPair<HTTPHeadersFn> ReplyHeadersProc;
    HTTPNewConnectionFn NewConnectionProc = nullptr;
    HTTPOpenedFn OpenedProc = nullptr;
    HTTPStateChangedFn StateChangedProc = nullptr;
    HTTPRequestTextFn RequestTextProc = nullptr;
    HTTPDataFn DataProc = nullptr;

protected:
    void SetReplyState(ReplyState state);
    // A refused, failed or broken reply: it is reported once, and what the server still sends
    // is dropped until the close.
    bool IsReplyOver() const;
    // The reply broke the protocol; the session then ends in the failed state.
    bool IsReplyBroken() const;
    bool IsFinished() const;
    // The owner has the headers: the body's start is over, however it went.
    void AcceptHeaders();
    bool IsBodyComplete() const;
    bool BodyEndsAtClose() const;
    gCResult ReadOnePiece();
    // On a session that reads to the close: closes the connection once every announced body
    // byte has arrived.
    void EndWholeAnnouncedBody();
    // Whether the next piece can be read straight into the body, and how much of it.
    bool PieceGoesIntoBody(uint32_t& most) const;
    gCResult PrepareReadBlock();
    // Hands one read's bytes to the data callback in the read block, two zero bytes after them.
    gCResult ShowRead(const char* bytes, uint32_t count);
    gCResult ReceivePlainBody();
    gCResult ReceiveChunkedBody();
    gCResult ReportProgress();
    gCResult StartBody(uint32_t headerLength);
    // The output file folder\fileName, written from its start.
    gCResult OpenOutputFile();
    // Ends a reply that broke the protocol after its headers were accepted.
    gCResult FailReply(gCResult code);
    gCResult CallRequestFailed();
    void DeleteOutput();
    gCResult OnServerClosed();
    gCResult SetUpAccepted(CHTTPSession* session);
    // The request line and headers of a whole request; serve is set when a reply is due.
    gCResult ReadRequest(gCString& received, bool& serve);
    // Clamps the asked range to the content: m_rangeFirst to m_serveEnd (exclusive).
    void ClampRange(uint64_t size);

    CByteQueue m_receiveBuffer;
    CMemBlockT<char> m_sendBlock;
    // The sending side's end: set once the exchange is over or a send failed, while a reply
    // that still arrives is read (its own state is m_replyState).
    uint32_t m_stopped = 0;
    uint32_t m_serverPump = 0;
    uint32_t m_isClient = 0;
    uint16_t m_port = 0;
    gCString m_fileNameAsGiven;
    gCString m_folder;
    gCString m_host;
    gCString m_contentType;
    gCStream* m_output = nullptr;
    uint64_t m_rangeFirst = 0;
    uint64_t m_rangeLast = 0;
    uint64_t m_received = 0;
    uint64_t m_total = 0;
    uint64_t m_servedSize = 0;
    uint32_t m_lastPerMille = 0;
    ReplyState m_replyState = ReplyState::kAwaited;
    gCMemFile m_body;
    uint32_t m_chunked = 0;
    gCString m_fileName;

    // Where the search for the end of the header block goes on.
    uint32_t m_headerScanFrom = 0;
    CMemBlockT<char> m_readBlock;
    // Bytes that the last read put straight into the body, not yet taken.
    uint32_t m_placed = 0;

    // Server side: whether the request asked for a byte range, where the served bytes end,
    // and the connections a listening session accepted.
    uint32_t m_rangeAsked = 0;
    uint64_t m_serveEnd = 0;
    CAcceptedSessions m_accepted;
};

// 1 when a requested path names text content (empty, or ending in .html, .htm or .txt), else 0.
uint32_t IsTextFileName(gCString path);
// Decodes every %XX escape once, in place; what a decoded character forms is not decoded again.
gCResult UnescapeURLText(gCString& text);
// Shared by the request and the reply writers.
gCResult ToAnsiBlock(const gCString& text, CMemBlockT<char>& block);
gCResult AddPair(gCStringArray& names, gCStringArray& values, const gCString& name, const gCString& value);

// Runs the updater's transfers with the update server, one at a time. For every request it
// posts the first status line, retires the previous session, asks the application for a new
// one (kMsgSupplySession; a plain CQVUHTTPSession when none comes), wires it to itself and
// opens the URL. The application's per-tick hook calls PumpSessions, which polls the active
// session and deletes the retired ones. A finished reply is sorted into the update file, the
// server's answer page or a broken download, and reported to the view and the application.
//
// The delivered update file belongs to the manager: the stream passed with kMsgFileArrived
// or kMsgUpdaterFileArrived stays valid until the next delivery, ReleaseDelivered or the
// manager's end.
#pragma once
#include <cstdint>

#include "CQVUHTTPSession.h"
#include "gCArray.h"
#include "gCCmdTarget.h"
#include "gCMemFile.h"
#include "gCString.h"

class IUpdaterHost;

// A transfer that has received nothing for this long is ended as a lost connection.
const uint32_t kTransferIdleTimeoutMs = 60000;

class CQVUTransferManager : public gCCmdTarget {
public:
    enum : int32_t { kNoTransfer = -1, kTransferRunning = 2, kTransferFailed = 4 };
    // What the current or last transfer is. The application reads it as -1, 2 or 4 (GetState):
    // the states that carry one of those numbers keep it, the others read as 2. Every change
    // goes through SetState.
    enum class TransferState : int32_t {
        kNone = kNoTransfer,         // no transfer started yet, or the last one broken off
        kRunning = kTransferRunning, // a transfer runs; its session has not connected yet
        kFailed = kTransferFailed,   // the last transfer failed and the application was told
        kConnected = 102,            // the running transfer's session is connected
        kReported = 103,             // its end is reported, but not as a failure the application took
        kReplyWhole = 104,           // a whole reply arrived and has been handed on
        kReplyCut = 105,             // a cut reply arrived and has been reported
        kClosing = 106,              // the manager is being destroyed; nothing more is reported
    };

    CQVUTransferManager();
    ~CQVUTransferManager() override;
    CQVUTransferManager(const CQVUTransferManager&) = delete;
    CQVUTransferManager& operator=(const CQVUTransferManager&) = delete;

    virtual gCString TextReceivedOK();
    virtual gCString TextFailReasonMissing();
    virtual gCString TextStartErrorHeading();
    virtual gCString TextStartFailed();
    virtual gCString TextDownloadErrorHeading();
    virtual gCString TextDownloadFailed();
    virtual gCString TextLookingUp();
    virtual gCString TextConnectionLost();
    virtual gCString TextOutsideProcess();
    virtual gCString TextTransferError();

    // host: the server's name, optionally ":port"; target: the request line's path.
    static gCResult RequestURL(CQVUTransferManager* manager, gCString host, gCString target);
    gCResult StartTransfer(gCString host, gCString target);
    // Breaks off the running transfer without a word: its session is retired as a new request
    // retires it, and the manager is left as if no transfer had run. Nothing when none runs.
    void CancelTransfer();
    void PumpSessions();
    static gCResult OnSessionStateChange(CHTTPSession* session);
    gCResult PostTransferEnded();
    static gCResult OnDownloadFinished(CHTTPSession* session, gCString folder, gCString fileName, uint32_t complete,
                                       uint32_t receivedLow, void* context);
    gCResult DispatchReply();

    // The server's reply.
    static gCResult GetReplyHeader(CQVUTransferManager* manager, gCString name, gCString& value);
    gCResult DeliverDownload(gCMemFile& body);
    gCResult ReportFailHeaders();
    gCResult ReportDownloadError(gCString detail);

    int32_t GetState() const;
    uint32_t GetUpdaterSend() const { return m_updaterSend; }
    void SetUpdaterSend() { m_updaterSend = 1; }
    CQVUHTTPSession* GetSession() const { return m_session; }
    int32_t GetRetiredCount() const { return m_retiredSessions.Count(); }
    // The last update file delivered; empty before the first.
    gCMemFile& GetDeliveredBody() { return m_delivered; }
    // Frees the delivered file's bytes once the installation is done with them: a process
    // started after that need not copy them, nor its end give them back.
    void ReleaseDelivered();
    // Tests shorten the idle limit.
    void SetIdleTimeout(uint32_t ms) { m_idleTimeoutMs = ms; }

private:
    gCResult PostLine(gCString text, uint32_t colour, uint32_t id);
    void RetireSession();
    void SetState(TransferState state);
    // A transfer is under way and nothing of it has been reported yet.
    bool IsRunning() const;
    void CheckIdle();
    // Ends the active transfer once, as a connection lost at this point ends.
    gCResult EndLostTransfer();
    bool IsActive(CHTTPSession* session) const;

    TransferState m_state = TransferState::kNone;
    uint32_t m_updaterSend = 0;
    CQVUHTTPSession* m_session = nullptr;
    gCArray<CQVUHTTPSession*> m_retiredSessions;

    uint32_t m_lastReceived = 0;
    uint32_t m_lastActivity = 0;
    uint32_t m_idleTimeoutMs = kTransferIdleTimeoutMs;
    gCMemFile m_delivered;
};

// The same manager with its ten texts (60 to 69) from the application's string table.
class CQVULocalTransferManager : public CQVUTransferManager {
public:
    explicit CQVULocalTransferManager(const IUpdaterHost& app);

    gCString TextReceivedOK() override;
    gCString TextFailReasonMissing() override;
    gCString TextStartErrorHeading() override;
    gCString TextStartFailed() override;
    gCString TextDownloadErrorHeading() override;
    gCString TextDownloadFailed() override;
    gCString TextLookingUp() override;
    gCString TextConnectionLost() override;
    gCString TextOutsideProcess() override;
    gCString TextTransferError() override;

private:
    const IUpdaterHost& m_app;
};

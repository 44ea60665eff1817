// The Win32 side of the application object: Run, the heartbeat thread, the message pump and
// main loop, quit, the instance mutex, and the Win32 bodies of the key, button, cursor and
// main-window operations. The registry, clipboard and process-list operations live in their
// own source files.
#pragma once
#include <windows.h>

#include <atomic>

#include "CAppBase.h"
#include "WinHandle.h"

class CAppWin : public CAppBase {
public:
    explicit CAppWin(const CAppServices* services = nullptr);
    ~CAppWin() override;

    void OnLoopEnd() override {}
    gCResult CreateInstanceMutex(gCString name) override;
    // Sets the quit flag and closes the main window (or posts WM_QUIT without one).
    void Quit() override;
    gCResult Minimise() override;
    gCResult Restore() override;

    int32_t IsPrimaryButtonDown() override;
    int32_t IsSecondaryButtonDown() override;
    int32_t IsMiddleButtonDown() override;
    int32_t IsPrimaryButtonStillDown() override;
    int32_t IsSecondaryButtonStillDown() override;
    int32_t IsMiddleButtonStillDown() override;
    int32_t IsAnyButtonDown() override;
    int32_t IsAnyButtonStillDown() override;
    int32_t IsButtonMessageQueued() override;
    int32_t IsKeyDown(int32_t virtualKey) override;
    int32_t IsShiftDown() override;
    int32_t IsControlDown() override;
    int32_t IsAltDown() override;
    int32_t IsAppsKeyDown() override;
    gCPoint GetCursorPos() override;
    gCResult SetClipboardText(gCString text) override;
    gCResult GetClipboardText(gCString& text) override;

    // Registry values under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER: 0, or 11 for any
    // failure. A failed read leaves the out value as it was; a text write needs the key to
    // exist, a 32-bit write creates it.
    virtual gCResult ReadMachineString(const gCString& keyPath, const gCString& valueName, gCString& out);
    virtual gCResult ReadMachineDWord(const gCString& keyPath, const gCString& valueName, uint32_t& out);
    virtual gCResult WriteMachineString(const gCString& keyPath, const gCString& valueName, const gCString& text);
    virtual gCResult WriteMachineDWord(const gCString& keyPath, const gCString& valueName, uint32_t value);
    virtual gCResult ReadUserString(const gCString& keyPath, const gCString& valueName, gCString& out);
    virtual gCResult ReadUserDWord(const gCString& keyPath, const gCString& valueName, uint32_t& out);
    virtual gCResult WriteUserString(const gCString& keyPath, const gCString& valueName, const gCString& text);
    virtual gCResult WriteUserDWord(const gCString& keyPath, const gCString& valueName, uint32_t value);

    // The file name of this process's program ("<unknown>" when it cannot be read).
    virtual gCString GetProcessName();
    // Appends the file names of all running processes: 0, 1 (no list) or 5.
    virtual gCResult GetProcessNames(gCStringArray& names);

    void HideSystemCursor() override;
    void ShowSystemCursor() override;
    gCResult SetCursorPos(int32_t x, int32_t y) override;
    gCResult PumpMessages() override;
    gCResult MessageLoop() override;
    int32_t IsPaintPending() override;

    virtual int32_t Run(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int32_t showMode);
    virtual int32_t IsComInitialised() const { return m_comInitialised; }
    // Called for every message that the pump dispatched; nonzero ends the loop.
    virtual gCResult OnPumpMessage(const MSG& message);

    // Like Quit, but the close is posted.
    void QuitLater() override;

    HINSTANCE GetInstance() const { return m_instance; }
    int32_t GetShowMode() const { return m_showMode; }
    DWORD GetMainThreadId() const { return m_mainThreadId; }
    int32_t IsRunning() const { return m_running.load(); }
    // The main window's end: the heartbeat stops posting.
    void ClearRunning() { m_running.store(0); }
    // True while a heartbeat thread started by Run has not ended.
    bool IsHeartbeatAlive() const;

    // The tick message that the heartbeat posts.
    static const UINT_PTR kTickId = 0xF24;

protected:
    HINSTANCE m_instance = nullptr;
    int32_t m_showMode = 0;
    DWORD m_mainThreadId = 0xFFFFFFFF;
    int32_t m_comInitialised = 0;
    CKernelHandle m_instanceMutex;
    DWORD m_mutexError = 0;
    // Shared with the heartbeat thread.
    std::atomic<int32_t> m_running{0};
    std::atomic<int32_t> m_tickPending{1};

private:
    static unsigned __stdcall HeartbeatThread(void* app);
    void HeartbeatLoop();
    gCResult StartHeartbeat();
    // Clears running and waits (bounded) for the heartbeat thread to end.
    void StopHeartbeat();
    // Dispatches one message and hands it to the resolver and the per-message hook.
    gCResult DispatchOne(MSG& message);
    void WalkSystemCursorTo(int32_t target);
    void CloseOpenMainWindow();

    CKernelHandle m_heartbeat;
};

// The program's entry: -1 without an application object, else its Run.
int32_t RunApplication(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int32_t showMode);

// The application object, the part that does not depend on the window system: folders and
// resource names, the message hub, the sound and tablet managers, the cursor and heartbeat
// flags, the per-tick handler, start-up, the window list and the deferred deletions. Exactly
// one exists; it owns the main window and everything listed above. It is the foundation's
// IAppHost while it lives.
#pragma once
#include <windows.h>

#include <cstdint>

#include "AppHost.h"
#include "AppServices.h"
#include "CDeferredObject.h"
#include "CFileImage.h"
#include "CMessageHub.h"
#include "CResourceDirectory.h"
#include "CResourcePool.h"
#include "CSoundManager.h"
#include "CTabletManager.h"
#include "gCArray.h"
#include "gCCmdTarget.h"
#include "gCGeometry.h"
#include "gCString.h"
#include "gCStringArray.h"
#include "gCStringTable.h"

class CWindowBase;
class IWindowContent;

class CAppBase : public gCCmdTarget, public IAppHost {
public:
    explicit CAppBase(const CAppServices* services = nullptr);
    ~CAppBase() override;
    CAppBase(const CAppBase&) = delete;
    CAppBase& operator=(const CAppBase&) = delete;

    virtual void OnLoopEnd() = 0;
    virtual int32_t IsQuitting() const { return m_quit; }
    // Releases the name; the Win32 body creates the mutex.
    virtual gCResult CreateInstanceMutex(gCString name);
    virtual void Quit() { m_quit = 1; }
    // Quits without closing the main window synchronously: for callers inside the window.
    virtual void QuitLater() { m_quit = 1; }
    // Asked on WM_CLOSE of the main window; 2 lets the window be destroyed.
    virtual uint32_t QueryClose() { return 2; }
    virtual gCResult Minimise() = 0;
    virtual gCResult Restore() = 0;
    virtual uint32_t GetAppCode() const { return m_appCode; }
    virtual uint32_t SetAppCode(uint32_t code) { return m_appCode = code; }

    virtual int32_t IsPrimaryButtonDown() = 0;
    virtual int32_t IsSecondaryButtonDown() = 0;
    virtual int32_t IsMiddleButtonDown() = 0;
    virtual int32_t IsPrimaryButtonStillDown() = 0;
    virtual int32_t IsSecondaryButtonStillDown() = 0;
    virtual int32_t IsMiddleButtonStillDown() = 0;
    virtual int32_t IsAnyButtonDown() = 0;
    virtual int32_t IsAnyButtonStillDown() = 0;
    virtual int32_t IsButtonMessageQueued() = 0;
    virtual int32_t IsKeyDown(int32_t virtualKey) = 0;
    virtual int32_t IsShiftDown() = 0;
    virtual int32_t IsControlDown() = 0;
    virtual int32_t IsAltDown() = 0;
    virtual int32_t IsAppsKeyDown() = 0;
    virtual gCPoint GetCursorPos() = 0;
    // Unicode text on the clipboard. Set: 0 or 24. Get: 0, 2 (no text), 5 or 24.
    virtual gCResult SetClipboardText(gCString text) = 0;
    virtual gCResult GetClipboardText(gCString& text) = 0;

    virtual void SaveCursorState();
    virtual void RestoreCursorState();
    void HideAllCursors() override;
    void HideSystemCursor() override = 0;
    void ShowSystemCursor() override = 0;
    virtual void HideAppCursor();
    void ShowAppCursor() override;
    bool IsOwnCursorShowing() const override;
    virtual gCResult SetCursorPos(int32_t x, int32_t y) = 0;
    virtual void FollowCursor();
    // One tick now; the tick's 2 (upkeep only) becomes 0.
    virtual gCResult TickNow();
    void EnableHeartbeatWork() override { m_heartbeatWork = 1; }
    void DisableHeartbeatWork() override { m_heartbeatWork = 0; }
    virtual void StopCursorFollow() { m_cursorFollow = 0; }
    virtual void StartCursorFollow() { m_cursorFollow = 1; }
    virtual gCResult PumpMessages() = 0;
    // Files dropped on a window. The callee may take the names; the default ignores them.
    virtual gCResult OnFilesDropped(gCStringArray& names);
    // The notification path: the application, the hub, then the main window's content.
    virtual uint32_t SendAppMessage(uint32_t id, uint32_t a, uint32_t b);
    virtual gCResult AddHubListener(gCCmdTarget* listener) { return m_hub.AddListener(listener); }
    virtual void RemoveHubListener(gCCmdTarget* listener) { m_hub.RemoveListener(listener); }
    virtual uint32_t BroadcastToHub(uint32_t id, uint32_t a, uint32_t b) { return m_hub.Broadcast(id, a, b); }
    virtual gCResult Init();
    virtual CTabletManager* GetTablet() const { return m_tablet; }
    virtual gCResult OnTick(uint32_t ignored);
    virtual gCResult MessageLoop() = 0;
    virtual gCResult OnStart(gCString commandLine);
    virtual gCResult OnExit() { return kOk; }
    virtual gCResult OnAppTick() { return kOk; }
    // Opens the main window around the content, which the window then owns. When the content
    // refuses the opening or the window cannot be shown, the content is detached and belongs
    // to the caller again.
    virtual gCResult OpenMainWindowAt(IWindowContent* content, int32_t iconId, uint32_t flags, float sx, float sy,
                                      float px, float py, const char* title, int32_t workArea);
    virtual gCResult OpenMainWindow(IWindowContent* content, int32_t iconId, int32_t width, int32_t height,
                                    const char* title, int32_t workArea);
    virtual CWindowBase* CreateMainWindow();
    virtual int32_t IsPaintPending() = 0;
    virtual gCResult CreateTablet();

    // IAppHost.
    bool IsHeartbeatWorkEnabled() const override { return m_heartbeatWork != 0; }
    bool IsSystemCursorShown() const override { return m_systemCursorShown != 0; }
    HWND GetMainWindowHandle() const override;
    const gCString& GetProgramFolder() const override { return m_programFolder; }
    const gCString& GetSecondFolder() const override { return m_secondFolder; }
    gCStream* GetResourceStream() override { return m_resourceStream; }
    CResourceDirectory* GetResourceDirectory() override { return m_resourceStream ? &m_resourceDirectory : nullptr; }

    gCResult UpdateWindowList(CWindowBase* window, int32_t add);
    const gCArray<CWindowBase*>& GetWindowList() const { return m_windows; }
    void PurgeDeadObjects();
    void DeleteAllDeferred();
    // Hands the object to deferred deletion (list 0 or 1) and arms the purge.
    gCResult AddDeferred(int32_t list, CDeferredObject* object);

    // Pool -1 searches pools 0 to 4 in order; pool 5 (fonts) only when named.
    gCResourceObject* FindPooledResource(int32_t pool, const gCString& name) const;
    gCResourceObject* FindPooledResourceByID(int32_t pool, uint32_t id) const;
    // The pool owns the object from then on (not when 5 is returned).
    gCResult AddResource(int32_t pool, gCResourceObject* object);
    static const int32_t kPoolCount = 6;

    gCStringTable& GetStringTable() { return m_stringTable; }
    // The resource file's stream when fonts come from it, else the font file's (empty when that
    // could not be read); null when neither is there.
    gCStream* GetFontResourceStream() { return m_fontStream; }
    CResourceDirectory* GetFontResourceDirectory()
    {
        return m_fontStream == m_resourceStream ? GetResourceDirectory() : &m_fontResourceDirectory;
    }

    uint32_t GetTickCounter() const { return m_tickCounter; }
    int32_t IsCursorFollowOn() const { return m_cursorFollow; }
    const CAppServices* GetServices() const { return m_services; }
    CSoundManager& GetSoundManager() { return m_sounds; }

    void SetResourceFileName(const gCString& name) { m_resourceFileName = name; }
    void SetStringTableFileName(const gCString& name) { m_stringTableFileName = name; }
    void SetFontResourceFileName(const gCString& name) { m_fontResourceFileName = name; }
    const gCString& GetResourceFolderName() const { return m_resourceFolderName; }
    const gCString& GetResourceFileName() const { return m_resourceFileName; }
    const gCString& GetStringTableFileName() const { return m_stringTableFileName; }
    const gCString& GetFontResourceFileName() const { return m_fontResourceFileName; }

protected:
    uint32_t m_appCode = 0x3F3F3F3F;
    int32_t m_heartbeatWork = 0;
    // Written by the pump, WM_QUIT and Quit; only read by the heartbeat thread's owner.
    int32_t m_quit = 0;
    int32_t m_savedSystemCursorShown = 1;
    int32_t m_savedOwnCursorShowing = 0;
    int32_t m_systemCursorShown = 1;
    int32_t m_cursorStateSaved = 0;
    int32_t m_cursorFollow = 1;
    gCString m_programFolder;
    gCString m_secondFolder;
    gCString m_resourceFolderName;
    gCString m_resourceFileName;
    gCString m_stringTableFileName;
    // The resource files are held in memory, read whole at Init: an update replaces them while
    // the program runs, each in one step, only while no one holds them open.
    CFileImage m_resourceImage;
    gCStream* m_resourceStream = nullptr; // the image, once read
    gCStringTable m_stringTable;
    CResourceDirectory m_resourceDirectory;
    gCString m_fontResourceFileName;
    CFileImage m_fontResourceImage;
    gCStream* m_fontStream = nullptr;
    CResourceDirectory m_fontResourceDirectory;
    CResourcePool m_pools[kPoolCount];
    CMessageHub m_hub;
    CSoundManager m_sounds;
    uint32_t m_tickCounter = 0;
    CTabletManager* m_tablet = nullptr;
    int32_t m_purge = 0;
    gCArray<CDeferredObject*> m_deferred[2];

private:
    // Steps of opening after the Win32 window exists; a failure detaches the content.
    gCResult FinishOpening(CWindowBase* window);

    gCArray<CWindowBase*> m_windows;
    const CAppServices* m_services;
};

// The application object, or null.
CAppBase* GetApp();
// The main window while an application object exists, else null.
CWindowBase* GetMainWindow();
void SetMainWindow(CWindowBase* window);

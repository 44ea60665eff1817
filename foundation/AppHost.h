// What the foundation needs of the application object and its main window. The application
// (a higher layer) implements it and registers itself; tests register fakes. With no host
// registered, everything that consults it does nothing.
#pragma once
#include <windows.h>

#include "gCString.h"

class gCStream;
class CResourceDirectory;

class IAppHost {
public:
    virtual ~IAppHost() = default;

    virtual bool IsHeartbeatWorkEnabled() const = 0;
    virtual void EnableHeartbeatWork() = 0;
    virtual void DisableHeartbeatWork() = 0;

    virtual bool IsSystemCursorShown() const = 0;
    virtual void ShowSystemCursor() = 0;
    virtual void HideSystemCursor() = 0;
    virtual bool IsOwnCursorShowing() const = 0;
    virtual void ShowAppCursor() = 0;
    virtual void HideAllCursors() = 0;

    // Null when there is no main window.
    virtual HWND GetMainWindowHandle() const = 0;

    // Folders end with '\'.
    virtual const gCString& GetProgramFolder() const = 0;
    virtual const gCString& GetSecondFolder() const = 0;

    // The application's open resource file and its directory; null when not open.
    virtual gCStream* GetResourceStream() = 0;
    virtual CResourceDirectory* GetResourceDirectory() = 0;
};

IAppHost* GetAppHost();
void SetAppHost(IAppHost* host);

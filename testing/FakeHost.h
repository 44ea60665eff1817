// A stand-in for the application object: folders, flags and a resource file that tests set.
#pragma once
#include "AppHost.h"

class FakeHost : public IAppHost {
public:
    FakeHost() { SetAppHost(this); }
    ~FakeHost() override { SetAppHost(nullptr); }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    bool IsHeartbeatWorkEnabled() const override { return heartbeatWork; }
    void EnableHeartbeatWork() override { heartbeatWork = true; }
    void DisableHeartbeatWork() override { heartbeatWork = false; }
    bool IsSystemCursorShown() const override { return systemCursor; }
    void ShowSystemCursor() override { systemCursor = true; }
    void HideSystemCursor() override { systemCursor = false; }
    bool IsOwnCursorShowing() const override { return ownCursor; }
    void ShowAppCursor() override { ownCursor = true; }
    void HideAllCursors() override { systemCursor = ownCursor = false; }
    HWND GetMainWindowHandle() const override { return mainWindow; }
    const gCString& GetProgramFolder() const override { return programFolder; }
    const gCString& GetSecondFolder() const override { return secondFolder; }
    gCStream* GetResourceStream() override { return resourceStream; }
    CResourceDirectory* GetResourceDirectory() override { return resourceDirectory; }

    bool heartbeatWork = true;
    bool systemCursor = false;
    bool ownCursor = true;
    HWND mainWindow = nullptr;
    gCString programFolder{L"C:\\Program\\"};
    gCString secondFolder{L"C:\\Second\\"};
    gCStream* resourceStream = nullptr;
    CResourceDirectory* resourceDirectory = nullptr;
};

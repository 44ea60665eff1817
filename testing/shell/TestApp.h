// The test application on the real stack: CApp with every hook recorded or scriptable. One
// application object exists at a time; it closes its main window and drains the queue's
// WM_QUIT when it goes.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "CApp.h"
#include "CWindowBase.h"
#include "Expect.h"
#include "FakeContent.h"
#include "Wait.h"

class TestApp : public CApp {
public:
    explicit TestApp(const CAppServices* services = nullptr);
    ~TestApp() override;

    // The updater's kind of window: 640 by 240, centred, on the work area's monitor.
    gCResult OpenTestWindow(IWindowContent* content);
    // A 320 by 200 window at the top left of the screen with a new FakeContent.
    gCResult OpenPlainWindow();
    // The program folder (and second folder) the application reports.
    void SetProgramFolder(const std::wstring& folder);

    gCResult Init() override
    {
        log.push_back("Init");
        return CApp::Init();
    }
    gCResult OnStart(gCString commandLine) override;
    gCResult CreateTablet() override
    {
        log.push_back("CreateTablet");
        return CApp::CreateTablet();
    }
    gCResult OnAppTick() override;
    void OnLoopEnd() override { log.push_back("OnLoopEnd"); }
    gCResult OnExit() override
    {
        log.push_back("OnExit");
        return exitResult;
    }
    uint32_t QueryClose() override { return queryClose; }
    gCResult OnFilesDropped(gCStringArray& names) override;
    int32_t IsControlDown() override { return control < 0 ? CApp::IsControlDown() : control; }
    int32_t IsAltDown() override { return alt < 0 ? CApp::IsAltDown() : alt; }
    int32_t IsShiftDown() override { return shift < 0 ? CApp::IsShiftDown() : shift; }

    std::vector<std::string> log;
    std::wstring commandLineSeen;
    std::function<gCResult(TestApp&)> onStart;
    std::function<gCResult(TestApp&)> onAppTick;
    int32_t appTicks = 0;
    gCResult exitResult = kOk;
    uint32_t queryClose = 2;
    std::vector<std::wstring> dropped;
    // The modifiers the window sees; -1: the keyboard's.
    int32_t control = -1;
    int32_t alt = -1;
    int32_t shift = -1;
};

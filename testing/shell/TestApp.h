// The test application on the real stack: CApp with every hook recorded or scriptable, and a
// plain window content that draws nothing. One application object exists at a time; it
// closes its main window and drains the queue's WM_QUIT when it goes.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "CApp.h"
#include "CWindowBase.h"
#include "Expect.h"
#include "IWindowContent.h"
#include "Wait.h"

// A content that keeps its size and a cursor flag and answers every dispatch with kOk.
class PlainContent : public IWindowContent {
public:
    int32_t GetWidth() const override { return m_width; }
    int32_t GetHeight() const override { return m_height; }
    gCResult SetSize(int32_t width, int32_t height, int32_t) override;
    gCPoint GetNaturalSize() const override { return {320, 200}; }
    gCString GetContentName() const override { return gCString(L"Test Window"); }
    gCPoint LocalToScreen(const gCPoint& local) const override { return local; }
    bool IsFramed() const override { return false; }
    bool IsFullMonitor() const override { return false; }
    bool IsLayered() const override { return false; }
    bool HasModal() const override { return false; }
    HDC GetBackBufferDC() override { return nullptr; }
    void ReleaseBackBufferDC() override {}
    void SetWindow(CWindowBase* window) override { m_window = window; }
    CWindowBase* GetWindow() const override { return m_window; }
    gCCmdTarget* AsCmdTarget() override { return nullptr; }
    gCResult DispatchKeyDown(int32_t&, int32_t) override { return kOk; }
    gCResult DispatchKeyUp(int32_t&, uint32_t) override { return kOk; }
    gCResult DispatchTimer(int32_t&, uint32_t) override { return kOk; }
    gCResult DispatchMouseMove(int32_t&, const gCPoint&) override { return kOk; }
    gCResult DispatchLButtonDown(int32_t&, const gCPoint&) override { return kOk; }
    gCResult DispatchLButtonUp(int32_t&, const gCPoint&) override { return kOk; }
    gCResult DispatchMButtonDown(int32_t&, const gCPoint&) override { return kOk; }
    gCResult DispatchMButtonUp(int32_t&, const gCPoint&) override { return kOk; }
    gCResult DispatchRButtonDown(int32_t&, const gCPoint&) override { return kOk; }
    gCResult DispatchRButtonUp(int32_t&, const gCPoint&) override { return kOk; }
    gCResult DispatchMouseWheel(int32_t&, const gCPoint&, const gCPoint&) override { return kOk; }
    gCResult DispatchHeartbeat() override { return kOk; }
    void UpdateRollover() override {}
    void ClearRollover() override {}
    uint32_t BroadcastMessage(uint32_t, uint32_t, uint32_t) override { return 0; }
    void HideCursor() override { m_cursorShown = 0; }
    void ShowCursor() override { m_cursorShown = 1; }
    int32_t IsCursorShown() const override { return m_cursorShown; }
    void UpdateCursorWidget() override {}
    void SetReady() override {}
    gCResult OnWindowOpen() override { return kOk; }
    void OnWindowDetach() override {}

private:
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_cursorShown = 0;
    CWindowBase* m_window = nullptr;
};

class TestApp : public CApp {
public:
    explicit TestApp(const CAppServices* services = nullptr);
    ~TestApp() override;

    // The updater's kind of window: 640 by 240, centred, on the work area's monitor.
    gCResult OpenTestWindow(IWindowContent* content);
    // A 320 by 200 window at the top left of the screen with a new PlainContent.
    gCResult OpenPlainWindow();
    // The program folder (and second folder) the application reports.
    void SetProgramFolder(const std::wstring& folder);
    bool PumpUntil(const std::function<bool()>& done, int ms = kWaitMs) { return ::PumpUntil(done, ms); }
    void Drain() { DrainQuit(); }

    gCResult Init() override;
    gCResult OnStart(gCString commandLine) override;
    gCResult CreateTablet() override;
    gCResult OnAppTick() override;
    void OnLoopEnd() override { log.push_back("OnLoopEnd"); }
    gCResult OnExit() override;
    uint32_t QueryClose() override { return queryClose; }
    uint32_t OnNotify(uint32_t id, uint32_t a, uint32_t b) override;
    gCResult OnFilesDropped(gCStringArray& names) override;
    int32_t IsControlDown() override { return control < 0 ? CApp::IsControlDown() : control; }
    int32_t IsAltDown() override { return alt < 0 ? CApp::IsAltDown() : alt; }
    int32_t IsShiftDown() override { return shift < 0 ? CApp::IsShiftDown() : shift; }

    std::vector<std::string> log;
    std::wstring commandLineSeen;
    std::function<gCResult(TestApp&)> onStart;
    std::function<gCResult(TestApp&)> onAppTick;
    std::function<uint32_t(uint32_t id, uint32_t a, uint32_t b)> onNotify;
    std::vector<uint32_t> notified;
    int32_t appTicks = 0;
    uint32_t firstAppTick = 0;
    gCResult exitResult = kOk;
    uint32_t queryClose = 2;
    std::vector<std::wstring> dropped;
    // The modifiers the window sees; -1: the keyboard's.
    int32_t control = -1;
    int32_t alt = -1;
    int32_t shift = -1;
};

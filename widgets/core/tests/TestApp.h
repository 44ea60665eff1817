// A test application on the real stack: CApp with the widget services, and a backdrop that
// records what the window hands it. One application object exists at a time.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "CApp.h"
#include "CBackdrop.h"
#include "CWindowBase.h"
#include "WidgetServices.h"

struct MouseRecord {
    CBackdrop::MouseEvent event;
    gCPoint point;
};

class RecordingBackdrop : public CBackdrop {
public:
    RecordingBackdrop() { EXPECT_EQ(m_name.SetText(L"Test Window"), kOk); }

    void UpdateCursorWidget() override { ++upkeepTicks; }
    gCResult SetSize(int32_t width, int32_t height, int32_t redraw) override
    {
        if (failSize)
            return failSize;
        return CBackdrop::SetSize(width, height, redraw);
    }

    std::vector<int32_t> keys;
    std::vector<uint32_t> keyUps;
    std::vector<MouseRecord> mice;
    std::vector<std::pair<gCPoint, gCPoint>> wheels;
    int32_t handleKeys = 0;
    int32_t heartbeats = 0;
    int32_t upkeepTicks = 0;
    gCResult failSize = 0;

protected:
    gCResult OnKeyDown(int32_t& handled, int32_t code) override
    {
        keys.push_back(code);
        handled = handleKeys;
        return kOk;
    }
    gCResult OnKeyUp(int32_t&, uint32_t key) override
    {
        keyUps.push_back(key);
        return kOk;
    }
    gCResult OnMouse(int32_t&, MouseEvent event, const gCPoint& point) override
    {
        mice.push_back({event, point});
        return kOk;
    }
    gCResult OnMouseWheel(int32_t&, const gCPoint& delta, const gCPoint& screen) override
    {
        wheels.push_back({delta, screen});
        return kOk;
    }
    gCResult OnHeartbeat() override
    {
        ++heartbeats;
        return kOk;
    }
};

class TestApp : public CApp {
public:
    TestApp() : CApp(GetWidgetServices()) { m_showMode = SW_SHOWNORMAL; }

    // Opens the updater's kind of window: 640 by 240, centred, on the work area's monitor.
    gCResult OpenTestWindow(RecordingBackdrop* content)
    {
        return OpenMainWindowAt(content, 103, kWindowCentreX | kWindowCentreY, 640.0f, 240.0f, -1.0f, -1.0f, nullptr,
                                0);
    }

    gCResult Init() override
    {
        log.push_back("Init");
        return CApp::Init();
    }
    gCResult OnStart(gCString commandLine) override
    {
        log.push_back("OnStart");
        commandLineSeen = commandLine.Text();
        return onStart ? onStart(*this) : kOk;
    }
    gCResult CreateTablet() override
    {
        log.push_back("CreateTablet");
        return CApp::CreateTablet();
    }
    gCResult OnAppTick() override
    {
        ++appTicks;
        if (firstAppTick == 0)
            firstAppTick = GetTickCounter();
        return onAppTick ? onAppTick(*this) : kOk;
    }
    void OnLoopEnd() override { log.push_back("OnLoopEnd"); }
    gCResult OnExit() override
    {
        log.push_back("OnExit");
        return exitResult;
    }
    uint32_t QueryClose() override { return queryClose; }
    gCResult OnFilesDropped(gCStringArray& names) override
    {
        for (int32_t i = 0; i < names.Count(); ++i)
            dropped.push_back(names[i].Text());
        return CApp::OnFilesDropped(names);
    }
    int32_t IsControlDown() override { return control; }
    int32_t IsAltDown() override { return alt; }
    int32_t IsShiftDown() override { return shift; }

    std::vector<std::string> log;
    std::wstring commandLineSeen;
    std::function<gCResult(TestApp&)> onStart;
    std::function<gCResult(TestApp&)> onAppTick;
    int32_t appTicks = 0;
    uint32_t firstAppTick = 0;
    gCResult exitResult = 0;
    uint32_t queryClose = 2;
    std::vector<std::wstring> dropped;
    int32_t control = 0;
    int32_t alt = 0;
    int32_t shift = 0;
};

// Removes a WM_QUIT that a destroyed main window left in this thread's queue.
inline void DrainQuit()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

// Dispatches what is queued for this thread's windows for a while.
inline void PumpFor(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < milliseconds) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
}

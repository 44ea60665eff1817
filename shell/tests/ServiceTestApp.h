// An application object with a real main window for the service tests: the window's content
// is a plain stand-in that draws nothing and keeps a cursor flag.
#pragma once
#include <new>
#include <string>

#include "CApp.h"
#include "CWindowBase.h"
#include "IWindowContent.h"

// Test messages show the text, not the object's bytes.
inline std::wstring W(const gCString& text)
{
    return text.Text();
}

class PlainContent : public IWindowContent {
public:
    int32_t GetWidth() const override { return m_width; }
    int32_t GetHeight() const override { return m_height; }
    gCResult SetSize(int32_t width, int32_t height, int32_t) override
    {
        m_width = width;
        m_height = height;
        return kOk;
    }
    gCPoint GetNaturalSize() const override { return {320, 200}; }
    gCString GetContentName() const override { return gCString(L"Services"); }
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

class ServiceTestApp : public CApp {
public:
    ServiceTestApp() { m_showMode = SW_SHOWNORMAL; }
    ~ServiceTestApp() override
    {
        if (CWindowBase* window = GetMainWindow())
            window->Close();
        MSG message;
        while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    // A small window at the top left of the screen.
    gCResult OpenWindow()
    {
        PlainContent* content = new (std::nothrow) PlainContent();
        if (!content)
            return kOutOfMemory;
        return OpenMainWindow(content, 0, 320, 200, "Services", 1);
    }
};

// The Win32 side of a toolkit window: class registration and creation, placement on the
// monitor, paint from the content's back buffer, the window procedure and key translation.
// The object deletes itself when its Win32 window is destroyed (WM_NCDESTROY).
#pragma once
#include <windows.h>
#include <shellapi.h>

#include "CWindowBase.h"

class CWinWindow : public CWindowBase {
public:
    CWinWindow() = default;

    int32_t Create(int32_t width, int32_t height, const gCString& title, int32_t iconId) override;
    gCResult CentreInArea(int32_t width, int32_t height, int32_t redraw) override;
    gCResult CentreFraction(float fx, float fy, int32_t redraw) override;
    gCResult Show(int32_t show) override;
    gCResult SetIcon(int32_t iconId) override;
    void Close() override;
    gCResult SetTitle(const gCString& title) override;
    gCString GetTitle() const override;
    gCResult SetSizeFractionEx(float fx, float fy, int32_t redraw) override;
    gCResult SetPositionEx(int32_t x, int32_t y, int32_t redraw) override;
    void GetClientOrigin(gCPoint& origin) const override;
    void GetClientRectOnScreen(gCRect& rect) const override;
    gCResult CentreWindowEx(int32_t redraw) override;
    gCResult SetFrame(int32_t x, int32_t y, int32_t width, int32_t height, int32_t redraw) override;
    gCResult Relayout(uint32_t flags, float sx, float sy, float px, float py, int32_t redraw) override;
    void ComputeRect(gCRect& rect, uint32_t flags, float sx, float sy, float px, float py, int32_t fullScreen) override;
    int32_t Paint() override;
    int32_t IsCursorOverWindow() override;
    void SetSystemKeys(int32_t on) override { m_systemKeys = on; }
    int32_t GetSystemKeys() const override { return m_systemKeys; }
    HWND GetHandle() const override { return m_window; }

    virtual int32_t CreateAt(uint32_t flags, float sx, float sy, float px, float py, const gCString& title,
                             int32_t iconId);
    virtual LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnNcDestroy();
    virtual void TranslateKey(uint32_t virtualKey);

    void OnDropFiles(HDROP drop);

    // The placement area: the monitor rectangle or its work area, with their fallbacks.
    gCRect GetMonitorRect() const;
    gCRect GetWorkArea() const;

    // The window procedure registered with every window class of the program.
    static LRESULT CALLBACK SharedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // Registers the class and creates the Win32 window of the given outer size.
    // 0 when no window was made; the object has then deleted itself.
    int32_t CreateFrame(const gCString& title, int32_t iconId, DWORD style, int32_t width, int32_t height);
    // The last creation steps: a default content, placement, the back buffer. 0 on failure,
    // after the window (and with it the object) has been destroyed.
    int32_t FinishCreate(bool place, uint32_t flags, float sx, float sy, float px, float py, int32_t width,
                         int32_t height);
    // The area that the centring and frame operations use.
    gCRect GetFrameArea() const;
    gCResult MoveFrame(const RECT& rect, UINT flags);
    void OnSizeMessage(WPARAM kind, int32_t width, int32_t height);

    HWND m_window = nullptr;
    int32_t m_systemKeys = 0;
    // Set while creating: tells Create that WM_NCDESTROY has already deleted the object.
    bool* m_destroyedSignal = nullptr;
};

// A toolkit window: owns one content (IWindowContent) and forwards events to it, keeps the
// content's back buffer at the client size and runs the per-tick update. Platform-neutral;
// CWinWindow adds the Win32 window.
#pragma once
#include <windows.h>

#include <cstdint>

#include "IWindowContent.h"
#include "gCBaseObject.h"
#include "gCGeometry.h"
#include "gCResult.h"
#include "gCString.h"

// Window flags of placement.
enum : uint32_t {
    kWindowFill = 0x1,
    kWindowCentreX = 0x2,
    kWindowCentreY = 0x4,
    kWindowFractionPos = 0x8,
    kWindowFractionSize = 0x10,
    kWindowResizable = 0x20,
};

// Toolkit key codes of the non-character keys.
enum : int32_t {
    kKeyLeft = -256,
    kKeyRight = -255,
    kKeyUp = -254,
    kKeyDown = -253,
    kKeyHome = -252,
    kKeyEnd = -251,
    kKeyPageUp = -250,
    kKeyPageDown = -249,
    kKeyF1 = -248,
    kKeyF4 = -245,
    kKeyF7 = -242,
    kKeyF8 = -241,
    kKeyF11 = -238,
    kKeyF12 = -237,
    kKeyDelete = 127,
    kKeyEscape = 27,
};

// Process-wide: set by WM_NCACTIVATE, cleared on minimising; read by the window's tick.
int32_t GetWindowActiveFlag();
void SetWindowActiveFlag(int32_t active);

class CWindowBase : public gCBaseObject {
public:
    CWindowBase();
    ~CWindowBase() override;
    CWindowBase(const CWindowBase&) = delete;
    CWindowBase& operator=(const CWindowBase&) = delete;

    // 1 on success, 0 on failure (the object has then deleted itself).
    virtual int32_t Create(int32_t width, int32_t height, const gCString& title, int32_t iconId) = 0;
    virtual gCResult CentreInArea(int32_t width, int32_t height, int32_t redraw) = 0;
    virtual gCResult CentreFraction(float fx, float fy, int32_t redraw) = 0;
    // With keepSize and an old content: the old one is deleted and the new one takes its
    // size. Otherwise the pointer is only replaced (how a caller detaches the content).
    virtual void SetContent(IWindowContent* content, int32_t keepSize);
    virtual gCResult Show(int32_t show) = 0;
    virtual gCResult SetIcon(int32_t iconId) = 0;
    virtual void Close() = 0;
    virtual gCResult SetTitle(const gCString& title);
    virtual gCString GetTitle() const;
    virtual gCResult SetSizeFraction(float fx, float fy, int32_t ignored);
    virtual gCResult SetSizeFractionEx(float fx, float fy, int32_t redraw) = 0;
    virtual gCResult SetPosition(int32_t x, int32_t y, int32_t ignored);
    virtual gCResult SetPositionEx(int32_t x, int32_t y, int32_t redraw) = 0;
    virtual void GetClientOrigin(gCPoint& origin) const = 0;
    virtual void GetClientRectOnScreen(gCRect& rect) const = 0;
    virtual gCResult CentreWindow(int32_t ignored);
    virtual gCResult CentreWindowEx(int32_t redraw) = 0;
    virtual gCResult SetFrame(int32_t x, int32_t y, int32_t width, int32_t height, int32_t redraw) = 0;
    virtual gCResult CentreFractionDefault(float fx, float fy, int32_t redraw);
    virtual gCResult CentreInAreaDefault(int32_t width, int32_t height, int32_t redraw);
    virtual gCResult Relayout(uint32_t flags, float sx, float sy, float px, float py, int32_t redraw) = 0;
    virtual void ComputeRect(gCRect& rect, uint32_t flags, float sx, float sy, float px, float py,
                             int32_t fullScreen) = 0;
    virtual int32_t SetFullScreen(int32_t value, int32_t argument);
    virtual void OnFullScreenChanged(int32_t value, int32_t argument);
    virtual gCResult Tick();
    virtual void OnChar(int32_t code);
    virtual void OnKeyUp(uint32_t virtualKey);
    virtual void OnTimer(uint32_t timerId);
    virtual void OnLButtonDown(const gCPoint& point);
    virtual void OnLButtonUp(const gCPoint& point);
    virtual void OnMButtonDown(const gCPoint& point);
    virtual void OnMButtonUp(const gCPoint& point);
    virtual void OnMouseWheel(const gCPoint& delta, const gCPoint& screen);
    virtual void OnMouseMove(const gCPoint& point);
    virtual void OnRButtonDown(const gCPoint& point);
    virtual void OnRButtonUp(const gCPoint& point);
    // 0, or the content's failure to resize its back buffer (already reported).
    virtual gCResult SetSize(int32_t width, int32_t height);
    virtual int32_t Paint() = 0;
    virtual int32_t IsCursorOverWindow() = 0;
    virtual void SetSystemKeys(int32_t on);
    virtual int32_t GetSystemKeys() const;
    virtual void DropContent();

    // The Win32 window, or null.
    virtual HWND GetHandle() const { return nullptr; }

    IWindowContent* GetContent() const { return m_content; }
    int32_t IsOpen() const { return m_open; }
    int32_t GetClientWidth() const { return m_clientWidth; }
    int32_t GetClientHeight() const { return m_clientHeight; }
    int32_t GetFullScreen() const { return m_fullScreen; }
    // Sets the flag without the change hook or a new layout.
    void SetFullScreenFlag(int32_t value) { m_fullScreen = value; }
    int32_t GetFillFlag() const { return m_fill; }
    int32_t IsResizable() const { return m_resizable; }

protected:
    // Offers one pointer event to the content and reports its failure.
    void ForwardPoint(gCResult (IWindowContent::*dispatch)(int32_t&, const gCPoint&), const gCPoint& point);
    void ReportDispatch(gCResult result);

    int32_t m_open = 0;
    int32_t m_clientWidth = 0;
    int32_t m_clientHeight = 0;
    IWindowContent* m_content = nullptr;
    int32_t m_fullScreen = 0;
    int32_t m_fill = 1;
    int32_t m_resizable = 0;
    // Set when the back buffer could not follow the client size; creation then fails.
    int32_t m_bufferFailed = 0;
};

// The root widget of a window, its content: it owns the 32-bit back buffer that the window
// paints from, and it is offered every event of the window. There is no widget tree yet: the
// dispatch operations offer events to the backdrop's own handlers, which classes derived
// from it override. Its one child is the application's own cursor, drawn over what it puts on
// the screen; the back buffer never holds it.
#pragma once
#include "CCursorWidget.h"
#include "CImageBase.h"
#include "CWidget.h"
#include "IWindowContent.h"
#include "gCArray.h"

class CBackdrop : public CWidget, public IWindowContent {
public:
    CBackdrop() = default;
    // Stops being the view message target.
    ~CBackdrop() override;

    // A plain backdrop for a window created without content; null when memory runs out.
    static IWindowContent* CreatePlain();

    // IWindowContent.
    int32_t GetWidth() const override { return CWidget::GetWidth(); }
    int32_t GetHeight() const override { return CWidget::GetHeight(); }
    // A size with no pixels (a width or height of 0) keeps no back buffer.
    gCResult SetSize(int32_t width, int32_t height, int32_t redraw) override;
    gCPoint GetNaturalSize() const override { return m_position.Size(); }
    gCString GetContentName() const override { return m_name; }
    gCPoint LocalToScreen(const gCPoint& local) const override;
    bool IsFramed() const override { return m_framed != 0; }
    bool IsFullMonitor() const override { return m_fullMonitor != 0; }
    bool IsLayered() const override { return m_layered != 0; }
    bool HasModal() const override { return GetModalTop() != nullptr; }
    HDC GetBackBufferDC() override { return m_backBuffer.GetMemDC(); }
    // The window's paint has copied the buffer, perhaps over the cursor.
    void ReleaseBackBufferDC() override;
    void SetWindow(CWindowBase* window) override { m_window = window; }
    CWindowBase* GetWindow() const override { return m_window; }
    gCCmdTarget* AsCmdTarget() override { return this; }

    gCResult DispatchKeyDown(int32_t& handled, int32_t code) override { return OnKeyDown(handled, code); }
    gCResult DispatchKeyUp(int32_t& handled, uint32_t key) override { return OnKeyUp(handled, key); }
    gCResult DispatchTimer(int32_t& handled, uint32_t id) override { return OnTimer(handled, id); }
    gCResult DispatchMouseMove(int32_t& handled, const gCPoint& p) override { return OnMouse(handled, kMove, p); }
    gCResult DispatchLButtonDown(int32_t& handled, const gCPoint& p) override { return OnMouse(handled, kLDown, p); }
    gCResult DispatchLButtonUp(int32_t& handled, const gCPoint& p) override { return OnMouse(handled, kLUp, p); }
    gCResult DispatchMButtonDown(int32_t& handled, const gCPoint& p) override { return OnMouse(handled, kMDown, p); }
    gCResult DispatchMButtonUp(int32_t& handled, const gCPoint& p) override { return OnMouse(handled, kMUp, p); }
    gCResult DispatchRButtonDown(int32_t& handled, const gCPoint& p) override { return OnMouse(handled, kRDown, p); }
    gCResult DispatchRButtonUp(int32_t& handled, const gCPoint& p) override { return OnMouse(handled, kRUp, p); }
    gCResult DispatchMouseWheel(int32_t& handled, const gCPoint& delta, const gCPoint& screen) override
    {
        return OnMouseWheel(handled, delta, screen);
    }
    gCResult DispatchHeartbeat() override { return OnHeartbeat(); }

    // The widget under the cursor: the backdrop itself while the cursor is over its area.
    void UpdateRollover() override;
    void ClearRollover() override { m_rollover = nullptr; }
    uint32_t BroadcastMessage(uint32_t id, uint32_t a, uint32_t b) override { return OnNotify(id, a, b); }

    // Showing, hiding and moving the cursor put it on the screen at once.
    void HideCursor() override;
    void ShowCursor() override;
    int32_t IsCursorShown() const override { return m_cursorShown; }
    // Moves the cursor to the pointer.
    void UpdateCursorWidget() override;

    void SetReady() override { m_ready = 1; }
    gCResult OnWindowOpen() override { return kOk; }
    void OnWindowDetach() override {}

    // Copies the dirty region of the back buffer to the window, with the cursor over it.
    gCResult Present() override;

    enum MouseEvent { kMove, kLDown, kLUp, kMDown, kMUp, kRDown, kRUp };

    CImageBase& GetBackBuffer() { return m_backBuffer; }
    CWidget* GetRollover() const { return m_rollover; }
    int32_t IsReady() const { return m_ready; }
    CWidget* GetModalTop() const;
    gCResult PushModal(CWidget* widget) { return m_modalStack.Add(widget); }
    void PopModal() { m_modalStack.RemoveAt(m_modalStack.Count() - 1); }
    void SetFramed(int32_t on) { m_framed = on; }
    void SetFullMonitor(int32_t on) { m_fullMonitor = on; }
    void SetLayered(int32_t on) { m_layered = on; }

protected:
    // The backdrop's own handlers; the defaults leave every event unhandled.
    virtual gCResult OnKeyDown(int32_t& handled, int32_t code);
    virtual gCResult OnKeyUp(int32_t& handled, uint32_t virtualKey);
    virtual gCResult OnTimer(int32_t& handled, uint32_t timerId);
    virtual gCResult OnMouse(int32_t& handled, MouseEvent event, const gCPoint& point);
    virtual gCResult OnMouseWheel(int32_t& handled, const gCPoint& delta, const gCPoint& screen);
    virtual gCResult OnHeartbeat() { return kOk; }

    int32_t m_framed = 0;
    int32_t m_fullMonitor = 0;
    int32_t m_layered = 0;
    gCArray<CWidget*> m_modalStack;
    CImageBase m_backBuffer;
    CWidget* m_rollover = nullptr;
    CWindowBase* m_window = nullptr;
    int32_t m_cursorShown = 0;
    int32_t m_ready = 0;

private:
    gCResult CopyDirty(HDC target, HDC source);

    CCursorWidget m_cursor;
    // The screen may not show the cursor where it is: it is put there again at the next move.
    int32_t m_cursorStale = 0;
};

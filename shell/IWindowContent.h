// What a window needs of its content. The widget layer's backdrop implements it; the shell
// never sees the widget classes. The window owns its content and deletes it through this
// interface.
#pragma once
#include <windows.h>

#include <cstdint>

#include "gCCmdTarget.h"
#include "gCGeometry.h"
#include "gCResult.h"
#include "gCString.h"

class CWindowBase;

class IWindowContent {
public:
    virtual ~IWindowContent() = default;

    virtual int32_t GetWidth() const = 0;
    virtual int32_t GetHeight() const = 0;
    // Resizes the content and its back buffer; nonzero when the buffer cannot be had.
    virtual gCResult SetSize(int32_t width, int32_t height, int32_t redraw) = 0;
    // The size held in the content's own position values (for a window opened at size 0).
    virtual gCPoint GetNaturalSize() const = 0;
    virtual gCString GetContentName() const = 0;
    // The content's local point converted to screen coordinates.
    virtual gCPoint LocalToScreen(const gCPoint& local) const = 0;

    virtual bool IsFramed() const = 0;
    virtual bool IsFullMonitor() const = 0;
    virtual bool IsLayered() const = 0;
    // True while the top of the modal stack holds a widget.
    virtual bool HasModal() const = 0;

    // The back buffer's memory DC; null without a back buffer. Release after each use.
    virtual HDC GetBackBufferDC() = 0;
    virtual void ReleaseBackBufferDC() = 0;

    virtual void SetWindow(CWindowBase* window) = 0;
    virtual CWindowBase* GetWindow() const = 0;
    // The content as a message target, to clear the view target when it goes.
    virtual gCCmdTarget* AsCmdTarget() = 0;

    virtual gCResult DispatchKeyDown(int32_t& handled, int32_t code) = 0;
    virtual gCResult DispatchKeyUp(int32_t& handled, uint32_t virtualKey) = 0;
    virtual gCResult DispatchTimer(int32_t& handled, uint32_t timerId) = 0;
    virtual gCResult DispatchMouseMove(int32_t& handled, const gCPoint& point) = 0;
    virtual gCResult DispatchLButtonDown(int32_t& handled, const gCPoint& point) = 0;
    virtual gCResult DispatchLButtonUp(int32_t& handled, const gCPoint& point) = 0;
    virtual gCResult DispatchMButtonDown(int32_t& handled, const gCPoint& point) = 0;
    virtual gCResult DispatchMButtonUp(int32_t& handled, const gCPoint& point) = 0;
    virtual gCResult DispatchRButtonDown(int32_t& handled, const gCPoint& point) = 0;
    virtual gCResult DispatchRButtonUp(int32_t& handled, const gCPoint& point) = 0;
    virtual gCResult DispatchMouseWheel(int32_t& handled, const gCPoint& delta, const gCPoint& screen) = 0;
    virtual gCResult DispatchHeartbeat() = 0;

    virtual void UpdateRollover() = 0;
    virtual void ClearRollover() = 0;
    virtual uint32_t BroadcastMessage(uint32_t id, uint32_t a, uint32_t b) = 0;

    virtual void HideCursor() = 0;
    virtual void ShowCursor() = 0;
    virtual int32_t IsCursorShown() const = 0;
    virtual void UpdateCursorWidget() = 0;

    // Puts what changed on the screen at once, without waiting for a paint.
    virtual gCResult Present() { return kOk; }

    virtual void SetReady() = 0;
    virtual gCResult OnWindowOpen() = 0;
    virtual void OnWindowDetach() = 0;
};

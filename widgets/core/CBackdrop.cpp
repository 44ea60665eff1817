#include "CBackdrop.h"

#include <new>

#include "CWindowBase.h"
#include "WinHandle.h"

CBackdrop::~CBackdrop()
{
    if (GetViewMessageTarget() == this)
        SetViewMessageTarget(nullptr);
}

IWindowContent* CBackdrop::CreatePlain()
{
    return new (std::nothrow) CBackdrop();
}

gCResult CBackdrop::SetSize(int32_t width, int32_t height, int32_t redraw)
{
    if (width < 0 || height < 0)
        return kBadParameter;
    if (width == 0 || height == 0)
        m_backBuffer.Destroy();
    else
        QV_RETURN_IF_FAILED(m_backBuffer.Create(width, height));
    QV_RETURN_IF_FAILED(CWidget::SetSize(width, height, redraw));
    // Marks of the old size may lie outside the new buffer; all of it is new anyway.
    m_dirty.Clear();
    InvalidateAll();
    return kOk;
}

gCPoint CBackdrop::LocalToScreen(const gCPoint& local) const
{
    gCPoint origin = {0, 0};
    if (m_window)
        m_window->GetClientOrigin(origin);
    return {origin.x + local.x, origin.y + local.y};
}

CWidget* CBackdrop::GetModalTop() const
{
    int32_t count = m_modalStack.Count();
    return count > 0 ? m_modalStack[count - 1] : nullptr;
}

void CBackdrop::UpdateRollover()
{
    POINT cursor;
    if (!m_window || !::GetCursorPos(&cursor)) {
        m_rollover = nullptr;
        return;
    }
    gCPoint origin = {0, 0};
    m_window->GetClientOrigin(origin);
    const int32_t x = cursor.x - origin.x;
    const int32_t y = cursor.y - origin.y;
    const bool inside = x >= 0 && y >= 0 && x < GetWidth() && y < GetHeight();
    m_rollover = inside ? this : nullptr;
}

void CBackdrop::ReleaseBackBufferDC()
{
    m_backBuffer.ReleaseMemDC();
    if (m_cursorShown)
        m_cursorStale = 1;
}

void CBackdrop::ShowCursor()
{
    m_cursorShown = 1;
    m_cursorStale = 1;
    UpdateCursorWidget();
}

void CBackdrop::HideCursor()
{
    if (!m_cursorShown)
        return;
    m_cursorShown = 0;
    Invalidate(m_cursor.GetPosition());
    (void)Present(); // the next present or paint takes it away otherwise
}

void CBackdrop::UpdateCursorWidget()
{
    POINT pointer;
    if (!m_cursorShown || !m_window || !::GetCursorPos(&pointer))
        return;
    gCPoint origin = {0, 0};
    m_window->GetClientOrigin(origin);
    const gCRect before = m_cursor.GetPosition();
    m_cursor.MoveTo({pointer.x - origin.x, pointer.y - origin.y});
    if (m_cursor.GetPosition() == before && !m_cursorStale)
        return;
    m_cursorStale = 0;
    Invalidate(before);
    Invalidate(m_cursor.GetPosition());
    (void)Present(); // as HideCursor
}

gCResult CBackdrop::Present()
{
    HWND window = m_window ? m_window->GetHandle() : nullptr;
    if (!window || m_layered || m_dirty.IsEmpty())
        return kOk;
    HDC source = m_backBuffer.GetMemDC();
    if (!source)
        return kOk;
    gCResult result = kGenericFailure;
    {
        CWindowDC target(window);
        if (target.Get())
            result = CopyDirty(target.Get(), source);
    }
    m_backBuffer.ReleaseMemDC();
    // What could not be copied stays dirty for the next present.
    if (result == kOk)
        m_dirty.Clear();
    // On the screen now, not when the thread next waits for messages: a program that ends
    // right after its last line would never show it. Some systems hold a window's drawing
    // until such a wait; one of no time takes no message and lets it through.
    (void)MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT); // nothing is waited for
    return result;
}

gCResult CBackdrop::CopyDirty(HDC target, HDC source)
{
    const gCRect cursor = m_cursor.GetPosition();
    const bool drawCursor = m_cursorShown && m_dirty.Intersects(cursor);
    // The cursor's place is drawn once, with the cursor, so that it does not flicker.
    if (drawCursor)
        ExcludeClipRect(target, cursor.left, cursor.top, cursor.right, cursor.bottom);
    for (int32_t i = 0; i < m_dirty.Count(); ++i) {
        const gCRect& r = m_dirty.At(i);
        if (!BitBlt(target, r.left, r.top, r.Width(), r.Height(), source, r.left, r.top, SRCCOPY))
            return kGenericFailure;
    }
    if (!drawCursor)
        return kOk;
    SelectClipRgn(target, nullptr);
    QV_RETURN_IF_FAILED(m_cursor.Render(m_backBuffer));
    CImageBase& picture = m_cursor.GetPicture();
    HDC arrow = picture.GetMemDC();
    const bool copied =
        arrow && BitBlt(target, cursor.left, cursor.top, cursor.Width(), cursor.Height(), arrow, 0, 0, SRCCOPY);
    picture.ReleaseMemDC();
    return copied ? gCResult(kOk) : gCResult(kGenericFailure);
}

gCResult CBackdrop::OnKeyDown(int32_t&, int32_t)
{
    return kOk;
}

gCResult CBackdrop::OnKeyUp(int32_t&, uint32_t)
{
    return kOk;
}

gCResult CBackdrop::OnTimer(int32_t&, uint32_t)
{
    return kOk;
}

gCResult CBackdrop::OnMouse(int32_t&, MouseEvent, const gCPoint&)
{
    return kOk;
}

gCResult CBackdrop::OnMouseWheel(int32_t&, const gCPoint&, const gCPoint&)
{
    return kOk;
}

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

gCResult CBackdrop::SetSize(int32_t width, int32_t height, int32_t)
{
    if (width < 0 || height < 0)
        return kBadParameter;
    if (width == 0 || height == 0)
        m_backBuffer.Destroy();
    else
        QV_RETURN_IF_FAILED(m_backBuffer.Create(width, height));
    m_position.right = m_position.left + width;
    m_position.bottom = m_position.top + height;
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

gCResult CBackdrop::Present()
{
    HWND window = m_window ? m_window->GetHandle() : nullptr;
    if (!window || m_layered)
        return kOk;
    HDC source = m_backBuffer.GetMemDC();
    if (!source)
        return kOk;
    gCResult result = 0;
    {
        CWindowDC target(window);
        if (!target.Get() ||
            !BitBlt(target.Get(), 0, 0, m_backBuffer.GetWidth(), m_backBuffer.GetHeight(), source, 0, 0, SRCCOPY))
            result = kGenericFailure;
    }
    m_backBuffer.ReleaseMemDC();
    return result;
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

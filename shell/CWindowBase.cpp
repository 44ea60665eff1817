#include "CWindowBase.h"

#include "CAppBase.h"
#include "ReportError.h"
#include "gCCmdTarget.h"

namespace {
int32_t gWindowActive = 0;
} // namespace

int32_t GetWindowActiveFlag()
{
    return gWindowActive;
}

void SetWindowActiveFlag(int32_t active)
{
    gWindowActive = active;
}

CWindowBase::CWindowBase()
{
    if (CAppBase* app = GetApp())
        // A window missing from the list is only never ticked.
        (void)app->UpdateWindowList(this, 1);
}

CWindowBase::~CWindowBase()
{
    if (CAppBase* app = GetApp())
        // Removing cannot fail.
        (void)app->UpdateWindowList(this, 0);
    DropContent();
}

void CWindowBase::SetContent(IWindowContent* content, int32_t keepSize)
{
    if (m_content && keepSize) {
        int32_t width = m_content->GetWidth();
        int32_t height = m_content->GetHeight();
        IWindowContent* old = m_content;
        m_content = nullptr;
        delete old;
        m_content = content;
        if (content)
            // A content without its buffer reports at its next paint.
            (void)content->SetSize(width, height, 1);
    } else {
        // The old content belongs to the caller again.
        if (m_content && m_content != content)
            m_content->SetWindow(nullptr);
        m_content = content;
    }
    if (content)
        content->SetWindow(this);
}

gCResult CWindowBase::SetTitle(const gCString&)
{
    return kOk;
}

gCString CWindowBase::GetTitle() const
{
    return gCString(L"");
}

gCResult CWindowBase::SetSizeFraction(float fx, float fy, int32_t)
{
    return SetSizeFractionEx(fx, fy, 1);
}

gCResult CWindowBase::SetPosition(int32_t x, int32_t y, int32_t)
{
    return SetPositionEx(x, y, 1);
}

gCResult CWindowBase::CentreWindow(int32_t)
{
    return CentreWindowEx(1);
}

gCResult CWindowBase::CentreFractionDefault(float fx, float fy, int32_t redraw)
{
    return CentreFraction(fx, fy, redraw);
}

gCResult CWindowBase::CentreInAreaDefault(int32_t width, int32_t height, int32_t redraw)
{
    return CentreInArea(width, height, redraw);
}

int32_t CWindowBase::SetFullScreen(int32_t value, int32_t argument)
{
    if (value == m_fullScreen)
        return value;
    m_fullScreen = value;
    OnFullScreenChanged(value, argument);
    if (m_fill)
        // Not checked: the frame stays where it was.
        (void)Relayout(kWindowFill, -1.0f, -1.0f, -1.0f, -1.0f, 1);
    return value;
}

void CWindowBase::OnFullScreenChanged(int32_t, int32_t) {}

gCResult CWindowBase::Tick()
{
    if (!m_content)
        return kOk;
    if (GetWindowActiveFlag() || IsCursorOverWindow())
        m_content->UpdateRollover();
    else
        m_content->ClearRollover();
    return m_content->DispatchHeartbeat();
}

void CWindowBase::ReportDispatch(gCResult result)
{
    if (result != kOk)
        ReportError(result, nullptr);
}

void CWindowBase::OnChar(int32_t code)
{
    if (m_content) {
        int32_t handled = 0;
        ReportDispatch(m_content->DispatchKeyDown(handled, code));
        if (handled)
            return;
    }
    switch (code) {
    case kKeyF7:
        // A key: a refused placement leaves the frame as it is.
        (void)CentreInArea(5000, 5000, 1);
        break;
    case kKeyF8:
        // A key: a refused placement leaves the frame as it is.
        (void)CentreFraction(0.8f, 0.8f, 1);
        break;
    case kKeyF11:
        if (CAppBase* app = GetApp()) {
            if (app->IsHeartbeatWorkEnabled())
                app->DisableHeartbeatWork();
            else
                app->EnableHeartbeatWork();
        }
        break;
    default:
        break;
    }
}

void CWindowBase::OnKeyUp(uint32_t virtualKey)
{
    if (!m_content)
        return;
    int32_t handled = 0;
    ReportDispatch(m_content->DispatchKeyUp(handled, virtualKey));
}

void CWindowBase::OnTimer(uint32_t timerId)
{
    if (!m_content)
        return;
    int32_t handled = 0;
    ReportDispatch(m_content->DispatchTimer(handled, timerId));
}

void CWindowBase::ForwardPoint(gCResult (IWindowContent::*dispatch)(int32_t&, const gCPoint&), const gCPoint& point)
{
    if (!m_content)
        return;
    int32_t handled = 0;
    ReportDispatch((m_content->*dispatch)(handled, point));
}

void CWindowBase::OnLButtonDown(const gCPoint& p)
{
    ForwardPoint(&IWindowContent::DispatchLButtonDown, p);
}
void CWindowBase::OnLButtonUp(const gCPoint& p)
{
    ForwardPoint(&IWindowContent::DispatchLButtonUp, p);
}
void CWindowBase::OnMButtonDown(const gCPoint& p)
{
    ForwardPoint(&IWindowContent::DispatchMButtonDown, p);
}
void CWindowBase::OnMButtonUp(const gCPoint& p)
{
    ForwardPoint(&IWindowContent::DispatchMButtonUp, p);
}
void CWindowBase::OnRButtonDown(const gCPoint& p)
{
    ForwardPoint(&IWindowContent::DispatchRButtonDown, p);
}
void CWindowBase::OnRButtonUp(const gCPoint& p)
{
    ForwardPoint(&IWindowContent::DispatchRButtonUp, p);
}
void CWindowBase::OnMouseMove(const gCPoint& p)
{
    ForwardPoint(&IWindowContent::DispatchMouseMove, p);
}

void CWindowBase::OnMouseWheel(const gCPoint& delta, const gCPoint& screen)
{
    if (!m_content)
        return;
    int32_t handled = 0;
    ReportDispatch(m_content->DispatchMouseWheel(handled, delta, screen));
}

gCResult CWindowBase::SetSize(int32_t width, int32_t height)
{
    if (!m_content || width <= 7)
        return kOk;
    if (width == m_content->GetWidth() && height == m_content->GetHeight()) {
        m_bufferFailed = 0;
        return kOk;
    }
    gCResult result = m_content->SetSize(width, height, 1);
    if (result == kOk) {
        m_bufferFailed = 0;
        return kOk;
    }
    // Reported once per failure, however often placement asks again. The close is posted: a
    // synchronous one would delete this window and its content while the caller (creation,
    // the window procedure) still uses them.
    if (!m_bufferFailed) {
        m_bufferFailed = 1;
        ReportError(result, "Window SetSize failed. Offscreen buffer error.");
        if (CAppBase* app = GetApp())
            app->QuitLater();
    }
    return result;
}

void CWindowBase::SetSystemKeys(int32_t) {}

int32_t CWindowBase::GetSystemKeys() const
{
    return 0;
}

void CWindowBase::DropContent()
{
    m_open = 0;
    if (IWindowContent* content = m_content) {
        content->OnWindowDetach();
        if (GetViewMessageTarget() && GetViewMessageTarget() == content->AsCmdTarget())
            SetViewMessageTarget(nullptr);
        m_content = nullptr;
        delete content;
    }
    if (GetMainWindow() == this)
        SetMainWindow(nullptr);
}

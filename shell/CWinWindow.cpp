#include "CWinWindow.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "CAppWin.h"
#include "ResolveHook.h"
#include "WinHandle.h"
#include "gCStringArray.h"

namespace {
const DWORD kFramedStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX; // 0xCB0000
const UINT kFrameChanged = SWP_FRAMECHANGED;                                          // 0x20
const UINT kWtPacket = 0x7FF0;
const UINT kWtInfoChange = 0x7FF6;
// A window without a title still needs a class name.
const wchar_t kFallbackClassName[] = L"VantorWindow";

CAppWin* AppWin()
{
    return dynamic_cast<CAppWin*>(GetApp());
}

HINSTANCE AppInstance()
{
    CAppWin* app = AppWin();
    if (app && app->GetInstance())
        return app->GetInstance();
    return GetModuleHandleW(nullptr);
}

gCRect Normalised(const RECT& r)
{
    gCRect rect{r.left, r.top, r.right, r.bottom};
    if (rect.left > rect.right)
        std::swap(rect.left, rect.right);
    if (rect.top > rect.bottom)
        std::swap(rect.top, rect.bottom);
    return rect;
}

bool MainMonitorInfo(MONITORINFO& info)
{
    CWindowBase* main = GetMainWindow();
    HWND window = main ? main->GetHandle() : nullptr;
    if (!window)
        return false;
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    info.cbSize = sizeof(info);
    return monitor && GetMonitorInfoW(monitor, &info);
}

// A framed window offers maximising only when its size may change: a window of one fixed size,
// maximised, loses its caption and with it every way back.
DWORD FramedStyle(bool resizable)
{
    return resizable ? (kFramedStyle | WS_THICKFRAME) : (kFramedStyle & ~static_cast<DWORD>(WS_MAXIMIZEBOX));
}

UINT RedrawFlags(UINT base, int32_t redraw)
{
    return redraw ? base : (base | SWP_NOREDRAW);
}

// Rounds halves to even under the default rounding mode.
int32_t RoundToInt(float value)
{
    return static_cast<int32_t>(std::lrintf(value));
}

HICON LoadAppIcon(HINSTANCE instance, int32_t iconId)
{
    if (iconId == -1)
        return LoadIconW(nullptr, IDI_WINLOGO);
    return LoadIconW(instance, MAKEINTRESOURCEW(iconId));
}
} // namespace

gCRect CWinWindow::GetMonitorRect() const
{
    MONITORINFO info;
    if (MainMonitorInfo(info))
        return Normalised(info.rcMonitor);
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

gCRect CWinWindow::GetWorkArea() const
{
    MONITORINFO info;
    if (MainMonitorInfo(info))
        return Normalised(info.rcWork);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return Normalised(work);
}

gCRect CWinWindow::GetFrameArea() const
{
    return (m_content && m_content->IsFullMonitor()) ? GetMonitorRect() : GetWorkArea();
}

int32_t CWinWindow::CreateFrame(const gCString& title, int32_t iconId, DWORD style, int32_t width, int32_t height)
{
    HINSTANCE instance = AppInstance();
    const wchar_t* className = title.IsEmpty() ? kFallbackClassName : title.Text();
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = SharedWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadAppIcon(instance, iconId);
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);

    bool destroyed = false;
    m_destroyedSignal = &destroyed;
    HWND window = CreateWindowExW(0, className, title.Text(), style, 0, 0, width, height, GetDesktopWindow(), nullptr,
                                  instance, this);
    if (destroyed)
        return 0;
    m_destroyedSignal = nullptr;
    if (!window) {
        delete this;
        return 0;
    }
    m_window = window;
    DragAcceptFiles(window, TRUE);
    return 1;
}

int32_t CWinWindow::FinishCreate(bool place, uint32_t flags, float sx, float sy, float px, float py, int32_t width,
                                 int32_t height)
{
    // Until it is open, a failure destroys the window, which deletes this object: nothing may
    // touch it after the guard has gone.
    CUniqueWindow pending(m_window);
    if (!m_content) {
        CAppBase* app = GetApp();
        const CAppServices* services = app ? app->GetServices() : nullptr;
        IWindowContent* content = (services && services->createContent) ? services->createContent() : nullptr;
        if (!content)
            return 0;
        SetContent(content, 0);
    }
    if (place) {
        if (CentreInArea(width, height, 1) != kOk)
            return 0;
    } else {
        // Not checked: a failed placement leaves the frame where it was.
        (void)Relayout(flags, sx, sy, px, py, 0);
    }
    if (!m_bufferFailed)
        // A failure sets m_bufferFailed, looked at next.
        (void)SetSize(m_clientWidth, m_clientHeight);
    if (m_bufferFailed)
        return 0;
    (void)pending.Release(); // the window is open and owns itself
    m_open = 1;
    return 1;
}

int32_t CWinWindow::Create(int32_t width, int32_t height, const gCString& title, int32_t iconId)
{
    if (CAppBase* app = GetApp())
        app->DisableHeartbeatWork();
    RECT desktop = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    width = std::min<int32_t>(width, desktop.right - desktop.left);
    height = std::min<int32_t>(height, desktop.bottom - desktop.top);

    DWORD style = (m_content && m_content->IsFramed()) ? FramedStyle(false) : 0;
    RECT outer = {0, 0, width, height};
    AdjustWindowRect(&outer, style, FALSE);
    if (!CreateFrame(title, iconId, style, outer.right - outer.left, outer.bottom - outer.top))
        return 0;
    return FinishCreate(true, 0, 0.0f, 0.0f, 0.0f, 0.0f, width, height);
}

int32_t CWinWindow::CreateAt(uint32_t flags, float sx, float sy, float px, float py, const gCString& title,
                             int32_t iconId)
{
    RECT desktop = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    if (CAppBase* app = GetApp())
        app->DisableHeartbeatWork();

    gCRect rect;
    ComputeRect(rect, flags, sx, sy, px, py, m_fullScreen);
    int32_t width = std::min<int32_t>(rect.Width(), desktop.right - desktop.left);
    int32_t height = std::min<int32_t>(rect.Height(), desktop.bottom - desktop.top);

    const bool resizable = (flags & kWindowResizable) != 0;
    DWORD style = (m_content && m_content->IsFramed()) ? FramedStyle(resizable) : (resizable ? WS_THICKFRAME : 0);
    if (resizable)
        m_resizable = 1;
    RECT outer = {0, 0, width, height};
    AdjustWindowRect(&outer, style, FALSE);
    if (!CreateFrame(title, iconId, style, outer.right - outer.left, outer.bottom - outer.top))
        return 0;
    return FinishCreate(false, flags, sx, sy, px, py, width, height);
}

gCResult CWinWindow::CentreInArea(int32_t width, int32_t height, int32_t redraw)
{
    gCRect area = GetFrameArea();
    return SetFrame(area.Width() / 2 - width / 2, area.Height() / 2 - height / 2, width, height, redraw);
}

gCResult CWinWindow::CentreFraction(float fx, float fy, int32_t redraw)
{
    gCRect area = GetFrameArea();
    return CentreInArea(static_cast<int32_t>(static_cast<float>(area.Width()) * fx),
                        static_cast<int32_t>(static_cast<float>(area.Height()) * fy), redraw);
}

gCResult CWinWindow::Show(int32_t show)
{
    if (!m_window)
        return kOk;
    if (show) {
        CAppWin* app = AppWin();
        ShowWindow(m_window, app ? app->GetShowMode() : SW_SHOW);
        SetFocus(m_window);
    } else {
        ShowWindow(m_window, SW_HIDE);
    }
    return kOk;
}

gCResult CWinWindow::SetIcon(int32_t iconId)
{
    HICON icon = LoadAppIcon(AppInstance(), iconId);
    SetClassLongPtrW(m_window, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
    SetClassLongPtrW(m_window, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(icon));
    return kOk;
}

void CWinWindow::Close()
{
    // Destroying the window deletes this object at WM_NCDESTROY.
    if (m_window)
        CWindowTraits::Close(m_window);
    else
        delete this;
}

gCResult CWinWindow::SetTitle(const gCString& title)
{
    SetWindowTextW(m_window, title.Text());
    return kOk;
}

gCString CWinWindow::GetTitle() const
{
    wchar_t text[1024] = {};
    GetWindowTextW(m_window, text, 1024);
    return gCString(text);
}

gCResult CWinWindow::SetSizeFractionEx(float fx, float fy, int32_t redraw)
{
    if (fx < 0.0f || fy < 0.0f || (fx > 1.0f && fy > 1.0f))
        return kBadParameter;
    gCRect area = GetFrameArea();
    gCPoint origin;
    GetClientOrigin(origin);
    // SetFrame clamps the size to the area and moves the frame back onto it.
    return SetFrame(origin.x, origin.y, RoundToInt(static_cast<float>(area.Width()) * std::min(fx, 1.0f)),
                    RoundToInt(static_cast<float>(area.Height()) * std::min(fy, 1.0f)), redraw);
}

gCResult CWinWindow::SetPositionEx(int32_t x, int32_t y, int32_t redraw)
{
    if (!SetWindowPos(m_window, nullptr, x, y, m_clientWidth, m_clientHeight,
                      RedrawFlags(SWP_NOSIZE | kFrameChanged, redraw)))
        return kBadParameter;
    return kOk;
}

void CWinWindow::GetClientOrigin(gCPoint& origin) const
{
    POINT point = {0, 0};
    ClientToScreen(m_window, &point);
    origin = {point.x, point.y};
}

void CWinWindow::GetClientRectOnScreen(gCRect& rect) const
{
    RECT client = {};
    GetClientRect(m_window, &client);
    gCPoint origin;
    GetClientOrigin(origin);
    rect = {client.left + origin.x, client.top + origin.y, client.right + origin.x, client.bottom + origin.y};
}

gCResult CWinWindow::CentreWindowEx(int32_t redraw)
{
    gCRect area = GetFrameArea();
    return SetPositionEx((area.Width() - m_clientWidth) / 2, (area.Height() - m_clientHeight) / 2, redraw);
}

gCResult CWinWindow::MoveFrame(const RECT& rect, UINT flags)
{
    if (!SetWindowPos(m_window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, flags))
        return kBadParameter;
    return kOk;
}

gCResult CWinWindow::SetFrame(int32_t x, int32_t y, int32_t width, int32_t height, int32_t redraw)
{
    gCRect area = GetFrameArea();
    const int32_t areaWidth = area.Width();
    const int32_t areaHeight = area.Height();
    const int32_t clampedWidth = std::min(width, areaWidth);
    const int32_t clampedHeight = std::min(height, areaHeight);
    if (width < 1 || height < 1)
        return kGenericFailure;
    m_clientWidth = clampedWidth;
    m_clientHeight = clampedHeight;
    const UINT flags = RedrawFlags(kFrameChanged, redraw);
    LONG style = GetWindowLongW(m_window, GWL_STYLE);

    if (clampedWidth == areaWidth && clampedHeight == areaHeight) {
        SetWindowLongW(m_window, GWL_STYLE, style & ~static_cast<LONG>(WS_CAPTION));
        SetWindowPos(m_window, nullptr, 0, 0, areaWidth, areaHeight, flags);
        return kOk;
    }

    DWORD adjust = 0;
    if (m_content && m_content->IsFramed()) {
        style |= WS_CAPTION;
        adjust = kFramedStyle;
    } else {
        style &= ~static_cast<LONG>(WS_CAPTION);
    }
    SetWindowLongW(m_window, GWL_STYLE, style);

    RECT rect = {x, y, x + clampedWidth, y + clampedHeight};
    AdjustWindowRect(&rect, adjust, FALSE);
    if (rect.left < 0)
        OffsetRect(&rect, -rect.left, 0);
    if (rect.top < 0)
        OffsetRect(&rect, 0, -rect.top);
    if (rect.right > areaWidth)
        OffsetRect(&rect, areaWidth - rect.right, 0);
    if (rect.bottom > areaHeight)
        OffsetRect(&rect, 0, areaHeight - rect.bottom);
    return MoveFrame(rect, flags);
}

gCResult CWinWindow::Relayout(uint32_t flags, float sx, float sy, float px, float py, int32_t redraw)
{
    gCRect computed;
    ComputeRect(computed, flags, sx, sy, px, py, m_fullScreen);
    m_clientWidth = computed.Width();
    m_clientHeight = computed.Height();
    const UINT swpFlags = RedrawFlags(kFrameChanged, redraw);
    LONG style = GetWindowLongW(m_window, GWL_STYLE);
    RECT rect = {computed.left, computed.top, computed.right, computed.bottom};

    if (m_fill) {
        style = (style & ~static_cast<LONG>(WS_CAPTION | WS_THICKFRAME)) | WS_MAXIMIZE;
        SetWindowLongW(m_window, GWL_STYLE, style);
        // Not checked: a filling frame that cannot move stays.
        (void)MoveFrame(rect, swpFlags);
    } else {
        style &= ~static_cast<LONG>(WS_MAXIMIZE);
        DWORD adjust = 0;
        if (m_content && m_content->IsFramed()) {
            style |= WS_CAPTION;
            adjust = kFramedStyle;
            if (m_resizable) {
                style |= WS_THICKFRAME;
                adjust |= WS_THICKFRAME;
            }
        } else {
            style &= ~static_cast<LONG>(WS_CAPTION | WS_THICKFRAME);
        }
        SetWindowLongW(m_window, GWL_STYLE, style);
        AdjustWindowRect(&rect, adjust, FALSE);
        QV_RETURN_IF_FAILED(MoveFrame(rect, swpFlags));
    }
    // SetSize reports its own failure and ends the program.
    (void)SetSize(m_clientWidth, m_clientHeight);
    return kOk;
}

void CWinWindow::ComputeRect(gCRect& rect, uint32_t flags, float sx, float sy, float px, float py, int32_t fullScreen)
{
    m_fill = (flags & kWindowFill) ? 1 : 0;
    const gCRect area = (m_fill && fullScreen) ? GetMonitorRect() : GetWorkArea();
    if (m_fill) {
        rect = area;
        return;
    }
    const int32_t areaWidth = area.Width();
    const int32_t areaHeight = area.Height();
    int32_t width;
    int32_t height;
    if (sx <= -1.0f || sy <= -1.0f) {
        width = std::min(m_clientWidth, areaWidth);
        height = std::min(m_clientHeight, areaHeight);
        if (areaWidth <= 0 && areaHeight <= 0) {
            m_fill = 1;
            rect = area;
            return;
        }
    } else if (flags & kWindowFractionSize) {
        width = RoundToInt(static_cast<float>(areaWidth) * std::clamp(sx, 0.0f, 1.0f));
        height = RoundToInt(static_cast<float>(areaHeight) * std::clamp(sy, 0.0f, 1.0f));
    } else {
        width = std::min(RoundToInt(sx), areaWidth);
        height = std::min(RoundToInt(sy), areaHeight);
    }
    rect = {0, 0, width, height};
    if (width >= areaWidth && height >= areaHeight) {
        m_fill = 1;
        rect = area;
        return;
    }

    const gCPoint contentScreen = m_content ? m_content->LocalToScreen({0, 0}) : gCPoint{0, 0};
    auto place = [&](bool centre, float position, int32_t areaStart, int32_t areaSize, int32_t size,
                     int32_t contentStart) -> int32_t {
        if (centre)
            return areaStart + (areaSize / 2 - size / 2);
        if (position == -1.0f)
            return m_content ? contentStart : 0;
        if (position >= 0.0f) {
            float value = (flags & kWindowFractionPos) ? position * static_cast<float>(areaSize) : position;
            return areaStart + RoundToInt(value);
        }
        return 0;
    };
    const int32_t dx = place(flags & kWindowCentreX, px, area.left, areaWidth, width, contentScreen.x);
    const int32_t dy = place(flags & kWindowCentreY, py, area.top, areaHeight, height, contentScreen.y);
    rect = {rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
}

int32_t CWinWindow::Paint()
{
    if (!m_window)
        return 0;
    CPaintScope paint(m_window);
    HDC dc = paint.Get();
    if (dc && m_content && !m_content->IsLayered()) {
        if (HDC source = m_content->GetBackBufferDC()) {
            const RECT& r = paint.Paint().rcPaint;
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, source, r.left, r.top, SRCCOPY);
            m_content->ReleaseBackBufferDC();
        }
    }
    return 1; // EndPaint always answers nonzero
}

int32_t CWinWindow::IsCursorOverWindow()
{
    POINT point;
    if (!m_window || !::GetCursorPos(&point))
        return 0;
    return WindowFromPoint(point) == m_window ? 1 : 0;
}

void CWinWindow::OnNcDestroy()
{
    m_window = nullptr;
    if (m_destroyedSignal)
        *m_destroyedSignal = true;
    delete this;
}

void CWinWindow::TranslateKey(uint32_t virtualKey)
{
    CAppBase* app = GetApp();
    const bool control = app && app->IsControlDown();
    const bool alt = app && app->IsAltDown();

    if (virtualKey >= VK_F1 && virtualKey <= VK_F12) {
        if (virtualKey == VK_F4 && m_content && m_content->HasModal() && alt)
            OnChar(kKeyEscape);
        else
            OnChar(kKeyF1 + static_cast<int32_t>(virtualKey - VK_F1));
        return;
    }
    switch (virtualKey) {
    case VK_LEFT:
        OnChar(kKeyLeft);
        return;
    case VK_RIGHT:
        OnChar(kKeyRight);
        return;
    case VK_UP:
        OnChar(kKeyUp);
        return;
    case VK_DOWN:
        OnChar(kKeyDown);
        return;
    case VK_HOME:
        OnChar(kKeyHome);
        return;
    case VK_END:
        OnChar(kKeyEnd);
        return;
    case VK_PRIOR:
        OnChar(kKeyPageUp);
        return;
    case VK_NEXT:
        OnChar(kKeyPageDown);
        return;
    case VK_DELETE:
        OnChar(kKeyDelete);
        return;
    default:
        break;
    }

    if (control && virtualKey != VK_CONTROL) {
        int32_t code = 0;
        if (virtualKey == VK_ADD)
            code = '+';
        else if (virtualKey == VK_OEM_PLUS)
            code = app->IsShiftDown() ? '+' : '=';
        else if (virtualKey == VK_OEM_MINUS)
            code = '-';
        else if (virtualKey == VK_OEM_3)
            code = '`';
        else if (virtualKey >= '0' && virtualKey <= '9')
            code = static_cast<int32_t>(virtualKey);
        else if (virtualKey == VK_TAB)
            code = '\t';
        if (code)
            OnChar(code);
        return;
    }
    if (alt && virtualKey != VK_MENU && (virtualKey < VK_NUMPAD0 || virtualKey > VK_ADD))
        OnChar(static_cast<int32_t>(virtualKey));
}

void CWinWindow::OnDropFiles(HDROP drop)
{
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    gCStringArray names;
    names.SetGrowStep(-1);
    for (UINT i = 0; i < count; ++i) {
        // A name is read whole whatever its length: a cut name would be another file.
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0 || length > 0x7FFFFFFE)
            continue;
        gCString name;
        if (name.Reserve(static_cast<int32_t>(length)) != kOk)
            break;
        const UINT copied = DragQueryFileW(drop, i, name.MutableBuffer(), length + 1);
        if (copied == 0)
            continue;
        name.SetLength(static_cast<int32_t>(copied < length ? copied : length));
        if (names.Add(name) != kOk)
            break;
    }
    // The drop block is ours to free once read.
    DragFinish(drop);
    CAppBase* app = GetApp();
    if (names.Count() > 0 && app)
        // A drop the program cannot take is dropped.
        (void)app->OnFilesDropped(names);
}

void CWinWindow::OnSizeMessage(WPARAM kind, int32_t width, int32_t height)
{
    if (kind == SIZE_MAXIMIZED && (width != m_clientWidth || height != m_clientHeight)) {
        // Not checked: the frame stays where it was.
        (void)Relayout(kWindowFill, -1.0f, -1.0f, -1.0f, -1.0f, 1);
        return;
    }
    if (kind == SIZE_MINIMIZED)
        SetWindowActiveFlag(0);
    // SetSize reports its own failure and ends the program.
    (void)SetSize(width, height);
}

LRESULT CWinWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CAppBase* app = GetApp();
    CTabletManager* tablet = app ? app->GetTablet() : nullptr;
    // Pointer positions are signed: screens left of or above the primary one are negative.
    const gCPoint point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};

    switch (message) {
    case WM_APP + 1:
        // A modal loop (a message box) dispatches the lookup's answer here and the pump
        // never sees it; handing it over twice does no harm.
        (void)DeliverResolveWindowMessage(window, message, wParam, lParam);
        return 0;
    case WM_DESTROY:
        if (GetMainWindow() == this) {
            if (CAppWin* appWin = AppWin())
                appWin->ClearRunning();
            PostQuitMessage(0);
        }
        return 0;
    case WM_SIZE:
        OnSizeMessage(wParam, LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_CLOSE:
        if (GetMainWindow() == this && app && app->QueryClose() != 2)
            return 0;
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_DISPLAYCHANGE:
        if (!(GetWindowLongW(window, GWL_STYLE) & WS_MINIMIZE))
            // Not checked: the frame stays where it was.
            (void)Relayout(m_fill ? static_cast<uint32_t>(kWindowFill) : 0u, -1.0f, -1.0f, -1.0f, -1.0f, 1);
        break;
    case WM_NCDESTROY:
        OnNcDestroy();
        return 0;
    case WM_NCACTIVATE:
        SetWindowActiveFlag(wParam != 0);
        if (tablet)
            tablet->Activate(wParam, lParam);
        break;
    case WM_KEYDOWN:
        TranslateKey(static_cast<uint32_t>(wParam));
        return 0;
    case WM_KEYUP:
        OnKeyUp(static_cast<uint32_t>(wParam));
        return 0;
    case WM_CHAR:
        // The whole UTF-16 unit: characters outside Latin-1 must survive.
        OnChar(static_cast<int32_t>(wParam & 0xFFFF));
        return 0;
    case WM_SYSKEYDOWN:
        if (m_systemKeys) {
            TranslateKey(static_cast<uint32_t>(wParam));
            return 0;
        }
        if (m_content && m_content->HasModal() && wParam == VK_F4) {
            OnChar(kKeyEscape);
            return 0;
        }
        break;
    case WM_UNICHAR:
    case WM_COMMAND:
        return 0;
    case WM_MENUCHAR:
        return MAKELRESULT(0, MNC_CLOSE);
    case WM_MOUSEMOVE:
        OnMouseMove(point);
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(point);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(point);
        return 0;
    case WM_RBUTTONDOWN:
        OnRButtonDown(point);
        return 0;
    case WM_RBUTTONUP:
        OnRButtonUp(point);
        return 0;
    case WM_MBUTTONDOWN:
        OnMButtonDown(point);
        return 0;
    case WM_MBUTTONUP:
        OnMButtonUp(point);
        return 0;
    case WM_MOUSEWHEEL:
        // The delta is signed too: a notch towards the user is -120.
        OnMouseWheel({0, GET_WHEEL_DELTA_WPARAM(wParam)}, point);
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case kWtPacket:
        if (tablet)
            tablet->OnPacket(wParam, lParam);
        break;
    case kWtInfoChange:
        if (tablet)
            tablet->OnInfoChange();
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Messages go to the object that owns the window (stored at WM_NCCREATE); messages before
// that, and after WM_NCDESTROY, take the default path.
LRESULT CALLBACK CWinWindow::SharedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWinWindow* object = nullptr;
    if (message == WM_NCCREATE) {
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        object = static_cast<CWinWindow*>(create->lpCreateParams);
        if (object) {
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
            object->m_window = window;
        }
    } else {
        object = reinterpret_cast<CWinWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (!object)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return object->WindowProc(window, message, wParam, lParam);
}

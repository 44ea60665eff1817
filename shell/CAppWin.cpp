#include "CAppWin.h"

#include <objbase.h>
#include <process.h>

#include <utility>

#include "CWindowBase.h"
#include "ReportError.h"
#include "ResolveHook.h"

namespace {
// Long enough for a heartbeat that is inside its 3 ms sleep; the wait only ends early.
const DWORD kHeartbeatJoinMs = 2000;
} // namespace

CAppWin::CAppWin(const CAppServices* services) : CAppBase(services) {}

CAppWin::~CAppWin()
{
    StopHeartbeat();
    if (m_comInitialised)
        CoUninitialize();
    m_instanceMutex.Reset();
}

gCResult CAppWin::CreateInstanceMutex(gCString name)
{
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.Text());
    m_mutexError = GetLastError();
    m_instanceMutex.Reset(mutex);
    return kOk;
}

void CAppWin::Quit()
{
    m_quit = 1;
    CWindowBase* window = GetMainWindow();
    if (window && window->GetHandle())
        SendMessageW(window->GetHandle(), WM_CLOSE, 0, 0);
    else
        PostQuitMessage(0);
}

void CAppWin::QuitLater()
{
    m_quit = 1;
    CWindowBase* window = GetMainWindow();
    if (window && window->GetHandle())
        PostMessageW(window->GetHandle(), WM_CLOSE, 0, 0);
    else
        PostQuitMessage(0);
}

gCResult CAppWin::Minimise()
{
    if (HWND window = GetMainWindowHandle())
        ShowWindow(window, SW_MINIMIZE);
    return kOk;
}

gCResult CAppWin::Restore()
{
    if (HWND window = GetMainWindowHandle())
        ShowWindow(window, SW_SHOWNORMAL);
    return kOk;
}

int32_t CAppWin::IsKeyDown(int32_t virtualKey)
{
    return (GetAsyncKeyState(virtualKey) & 0x8000) ? 1 : 0;
}

int32_t CAppWin::IsShiftDown()
{
    return IsKeyDown(VK_SHIFT);
}
int32_t CAppWin::IsControlDown()
{
    return IsKeyDown(VK_CONTROL);
}
int32_t CAppWin::IsAltDown()
{
    return IsKeyDown(VK_MENU);
}
int32_t CAppWin::IsAppsKeyDown()
{
    return IsKeyDown(VK_APPS);
}

int32_t CAppWin::IsPrimaryButtonDown()
{
    return IsKeyDown(GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON);
}

int32_t CAppWin::IsSecondaryButtonDown()
{
    return IsKeyDown(GetSystemMetrics(SM_SWAPBUTTON) ? VK_LBUTTON : VK_RBUTTON);
}

int32_t CAppWin::IsMiddleButtonDown()
{
    return IsKeyDown(VK_MBUTTON);
}

int32_t CAppWin::IsButtonMessageQueued()
{
    MSG message;
    return PeekMessageW(&message, GetMainWindowHandle(), WM_LBUTTONDOWN, WM_MBUTTONDBLCLK, PM_NOREMOVE) ? 1 : 0;
}

int32_t CAppWin::IsPrimaryButtonStillDown()
{
    return IsPrimaryButtonDown() && !IsButtonMessageQueued();
}
int32_t CAppWin::IsSecondaryButtonStillDown()
{
    return IsSecondaryButtonDown() && !IsButtonMessageQueued();
}
int32_t CAppWin::IsMiddleButtonStillDown()
{
    return IsMiddleButtonDown() && !IsButtonMessageQueued();
}

int32_t CAppWin::IsAnyButtonDown()
{
    return (IsPrimaryButtonDown() || IsSecondaryButtonDown() || IsMiddleButtonDown()) ? 1 : 0;
}

int32_t CAppWin::IsAnyButtonStillDown()
{
    return IsAnyButtonDown() && !IsButtonMessageQueued();
}

gCPoint CAppWin::GetCursorPos()
{
    POINT point;
    if (!::GetCursorPos(&point))
        return {0, 0};
    return {point.x, point.y};
}

// Win32 keeps a display counter per thread; walk it to exactly the target, whatever it was.
void CAppWin::WalkSystemCursorTo(int32_t target)
{
    int32_t counter = ::ShowCursor(TRUE);
    while (counter < target)
        counter = ::ShowCursor(TRUE);
    while (counter > target)
        counter = ::ShowCursor(FALSE);
}

void CAppWin::HideSystemCursor()
{
    WalkSystemCursorTo(-1);
    m_systemCursorShown = 0;
}

void CAppWin::ShowSystemCursor()
{
    HideAppCursor();
    WalkSystemCursorTo(0);
    m_systemCursorShown = 1;
}

gCResult CAppWin::SetCursorPos(int32_t x, int32_t y)
{
    ::SetCursorPos(x, y);
    return kOk;
}

int32_t CAppWin::IsPaintPending()
{
    MSG message;
    return PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE) ? 1 : 0;
}

gCResult CAppWin::OnPumpMessage(const MSG&)
{
    return kOk;
}

unsigned __stdcall CAppWin::HeartbeatThread(void* app)
{
    static_cast<CAppWin*>(app)->HeartbeatLoop();
    return 0;
}

// At most one tick is queued: the thread posts only after the pump cleared tick pending.
void CAppWin::HeartbeatLoop()
{
    if (!m_running.load())
        return;
    do {
        Sleep(3);
        while (m_tickPending.load() == 1) {
            if (!m_running.load())
                return;
            Sleep(3);
        }
        if (!m_running.load())
            return;
        int32_t expected = 0;
        if (m_tickPending.compare_exchange_strong(expected, 1))
            PostThreadMessageW(m_mainThreadId, WM_TIMER, kTickId, 0);
    } while (m_running.load());
}

gCResult CAppWin::StartHeartbeat()
{
    uintptr_t thread = _beginthreadex(nullptr, 0, HeartbeatThread, this, 0, nullptr);
    if (!thread)
        return kCreateFailure;
    m_heartbeat.Reset(reinterpret_cast<HANDLE>(thread));
    return kOk;
}

void CAppWin::StopHeartbeat()
{
    m_running.store(0);
    // A thread that has not ended keeps its handle: IsHeartbeatAlive stays true and the
    // destructor waits for it again.
    if (m_heartbeat.IsValid() && WaitForSingleObject(m_heartbeat.Get(), kHeartbeatJoinMs) == WAIT_OBJECT_0)
        m_heartbeat.Reset();
}

bool CAppWin::IsHeartbeatAlive() const
{
    return m_heartbeat.IsValid() && WaitForSingleObject(m_heartbeat.Get(), 0) == WAIT_TIMEOUT;
}

gCResult CAppWin::DispatchOne(MSG& message)
{
    TranslateMessage(&message);
    DispatchMessageW(&message);
    if (message.message == WM_APP + 1)
        QV_RETURN_IF_FAILED(DeliverResolveMessage(message));
    return OnPumpMessage(message);
}

gCResult CAppWin::PumpMessages()
{
    m_tickPending.store(0);
    MSG message;
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
        m_quit = 1;
        Sleep(0);
        return kOk;
    }
    if (got == -1)
        return kGenericFailure;
    if (message.message == WM_TIMER && message.wParam == kTickId) {
        gCResult result = OnTick(0);
        m_tickPending.store(0);
        if (result != kOk && result != kHandled)
            return result;
    }
    m_tickPending.store(0);

    bool fetchedMore = false;
    for (;;) {
        QV_RETURN_IF_FAILED(DispatchOne(message));
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE))
            break;
        BOOL more = GetMessageW(&message, nullptr, 0, 0);
        if (more == -1)
            break;
        if (more == 0) {
            m_quit = 1;
            if (!fetchedMore)
                break;
            continue;
        }
        fetchedMore = true;
    }
    Sleep(0);
    return kOk;
}

gCResult CAppWin::MessageLoop()
{
    gCResult result = 0;
    while (!m_quit && result == kOk)
        result = PumpMessages();

    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    OnLoopEnd();
    StopHeartbeat();
    CloseOpenMainWindow();
    return result;
}

void CAppWin::CloseOpenMainWindow()
{
    CWindowBase* window = GetMainWindow();
    if (window && window->IsOpen())
        window->Close();
}

int32_t CAppWin::Run(HINSTANCE instance, HINSTANCE, const char* commandLine, int32_t showMode)
{
    if (m_instanceMutex.IsValid() && m_mutexError == ERROR_ALREADY_EXISTS)
        return 0;
    m_instance = instance;
    m_showMode = showMode;
    m_running.store(1);
    m_mainThreadId = GetCurrentThreadId();
    // Without a heartbeat the program still runs on its messages; ticks then never come.
    (void)StartHeartbeat();
    m_comInitialised = SUCCEEDED(CoInitialize(nullptr)) ? 1 : 0;

    gCResult init = Init();
    if (init != kOk) {
        ReportError(init, nullptr);
        StopHeartbeat();
        return init;
    }

    gCString line;
    // Short of memory the command line is empty.
    (void)line.SetAnsi(commandLine);
    gCResult result = OnStart(std::move(line));
    if (result == kOk)
        result = CreateTablet();
    if (result == kOk)
        result = MessageLoop();
    StopHeartbeat();

    if (result != kOk) {
        ReportError(result, nullptr);
        CloseOpenMainWindow();
        SetMainWindow(nullptr);
    }
    // The main window's end posted WM_QUIT; a later loop on this thread must not see it.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }

    gCResult exitResult = OnExit();
    if (exitResult != kOk)
        ReportError(exitResult, nullptr);
    return exitResult;
}

int32_t RunApplication(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int32_t showMode)
{
    CAppWin* app = dynamic_cast<CAppWin*>(GetApp());
    if (!app)
        return -1;
    return app->Run(instance, previous, commandLine, showMode);
}

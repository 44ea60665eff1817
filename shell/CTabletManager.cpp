#include "CTabletManager.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "AppHost.h"
#include "RuntimeLibrary.h"
#include "ShellHandles.h"
#include "TabletMetrics.h"

namespace {
CWintabPacket g_packet = {};
bool g_eraser = false;
bool g_tilt = false;

// The input scope of text entry fields.
const int kTextEntryScope = 29;

HWND MainWindowHandle()
{
    IAppHost* host = GetAppHost();
    return host ? host->GetMainWindowHandle() : nullptr;
}

// An f32 quotient that stays at the fallback for a zero divisor.
float Ratio(float numerator, float denominator, float fallback)
{
    return denominator != 0.0f ? numerator / denominator : fallback;
}
} // namespace

CTabletManager::CTabletManager()
{
    g_tilt = false;
}

CTabletManager::~CTabletManager()
{
    CloseContext();
    WintabUnload();
    m_inkInput.reset();
}

const CWintabPacket& CTabletManager::GetLastPacket()
{
    return g_packet;
}

bool CTabletManager::IsEraser()
{
    return g_eraser;
}

bool CTabletManager::HasTilt()
{
    return g_tilt;
}

void CTabletManager::CloseContext()
{
    if (m_context) {
        (void)WTClose(*m_context); // the context is gone for us whatever the driver answers
        m_context.reset();
    }
}

gCResult CTabletManager::Open()
{
    const HWND window = MainWindowHandle();
    if (!window)
        return kOk;
    CloseContext();
    g_tilt = false;
    m_altitudeUnit = 1.0f;
    m_azimuthUnit = 1.0f;
    m_cursor = 0;
    m_previousCursor = -1;
    m_pressureButton = 0;
    m_pressMark = m_pressRange = m_pressureMinimum = m_pressureRange = 0.0f;
    if (m_inkInput) {
        m_inkInput->Events().SetBusy(1);
        m_inkInput.reset();
    }

    if (TabletMetric(SM_TABLETPC) != 0) {
        m_inkInput.reset(new (std::nothrow) CInkInput());
        if (m_inkInput && SUCCEEDED(m_inkInput->Init(window))) {
            SetTextInputScope(m_textEntry);
            return kOk;
        }
        // No collector: the driver may still be there.
        m_inkInput.reset();
    }
    return OpenWintab(window);
}

gCResult CTabletManager::OpenWintab(HWND window)
{
    {
        CQuietErrorMode quiet;
        if (WTInfoA(0, 0, nullptr) == 0)
            return kOk;
    }
    LOGCONTEXTA context = {};
    (void)WTInfoA(WTI_DEFSYSCTX, 0, &context); // a driver without one gets the fields below only
    std::strcpy(context.lcName, "Tallowmere");
    context.lcOptions = CXO_SYSTEM | CXO_MESSAGES;
    context.lcPktData = context.lcMoveMask =
        PK_STATUS | PK_CURSOR | PK_BUTTONS | PK_X | PK_Y | PK_NORMAL_PRESSURE | PK_ORIENTATION;
    context.lcPktMode = 0;
    context.lcBtnUpMask = context.lcBtnDnMask;

    AXIS x = {};
    AXIS y = {};
    AXIS pressure = {};
    AXIS orientation[3] = {};
    (void)WTInfoA(WTI_DEVICES, DVC_X, &x);
    (void)WTInfoA(WTI_DEVICES, DVC_Y, &y);
    (void)WTInfoA(WTI_DEVICES, DVC_NPRESSURE, &pressure);
    const UINT hasOrientation = WTInfoA(WTI_DEVICES, DVC_ORIENTATION, orientation);
    g_tilt = hasOrientation != 0 && orientation[0].axResolution != 0 && orientation[1].axResolution != 0;
    m_azimuthUnit = static_cast<float>(orientation[0].axResolution) / 65536.0f;
    m_altitudeUnit = static_cast<float>(orientation[1].axResolution) / 65536.0f;

    context.lcOutOrgX = 0;
    context.lcOutOrgY = 0;
    context.lcOutExtX = x.axMax;
    context.lcOutExtY = -std::labs(y.axMax);

    m_context.reset(new (std::nothrow) HCTX(nullptr));
    if (!m_context)
        return kOutOfMemory;
    *m_context = WTOpenA(window, &context, TRUE);
    if (!*m_context) {
        // A driver that refuses the context leaves us without a tablet.
        m_context.reset();
        return kOk;
    }

    m_screenLeft = TabletMetric(SM_XVIRTUALSCREEN);
    m_screenTop = TabletMetric(SM_YVIRTUALSCREEN);
    m_xScale = Ratio(static_cast<float>(TabletMetric(SM_CXVIRTUALSCREEN)), static_cast<float>(x.axMax), m_xScale);
    m_yScale = Ratio(std::fabs(static_cast<float>(TabletMetric(SM_CYVIRTUALSCREEN))),
                     std::fabs(static_cast<float>(y.axMax)), m_yScale);
    (void)WTQueueSizeSet(*m_context, 100); // the driver's default queue is used otherwise
    m_pressureEnabled = 0;
    return kOk;
}

void CTabletManager::Activate(WPARAM active, LPARAM)
{
    if (m_inkInput && active)
        return;
    if (!m_context)
        return;
    // The driver's answers change nothing here: a context it cannot enable gives no packets.
    (void)WTEnable(*m_context, active != 0);
    if (active) {
        (void)WTOverlap(*m_context, TRUE);
        (void)WTQueueSizeSet(*m_context, 100);
    }
}

void CTabletManager::OnInfoChange()
{
    if (!m_context)
        return;
    const UINT cursorCategory = WTI_CURSORS + m_cursor;
    m_pressureButton = 0xFF;
    (void)WTInfoA(cursorCategory, CSR_NPBUTTON, &m_pressureButton);
    BYTE map[32] = {};
    const UINT mapped = WTInfoA(cursorCategory, CSR_BUTTONMAP, map);
    if (m_pressureButton < mapped && m_pressureButton < sizeof(map))
        m_pressureButton = map[m_pressureButton];

    LOGCONTEXTA context = {};
    (void)WTGetA(*m_context, &context);
    AXIS pressure = {};
    (void)WTInfoA(WTI_DEVICES + context.lcDevice, DVC_NPRESSURE, &pressure);
    m_pressureMinimum = static_cast<float>(pressure.axMin);
    m_pressureRange = static_cast<float>(pressure.axMax - pressure.axMin);

    UINT marks[2] = {};
    (void)WTInfoA(cursorCategory, CSR_NPBTNMARKS, marks);
    m_pressMark = static_cast<float>(marks[1]);
    m_pressRange = static_cast<float>(pressure.axMax) - m_pressMark;
}

void CTabletManager::OnPacket(WPARAM serial, LPARAM context)
{
    if (!m_context)
        return;
    std::memset(&g_packet, 0, sizeof(g_packet));
    if (!WTPacket(reinterpret_cast<HCTX>(context), static_cast<UINT>(serial), &g_packet))
        return;
    g_eraser = (g_packet.status & TPS_INVERT) != 0;
    m_x = m_xScale * static_cast<float>(g_packet.x) + static_cast<float>(m_screenLeft);
    m_y = m_yScale * static_cast<float>(g_packet.y) + static_cast<float>(m_screenTop);

    m_cursor = g_packet.cursor;
    if (static_cast<int32_t>(m_cursor) != m_previousCursor) {
        OnInfoChange();
        m_previousCursor = static_cast<int32_t>(m_cursor);
    }

    const float raw = static_cast<float>(g_packet.normalPressure);
    if (g_packet.buttons & (1u << (m_pressureButton % 32)))
        m_pressure = m_pressureEnabled ? Ratio(raw - m_pressMark, m_pressRange, 0.0f) : 0.0f;
    else
        m_pressure = m_pressureEnabled ? Ratio(raw - m_pressureMinimum, m_pressureRange, 0.0f) : -2000.0f;

    if (g_tilt) {
        m_altitude = Ratio(static_cast<float>(g_packet.altitude), m_altitudeUnit, 0.0f) * 4.0f;
        m_azimuth = Ratio(static_cast<float>(g_packet.azimuth), m_azimuthUnit, 0.0f);
    } else {
        m_altitude = 1.0f;
        m_azimuth = 0.0f;
    }
}

void CTabletManager::SetTextInputScope(uint32_t textEntry)
{
    m_textEntry = textEntry;
    const HWND window = MainWindowHandle();
    if (!m_inkInput || !window)
        return;
    const CModule library(LoadLibraryQuietly(L"msctf.dll"));
    typedef HRESULT(WINAPI * SetInputScopeFunction)(HWND, int);
    const auto setInputScope = FindEntry<SetInputScopeFunction>(library, "SetInputScope");
    if (!setInputScope)
        return;
    (void)setInputScope(window, textEntry ? kTextEntryScope : 0); // the default scope stays otherwise
}

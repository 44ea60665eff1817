// Pen-tablet input of the application: keeps the newest pen sample (position in virtual-screen
// pixels, pressure, tilt, eraser end) from the Tablet PC ink collector or, elsewhere, from the
// tablet driver's packet messages. The application owns one and opens it after its start-up;
// the window procedure hands it the activation and packet messages.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "CInkInput.h"
#include "WintabApi.h"
#include "gCResult.h"

class CTabletManager {
public:
    CTabletManager();
    // Closes the driver context, unloads the driver library and stops the ink input.
    ~CTabletManager();
    CTabletManager(const CTabletManager&) = delete;
    CTabletManager& operator=(const CTabletManager&) = delete;

    // Closes what was open and starts again: the ink collector on a Tablet PC, else the driver.
    // 0 also when there is no window or no tablet; 5 when the context cannot be allocated.
    gCResult Open();
    // WM_NCACTIVATE: the context is enabled and put on top while the window is active.
    void Activate(WPARAM active, LPARAM);
    // WT_PACKET: reads the packet into the sample; the first packet of a cursor reads its ranges.
    void OnPacket(WPARAM serial, LPARAM context);
    // WT_INFOCHANGE: reads the current cursor's pressure button and pressure ranges.
    void OnInfoChange();
    // Text entry (nonzero) or the default input scope for the main window, with ink input only.
    void SetTextInputScope(uint32_t textEntry);

    // While 0, the driver's pressure is replaced by 0.0 (pressure button down) or -2000.0.
    void SetPressureEnabled(uint32_t enabled) { m_pressureEnabled = enabled; }

    float GetX() const { return m_x; }
    float GetY() const { return m_y; }
    float GetPressure() const { return m_pressure; }
    float GetAltitude() const { return m_altitude; }
    float GetAzimuth() const { return m_azimuth; }
    float GetXScale() const { return m_xScale; }
    float GetYScale() const { return m_yScale; }
    uint32_t GetCursor() const { return m_cursor; }
    uint8_t GetPressureButton() const { return m_pressureButton; }
    uint32_t GetTextEntry() const { return m_textEntry; }
    bool HasContext() const { return m_context != nullptr; }
    CInkInput* GetInkInput() const { return m_inkInput.get(); }

    // Process-wide: the newest driver packet, whether its cursor is the eraser end, and
    // whether the device reports tilt.
    static const CWintabPacket& GetLastPacket();
    static bool IsEraser();
    static bool HasTilt();

private:
    void CloseContext();
    // The driver's context and scales; 0 also when there is no tablet.
    gCResult OpenWintab(HWND window);

    std::unique_ptr<HCTX> m_context;
    std::unique_ptr<CInkInput> m_inkInput;
    float m_xScale = 1.0f;
    float m_yScale = 1.0f;
    float m_x = 0.0f;
    float m_y = 0.0f;
    float m_pressure = -1000.0f;
    float m_altitude = 1.0f;
    float m_azimuth = 0.0f;
    int32_t m_screenLeft = 0;
    int32_t m_screenTop = 0;
    uint32_t m_pressureEnabled = 0;
    uint32_t m_textEntry = 0;
    float m_altitudeUnit = 1.0f;
    float m_azimuthUnit = 1.0f;
    uint32_t m_cursor = 0;
    int32_t m_previousCursor = -1;
    uint8_t m_pressureButton = 0;
    float m_pressMark = 0.0f;
    float m_pressRange = 0.0f;
    float m_pressureMinimum = 0.0f;
    float m_pressureRange = 0.0f;
};

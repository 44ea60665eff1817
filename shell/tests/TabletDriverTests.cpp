// Pen input through the tablet driver, and the run-time binding under it: without a driver, and
// with the tests' own driver library (helpers/FakeWintab.cpp) that answers from a state record and
// records every call. Packet and activation messages go through the real main window's procedure.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "CTabletManager.h"
#include "FailingAllocator.h"
#include "FakeWintabState.h"
#include "Programs.h"
#include "ResultAssert.h"
#include "RuntimeLibrary.h"
#include "ShellHandles.h"
#include "TabletMetrics.h"
#include "TestApp.h"

namespace {
bool DriverLoaded()
{
    return GetModuleHandleW(L"Wintab32.dll") != nullptr;
}

// A virtual screen of 1600 by 1200 pixels whose origin is (-400, -100); a Tablet PC on demand.
int g_tabletPc = 0;
int WINAPI TestMetrics(int index)
{
    static_assert(SM_CYVIRTUALSCREEN - SM_XVIRTUALSCREEN == 3, "four metrics in a row");
    const int virtualScreen[] = {-400, -100, 1600, 1200};
    if (index >= SM_XVIRTUALSCREEN && index <= SM_CYVIRTUALSCREEN)
        return virtualScreen[index - SM_XVIRTUALSCREEN];
    return index == SM_TABLETPC ? g_tabletPc : GetSystemMetrics(index);
}

// Azimuth, altitude and twist: a whole turn of each is 3600.
const std::array<AXIS, 3> kTilt = {AXIS{0, 3600, 0, 3600 << 16}, AXIS{-900, 900, 0, 3600 << 16}, AXIS{}};
// An altitude without resolution: no tilt.
const std::array<AXIS, 3> kNoTilt = {kTilt[0], AXIS{-900, 900, 0, 0}, AXIS{}};
// Physical button 2 is logical button 4.
const std::array<BYTE, 32> kButtonMap = {0, 1, 4};

// The tests' driver, loaded for the life of the object and set up as a tablet of 10000 by 8000
// units with tilt whose packet 7 is ready, on the test screen; the manager's own load finds it loaded.
class FakeDriver {
public:
    FakeDriver()
        : m_module(LoadLibraryW((ProgramFolder() + L"fakewintab\\Wintab32.dll").c_str())),
          m_previous(SetTabletMetricsQuery(TestMetrics))
    {
        const auto get = FindEntry<FakeWintabStateFunction>(m_module, "FakeWintabState");
        m_state = get ? get() : nullptr;
        if (!m_state)
            return;
        std::memset(m_state, 0, sizeof(*m_state));
        LOGCONTEXTA defaults = {};
        defaults.lcDevice = 1;
        defaults.lcPktMode = 0x80;
        defaults.lcBtnDnMask = 0x3;
        defaults.lcBtnUpMask = 0x1;
        Answer(0, 0, UINT(1));
        Answer(WTI_DEFSYSCTX, 0, defaults);
        Answer(WTI_DEVICES, DVC_X, AXIS{0, 10000, 0, 0});
        Answer(WTI_DEVICES, DVC_Y, AXIS{0, 8000, 0, 0});
        Answer(WTI_DEVICES, DVC_NPRESSURE, AXIS{0, 1023, 0, 0});
        Answer(WTI_DEVICES + 1, DVC_NPRESSURE, AXIS{100, 2147, 0, 0});
        Answer(WTI_DEVICES, DVC_ORIENTATION, kTilt);
        Answer(WTI_CURSORS, CSR_NPBUTTON, BYTE(2));
        Answer(WTI_CURSORS, CSR_BUTTONMAP, kButtonMap);
        Answer(WTI_CURSORS, CSR_NPBTNMARKS, std::array<UINT, 2>{50, 200}); // release and press marks
        m_state->packetSerial = 7;
    }
    ~FakeDriver() { SetTabletMetricsQuery(m_previous); }
    FakeDriver(const FakeDriver&) = delete;
    FakeDriver& operator=(const FakeDriver&) = delete;

    void Unload()
    {
        m_module.Reset();
        m_state = nullptr;
    }
    // The answer to the information query (category, index) from now on; a size of 0: none.
    template <typename T>
    void Answer(UINT category, UINT index, const T& value, UINT size = sizeof(T))
    {
        static_assert(sizeof(T) <= sizeof(CFakeWintabAnswer::value), "a larger answer");
        ASSERT_LT(m_state->answerCount, 32);
        CFakeWintabAnswer& answer = m_state->answers[m_state->answerCount++];
        answer = {category, index, size, {}};
        std::memcpy(answer.value, &value, size);
    }
    CFakeWintabState* operator->() const { return m_state; }
    bool Loaded() const { return m_state != nullptr; }
    // The calls since the last time they were forgotten.
    std::string Calls() const { return m_state->calls; }
    void ForgetCalls() { m_state->calls[0] = '\0'; }

private:
    CModule m_module;
    TabletMetricsQuery m_previous;
    CFakeWintabState* m_state = nullptr;
};

class TabletDriver : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(driver.Loaded()) << "the tests' driver is built into fakewintab\\";
        ASSERT_OK(app.OpenPlainWindow());
        window = app.GetMainWindowHandle();
    }

    CTabletManager* OpenAppTablet()
    {
        EXPECT_OK(app.CreateTablet());
        EXPECT_TRUE(app.GetTablet()->HasContext());
        return app.GetTablet();
    }

    TestApp app;
    FakeDriver driver;
    HWND window = nullptr;
};
} // namespace

TEST(TabletWithoutDriverOrWindow, IgnoresMessagesRetriesTheLoadAndAsksNothingWithoutAWindow)
{
    {
        TestApp app;
        ASSERT_OK(app.OpenPlainWindow());
        ASSERT_OK(app.CreateTablet());
        CTabletManager* tablet = app.GetTablet();
        EXPECT_FALSE(tablet->HasContext());
        const HWND window = app.GetMainWindowHandle();
        SendMessageW(window, WT_PACKET, 1, 0x5150);
        SendMessageW(window, WT_INFOCHANGE, 0, 0);
        SendMessageW(window, WM_NCACTIVATE, 1, 0);
        EXPECT_EQ(tablet->GetPressure(), -1000.0f);

        // A failed load is tried again on the next open.
        FakeDriver driver;
        ASSERT_TRUE(driver.Loaded());
        ASSERT_OK(tablet->Open());
        EXPECT_TRUE(tablet->HasContext());
    }
    EXPECT_FALSE(DriverLoaded());
    // Without a window an open asks the driver nothing.
    FakeDriver driver;
    CTabletManager windowless;
    EXPECT_OK(windowless.Open());
    EXPECT_EQ(driver.Calls(), "");
}

// The driver exports its entries by ordinal only: a name finds nothing there, nor does any key
// in a library that is not loaded.
TEST(RuntimeLibrary, EntriesAreFoundByOrdinalOrNameAndWhatIsMissingIsNull)
{
    const CModule driver(LoadLibraryQuietly((ProgramFolder() + L"fakewintab\\Wintab32.dll").c_str()));
    ASSERT_TRUE(driver.IsValid());
    EXPECT_NE(FindEntry<FARPROC>(driver, MAKEINTRESOURCEA(20)), nullptr);
    EXPECT_NE(FindEntry<FakeWintabStateFunction>(driver, "FakeWintabState"), nullptr);
    EXPECT_EQ(FindEntry<FARPROC>(driver, "WTInfoA"), nullptr);
    EXPECT_EQ(FindEntry<FARPROC>(CModule(), MAKEINTRESOURCEA(20)), nullptr);
    EXPECT_FALSE(CModule(LoadLibraryQuietly(L"QvNoSuchLibrary.dll")).IsValid());
}

// A Tablet PC without an ink collector falls back to the driver. Without tilt a packet is upright
// and towards 0.
TEST_F(TabletDriver, ContextIsOpenedFromTheSystemDefaultsWithTheseFields)
{
    struct Case {
        const char* what;
        LONG yMax;
        int tabletPc;
        const std::array<AXIS, 3>& orientation;
        float altitude, azimuth;
    } cases[] = {
        {"tilt", 8000, 0, kTilt, 0.5f, 0.5f},
        {"y upwards", -8000, 0, kTilt, 0.5f, 0.5f},
        {"a Tablet PC without ink collector", 8000, 1, kTilt, 0.5f, 0.5f},
        {"no tilt", 8000, 0, kNoTilt, 1.0f, 0.0f}, // last, so that later tests see no Tablet PC
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_tabletPc = c.tabletPc;
        driver.Answer(WTI_DEVICES, DVC_ORIENTATION, c.orientation);
        driver.Answer(WTI_DEVICES, DVC_Y, AXIS{0, c.yMax, 0, 0});
        driver.ForgetCalls();
        CTabletManager tablet;
        EXPECT_OK(tablet.Open());
        EXPECT_EQ(driver.Calls(),
                  "info 0 0;info 4 0;info 100 12;info 100 13;info 100 15;info 100 17;open 1;queue 100;");
        const LOGCONTEXTA& o = driver->opened; // the rest of the defaults is kept
        char fields[160];
        std::snprintf(fields, sizeof(fields), "%s options %x data %lx move %lx mode %lx up %lx out %ld %ld device %u",
                      o.lcName, o.lcOptions, o.lcPktData, o.lcMoveMask, o.lcPktMode, o.lcBtnUpMask, o.lcOutExtX,
                      o.lcOutExtY, o.lcDevice);
        EXPECT_STREQ(fields, "Tallowmere options 5 data 15e2 move 15e2 mode 0 up 3 out 10000 -8000 device 1");
        EXPECT_EQ(driver->openWindow, window);
        EXPECT_FLOAT_EQ(tablet.GetYScale(), 1200.0f / 8000.0f);
        driver->packet = {0, 1, 0, 5000, 4000, 600, 1800, 450, 0};
        tablet.OnPacket(7, reinterpret_cast<LPARAM>(FAKE_WINTAB_CONTEXT));
        EXPECT_FLOAT_EQ(tablet.GetAltitude(), c.altitude);
        EXPECT_FLOAT_EQ(tablet.GetAzimuth(), c.azimuth);
    }
}

TEST_F(TabletDriver, PacketsGivePositionPressureAndEraser)
{
    const DWORD pressureButtonBit = 1u << 4; // physical button 2 is logical button 4
    struct Case {
        const char* name;
        UINT status;
        DWORD buttons;
        UINT pressure;
        uint32_t pressureEnabled;
        float expectedPressure;
    } cases[] = {
        {"pen tip, pressure off", 0, 0, 600, 0, -2000.0f},
        {"pressure button down, pressure off", 0, pressureButtonBit, 600, 0, 0.0f},
        {"pen tip", 0, 0x1, 600, 1, (600.0f - 100.0f) / (2147.0f - 100.0f)},
        {"pressure button down", 0, pressureButtonBit, 600, 1, (600.0f - 200.0f) / (2147.0f - 200.0f)},
        {"eraser end", TPS_INVERT, 0, 100, 1, 0.0f},
    };
    CTabletManager* tablet = OpenAppTablet();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tablet->SetPressureEnabled(c.pressureEnabled);
        driver->packet = {c.status, 1, c.buttons, 5000, 4000, c.pressure, 1800, 900, 0};
        SendMessageW(window, WT_PACKET, 7, reinterpret_cast<LPARAM>(FAKE_WINTAB_CONTEXT));
        EXPECT_FLOAT_EQ(tablet->GetX(), 0.16f * 5000.0f - 400.0f);
        EXPECT_FLOAT_EQ(tablet->GetY(), 0.15f * 4000.0f - 100.0f);
        EXPECT_FLOAT_EQ(tablet->GetPressure(), c.expectedPressure);
        EXPECT_EQ(CTabletManager::IsEraser(), c.status == TPS_INVERT);
    }
}

// The first packet of each cursor reads its buttons and the context device's pressure range.
TEST_F(TabletDriver, WhatEachMessageAsksTheDriver)
{
    struct Case {
        UINT message;
        WPARAM wParam; // a packet's serial
        UINT cursor;
        const char* calls;
    } cases[] = {
        {WM_NCACTIVATE, TRUE, 0, "enable 1;overlap 1;queue 100;"},
        {WM_NCACTIVATE, FALSE, 0, "enable 0;"},
        {WT_PACKET, 8, 1, "packet 8;"}, // one the driver does not have
        {WT_PACKET, 7, 1, "packet 7;info 201 9;info 201 7;info 101 15;info 201 10;"},
        {WT_PACKET, 7, 1, "packet 7;"},
        {WT_PACKET, 7, 3, "packet 7;info 203 9;info 203 7;info 101 15;info 203 10;"},
    };
    OpenAppTablet();
    for (const Case& c : cases) {
        driver.ForgetCalls();
        driver->packet = {0, c.cursor, 0, 5000, 4000, 600, 0, 0, 0};
        SendMessageW(window, c.message, c.wParam, reinterpret_cast<LPARAM>(FAKE_WINTAB_CONTEXT));
        EXPECT_EQ(driver.Calls(), c.calls) << c.message << " " << c.wParam;
    }
}

TEST_F(TabletDriver, PressureButtonIsMappedWhenTheMapCoversIt)
{
    struct Case {
        UINT hasPressureButton, mapLength;
        uint8_t expected;
    } cases[] = {{1, 32, 4}, {1, 2, 2}, {0, 32, 0xFF}};
    CTabletManager* tablet = OpenAppTablet();
    for (const Case& c : cases) {
        driver.Answer(WTI_CURSORS, CSR_NPBUTTON, BYTE(2), c.hasPressureButton);
        driver.Answer(WTI_CURSORS, CSR_BUTTONMAP, kButtonMap, c.mapLength);
        SendMessageW(window, WT_INFOCHANGE, 0, 0);
        EXPECT_EQ(tablet->GetPressureButton(), c.expected);
    }
}

// A refused open and an open that runs out of memory leave no context; a reopen and the destruction
// close it, and the last reference given back unloads the driver.
TEST_F(TabletDriver, ContextIsClosedOnRefusalMemoryReopeningAndDestruction)
{
    driver->refuseOpen = 1;
    CTabletManager refused;
    EXPECT_OK(refused.Open());
    EXPECT_FALSE(refused.HasContext());
    driver->refuseOpen = 0;
    {
        CTabletManager tablet;
        gCResult result;
        {
            FailingAllocator failing(0);
            result = tablet.Open();
        }
        EXPECT_RESULT(result, kOutOfMemory);
        EXPECT_FALSE(tablet.HasContext());
        ASSERT_OK(tablet.Open());
        driver.ForgetCalls();
        ASSERT_OK(tablet.Open());
        EXPECT_EQ(driver.Calls().substr(0, 15), "close;info 0 0;");
        driver.ForgetCalls();
    }
    EXPECT_EQ(driver.Calls(), "close;");
    ASSERT_TRUE(DriverLoaded());
    driver.Unload();
    EXPECT_FALSE(DriverLoaded());
}

// Pen input through the tablet driver: without a driver, and with the tests' own driver library
// (helpers/FakeWintab.cpp) that answers from a state record and records every request. Packet
// and activation messages go through the real main window's procedure.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstring>
#include <string>
#include <vector>

#include "CTabletManager.h"
#include "FailingAllocator.h"
#include "FakeWintabState.h"
#include "Programs.h"
#include "TestApp.h"
#include "ShellHandles.h"
#include "TabletMetrics.h"

namespace {
bool DriverLoaded()
{
    return GetModuleHandleW(L"Wintab32.dll") != nullptr;
}

// A virtual screen of 1600 by 1200 pixels whose origin is (-400, -100); a Tablet PC on demand.
int g_tabletPc = 0;
int WINAPI TestMetrics(int index)
{
    switch (index) {
    case SM_TABLETPC:
        return g_tabletPc;
    case SM_XVIRTUALSCREEN:
        return -400;
    case SM_YVIRTUALSCREEN:
        return -100;
    case SM_CXVIRTUALSCREEN:
        return 1600;
    case SM_CYVIRTUALSCREEN:
        return 1200;
    default:
        return GetSystemMetrics(index);
    }
}

// The tests' driver, loaded for the life of the object and set up as a tablet of 10000 by 8000
// units with tilt; the manager's own load of "Wintab32.dll" finds it loaded.
class FakeDriver {
public:
    FakeDriver() : m_module(LoadLibraryW((ProgramFolder() + L"fakewintab\\Wintab32.dll").c_str()))
    {
        auto get = m_module.IsValid() ? reinterpret_cast<FakeWintabStateFunction>(reinterpret_cast<void (*)()>(
                                            GetProcAddress(m_module.Get(), "FakeWintabState")))
                                      : nullptr;
        m_state = get ? get() : nullptr;
        if (!m_state)
            return;
        std::memset(m_state, 0, sizeof(*m_state));
        CFakeWintabState& s = *m_state;
        s.present = 1;
        std::strcpy(s.defaults.lcName, "System");
        s.defaults.lcDevice = 1;
        s.defaults.lcPktMode = 0x80;
        s.defaults.lcBtnDnMask = 0x3;
        s.defaults.lcBtnUpMask = 0x1;
        s.defaults.lcInExtX = 10000;
        s.x = {0, 10000, 0, 0};
        s.y = {0, 8000, 0, 0};
        s.pressure[0] = {0, 1023, 0, 0};
        s.pressure[1] = {100, 2147, 0, 0};
        s.orientation[0] = {0, 3600, 0, 3600 << 16};
        s.orientation[1] = {-900, 900, 0, 3600 << 16};
        s.hasOrientation = 1;
        s.hasPressureButton = 1;
        s.pressureButton = 2;
        s.buttonMapLength = 32;
        for (BYTE i = 0; i < 32; ++i)
            s.buttonMap[i] = i;
        s.buttonMap[2] = 4;
        s.marks[0] = 50;
        s.marks[1] = 200;
        s.packetSerial = 7;
    }
    ~FakeDriver() { Unload(); }
    FakeDriver(const FakeDriver&) = delete;
    FakeDriver& operator=(const FakeDriver&) = delete;

    void Unload()
    {
        m_module.Reset();
        m_state = nullptr;
    }
    CFakeWintabState* operator->() const { return m_state; }
    bool Loaded() const { return m_state != nullptr; }

    // Whether the information query (category, index) was made, from the n-th query on.
    bool Asked(UINT category, UINT index, int from = 0) const
    {
        for (int i = from; i < m_state->infoCount; ++i)
            if (m_state->info[i][0] == category && m_state->info[i][1] == index)
                return true;
        return false;
    }

private:
    CModule m_module;
    CFakeWintabState* m_state = nullptr;
};

class TabletDriver : public testing::Test {
protected:
    void SetUp() override
    {
        m_previous = SetTabletMetricsQuery(TestMetrics);
        g_tabletPc = 0;
        ASSERT_TRUE(driver.Loaded()) << "the tests' driver is built into fakewintab\\";
        ASSERT_OK(app.OpenPlainWindow());
        window = app.GetMainWindowHandle();
    }
    void TearDown() override { SetTabletMetricsQuery(m_previous); }

    CTabletManager* OpenAppTablet()
    {
        EXPECT_OK(app.CreateTablet());
        return app.GetTablet();
    }
    void SendPacket(UINT serial, CWintabPacket packet)
    {
        driver->packet = packet;
        driver->packetSerial = serial;
        SendMessageW(window, WT_PACKET, serial, reinterpret_cast<LPARAM>(FAKE_WINTAB_CONTEXT));
    }

    TestApp app;
    FakeDriver driver;
    HWND window = nullptr;

private:
    TabletMetricsQuery m_previous = nullptr;
};
} // namespace

TEST(TabletWithoutDriver, OpensWithoutTabletIgnoresMessagesAndLoadsTheDriverOnTheNextOpen)
{
    {
        TestApp app;
        ASSERT_OK(app.OpenPlainWindow());
        ASSERT_OK(app.CreateTablet());
        CTabletManager* tablet = app.GetTablet();
        ASSERT_NE(tablet, nullptr);
        EXPECT_FALSE(tablet->HasContext());
        const HWND window = app.GetMainWindowHandle();
        SendMessageW(window, WT_PACKET, 1, 0x5150);
        SendMessageW(window, WT_INFOCHANGE, 0, 0);
        SendMessageW(window, WM_NCACTIVATE, 1, 0);
        EXPECT_EQ(tablet->GetPressure(), -1000.0f);
        EXPECT_EQ(tablet->GetX(), 0.0f);
        EXPECT_EQ(tablet->GetAltitude(), 1.0f);

        // A failed load is tried again on the next open.
        FakeDriver driver;
        ASSERT_TRUE(driver.Loaded());
        ASSERT_OK(tablet->Open());
        EXPECT_TRUE(tablet->HasContext());
    }
    EXPECT_FALSE(DriverLoaded());
}

TEST(TabletWithoutWindow, OpeningAsksTheDriverNothing)
{
    FakeDriver driver;
    ASSERT_TRUE(driver.Loaded());
    CTabletManager tablet;
    EXPECT_OK(tablet.Open());
    EXPECT_FALSE(tablet.HasContext());
    EXPECT_EQ(driver->infoCount, 0);
}

TEST_F(TabletDriver, ContextIsOpenedFromTheSystemDefaultsWithTheseFields)
{
    struct Case {
        LONG yMax;
    } cases[] = {{8000}, {-8000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.yMax);
        driver->y.axMax = c.yMax;
        CTabletManager tablet;
        ASSERT_OK(tablet.Open());
        ASSERT_TRUE(tablet.HasContext());
        const LOGCONTEXTA& opened = driver->opened;
        EXPECT_STREQ(opened.lcName, "Tallowmere");
        EXPECT_EQ(opened.lcOptions, 5u);
        EXPECT_EQ(opened.lcPktData, 0x15E2u);
        EXPECT_EQ(opened.lcMoveMask, 0x15E2u);
        EXPECT_EQ(opened.lcPktMode, 0u);
        EXPECT_EQ(opened.lcBtnDnMask, 0x3u);
        EXPECT_EQ(opened.lcBtnUpMask, 0x3u);
        EXPECT_EQ(opened.lcOutOrgX, 0);
        EXPECT_EQ(opened.lcOutOrgY, 0);
        EXPECT_EQ(opened.lcOutExtX, 10000);
        EXPECT_EQ(opened.lcOutExtY, -8000);
        EXPECT_EQ(opened.lcDevice, 1u); // the rest of the defaults is kept
        EXPECT_EQ(opened.lcInExtX, 10000);
        EXPECT_EQ(driver->openWindow, window);
        EXPECT_EQ(driver->openEnable, TRUE);
        EXPECT_EQ(driver->lastQueueSize, 100);
        EXPECT_FLOAT_EQ(tablet.GetXScale(), 1600.0f / 10000.0f);
        EXPECT_FLOAT_EQ(tablet.GetYScale(), 1200.0f / 8000.0f);
    }
}

TEST_F(TabletDriver, PacketsGivePositionPressureEraserAndTilt)
{
    const DWORD pressureButtonBit = 1u << 4; // physical button 2 is logical button 4
    struct Case {
        const char* name;
        UINT status;
        DWORD buttons;
        UINT pressure;
        uint32_t pressureEnabled;
        float expectedPressure;
        bool eraser;
    } cases[] = {
        {"pen tip, pressure off", 0, 0, 600, 0, -2000.0f, false},
        {"pressure button down, pressure off", 0, pressureButtonBit, 600, 0, 0.0f, false},
        {"pen tip", 0, 0x1, 600, 1, (600.0f - 100.0f) / (2147.0f - 100.0f), false},
        {"pressure button down", 0, pressureButtonBit, 600, 1, (600.0f - 200.0f) / (2147.0f - 200.0f), false},
        {"eraser end", TPS_INVERT, 0, 100, 1, 0.0f, true},
    };
    CTabletManager* tablet = OpenAppTablet();
    ASSERT_TRUE(tablet && tablet->HasContext());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tablet->SetPressureEnabled(c.pressureEnabled);
        SendPacket(7, {c.status, 1, c.buttons, 5000, 4000, c.pressure, 1800, 900, 0});
        EXPECT_FLOAT_EQ(tablet->GetX(), 0.16f * 5000.0f - 400.0f);
        EXPECT_FLOAT_EQ(tablet->GetY(), 0.15f * 4000.0f - 100.0f);
        EXPECT_FLOAT_EQ(tablet->GetPressure(), c.expectedPressure);
        EXPECT_EQ(CTabletManager::IsEraser(), c.eraser);
        EXPECT_FLOAT_EQ(tablet->GetAltitude(), 1.0f); // a quarter turn
        EXPECT_FLOAT_EQ(tablet->GetAzimuth(), 0.5f);
        EXPECT_EQ(CTabletManager::GetLastPacket().normalPressure, c.pressure);
    }
}

TEST_F(TabletDriver, WithoutTiltAltitudeIsUprightAndAzimuthZero)
{
    struct Case {
        const char* name;
        UINT hasOrientation;
        FIX32 azimuthResolution;
        FIX32 altitudeResolution;
    } cases[] = {
        {"no orientation axes", 0, 3600 << 16, 3600 << 16},
        {"no azimuth resolution", 1, 0, 3600 << 16},
        {"no altitude resolution", 1, 3600 << 16, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        driver->hasOrientation = c.hasOrientation;
        driver->orientation[0].axResolution = c.azimuthResolution;
        driver->orientation[1].axResolution = c.altitudeResolution;
        CTabletManager tablet;
        ASSERT_OK(tablet.Open());
        EXPECT_FALSE(CTabletManager::HasTilt());
        driver->packet = {0, 1, 0, 10, 10, 5, 1800, 450, 0};
        tablet.OnPacket(7, reinterpret_cast<LPARAM>(FAKE_WINTAB_CONTEXT));
        EXPECT_EQ(tablet.GetAltitude(), 1.0f);
        EXPECT_EQ(tablet.GetAzimuth(), 0.0f);
    }
}

TEST_F(TabletDriver, FirstPacketOfEachCursorReadsItsButtonsAndRanges)
{
    CTabletManager* tablet = OpenAppTablet();
    ASSERT_TRUE(tablet && tablet->HasContext());
    struct Case {
        const char* name;
        UINT cursor;
        bool asks;
    } cases[] = {{"first packet", 1, true}, {"same cursor", 1, false}, {"other cursor", 3, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = driver->infoCount;
        SendPacket(7, {0, c.cursor, 0, 0, 0, 0, 0, 0, 0});
        EXPECT_EQ(tablet->GetCursor(), c.cursor);
        const UINT category = WTI_CURSORS + c.cursor;
        EXPECT_EQ(driver.Asked(category, CSR_NPBUTTON, before), c.asks);
        EXPECT_EQ(driver.Asked(category, CSR_BUTTONMAP, before), c.asks);
        EXPECT_EQ(driver.Asked(category, CSR_NPBTNMARKS, before), c.asks);
        EXPECT_EQ(driver.Asked(WTI_DEVICES + 1, DVC_NPRESSURE, before), c.asks); // the context's device
    }
}

TEST_F(TabletDriver, PressureButtonIsMappedWhenTheMapCoversIt)
{
    struct Case {
        const char* name;
        UINT hasPressureButton;
        UINT mapLength;
        uint8_t expected;
    } cases[] = {
        {"mapped", 1, 32, 4},
        {"map too short", 1, 2, 2},
        {"no pressure button", 0, 32, 0xFF},
    };
    CTabletManager* tablet = OpenAppTablet();
    ASSERT_TRUE(tablet && tablet->HasContext());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        driver->hasPressureButton = c.hasPressureButton;
        driver->buttonMapLength = c.mapLength;
        SendMessageW(window, WT_INFOCHANGE, 0, 0);
        EXPECT_EQ(tablet->GetPressureButton(), c.expected);
    }
}

TEST_F(TabletDriver, ActivationEnablesAndRaisesTheContextDeactivationDisablesIt)
{
    CTabletManager* tablet = OpenAppTablet();
    ASSERT_TRUE(tablet && tablet->HasContext());
    driver->queueSizes = 0;
    // Enables and the last enable, overlaps and the last overlap, queue sizes and the last size.
    const auto calls = [&] {
        return std::vector<int>{driver->enables,     driver->lastEnable, driver->overlaps,
                                driver->lastOverlap, driver->queueSizes, driver->lastQueueSize};
    };
    SendMessageW(window, WM_NCACTIVATE, TRUE, 0);
    EXPECT_EQ(calls(), (std::vector<int>{1, TRUE, 1, TRUE, 1, 100}));
    SendMessageW(window, WM_NCACTIVATE, FALSE, 0);
    EXPECT_EQ(calls(), (std::vector<int>{2, FALSE, 1, TRUE, 1, 100}));
}

TEST_F(TabletDriver, PacketsTheDriverDoesNotHaveChangeNothing)
{
    CTabletManager* tablet = OpenAppTablet();
    ASSERT_TRUE(tablet && tablet->HasContext());
    driver->packet = {0, 1, 0, 5000, 4000, 600, 0, 0, 0};
    driver->packetSerial = 7;
    SendMessageW(window, WT_PACKET, 8, reinterpret_cast<LPARAM>(FAKE_WINTAB_CONTEXT));
    EXPECT_EQ(driver->packetReads, 1);
    EXPECT_EQ(tablet->GetPressure(), -1000.0f);
    EXPECT_EQ(tablet->GetX(), 0.0f);
    EXPECT_FALSE(driver.Asked(WTI_CURSORS + 1, CSR_NPBUTTON));
}

TEST_F(TabletDriver, ReopeningAndDestructionCloseTheContextAndUnloadTheDriver)
{
    {
        CTabletManager tablet;
        ASSERT_OK(tablet.Open());
        ASSERT_OK(tablet.Open());
        EXPECT_EQ(driver->opens, 2);
        EXPECT_EQ(driver->closes, 1);
    }
    EXPECT_EQ(driver->closes, 2);
    EXPECT_EQ(driver->closed, FAKE_WINTAB_CONTEXT);
    // Only the test's own reference is left: giving it back unloads the driver.
    ASSERT_TRUE(DriverLoaded());
    driver.Unload();
    EXPECT_FALSE(DriverLoaded());
}

TEST_F(TabletDriver, NoContextWhenTheDriverRefusesOrMemoryRunsOut)
{
    driver->refuseOpen = 1;
    CTabletManager refused;
    EXPECT_OK(refused.Open());
    EXPECT_FALSE(refused.HasContext());

    driver->refuseOpen = 0;
    CTabletManager starved;
    gCResult result;
    {
        FailingAllocator failing(0);
        result = starved.Open();
    }
    EXPECT_RESULT(result, kOutOfMemory);
    EXPECT_FALSE(starved.HasContext());
    EXPECT_EQ(driver->opens, 1);
}

TEST_F(TabletDriver, ATabletPcWithoutAnInkCollectorFallsBackToTheDriver)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(com));
    g_tabletPc = 1;
    {
        CTabletManager tablet;
        ASSERT_OK(tablet.Open());
        EXPECT_EQ(tablet.GetInkInput(), nullptr);
        EXPECT_TRUE(tablet.HasContext());
        EXPECT_EQ(driver->opens, 1);
    }
    {
        CInkInput ink;
        EXPECT_EQ(ink.Init(window), REGDB_E_CLASSNOTREG);
        EXPECT_TRUE(ink.Events().IsBusy());
    }
    CoUninitialize();
}

// The ink collector's event sink, driven the way the collector drives it: through
// IDispatch::Invoke with argument arrays, with stand-in cursors and strokes.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <atomic>
#include <thread>
#include <vector>

#include "CInkInput.h"
#include "InkFakes.h"
#include "WinHandle.h"

namespace {
const UINT kWakeUp = WM_APP + 100;

// A VARIANT that is cleared when it goes.
class CVariant {
public:
    CVariant() { VariantInit(&value); }
    ~CVariant() { VariantClear(&value); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;
    VARIANT value;
};

VARIANT Typed(VARTYPE type)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    return v;
}

VARIANT Object(IDispatch* object)
{
    VARIANT v = Typed(VT_DISPATCH);
    V_DISPATCH(&v) = object;
    return v;
}

VARIANT Long(LONG number)
{
    VARIANT v = Typed(VT_I4);
    V_I4(&v) = number;
    return v;
}

// An [in, out] argument, as the collector passes packet data and the cancel flag.
VARIANT Ref(VARIANT* target)
{
    VARIANT v = Typed(VT_VARIANT | VT_BYREF);
    V_VARIANTREF(&v) = target;
    return v;
}

VARIANT BoolRef(VARIANT_BOOL* target)
{
    VARIANT v = Typed(VT_BOOL | VT_BYREF);
    V_BOOLREF(&v) = target;
    return v;
}

// Fills `packets` with a one-dimensional array of longs starting at `lower`.
void SetLongs(CVariant& packets, const std::vector<LONG>& values, LONG lower = 0)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, lower, static_cast<ULONG>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) {
        LONG index = lower + static_cast<LONG>(i);
        SafeArrayPutElement(array, &index, const_cast<LONG*>(&values[i]));
    }
    V_VT(&packets.value) = VT_ARRAY | VT_I4;
    V_ARRAY(&packets.value) = array;
}

// Calls one event with its arguments in declaration order.
HRESULT Fire(IDispatch& sink, DISPID id, std::vector<VARIANT> arguments)
{
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return sink.Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

class InkSink : public testing::Test {
protected:
    void SetUp() override
    {
        owner.Reset(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
        window = owner.Get();
        ASSERT_NE(window, nullptr);
        sink.SetWindow(window);
    }
    void TearDown() override
    {
        // Every reference the sink took is given back.
        EXPECT_EQ(cursor.References(), 0);
        EXPECT_EQ(cursor.buttons.References(), 0);
        EXPECT_EQ(stroke.References(), 0);
        for (FakeButton& button : buttons)
            EXPECT_EQ(button.References(), 0);
        owner.Reset();
    }

    // One in-air packet of the cursor holding x, y and pressure.
    HRESULT InAir(LONG x, LONG y, LONG pressure)
    {
        CVariant packets;
        SetLongs(packets, {x, y, pressure, 77});
        return Fire(sink, DISPID_ICENewInAirPackets, {Object(&cursor), Long(1), Ref(&packets.value)});
    }
    HRESULT OnStroke(LONG x, LONG y, LONG pressure)
    {
        CVariant packets;
        SetLongs(packets, {x, y, pressure});
        return Fire(sink, DISPID_ICENewPackets, {Object(&cursor), Object(&stroke), Long(1), Ref(&packets.value)});
    }
    void SetButtons(const std::vector<InkCursorButtonState>& states)
    {
        buttons.clear();
        buttons.reserve(states.size());
        for (InkCursorButtonState state : states)
            buttons.emplace_back(state);
        cursor.buttons.buttons.clear();
        for (FakeButton& button : buttons)
            cursor.buttons.buttons.push_back(&button);
    }
    bool TakeWakeUp(MSG& message) { return PeekMessageW(&message, window, kWakeUp, kWakeUp, PM_REMOVE) != 0; }

    CUniqueWindow owner;
    HWND window = nullptr;
    std::vector<FakeButton> buttons;
    FakeCursor cursor;
    FakeStroke stroke;
    CInkEvents sink;
};
} // namespace

TEST_F(InkSink, PressureFollowsTheTabletMaximumAndPressedButtons)
{
    struct Case {
        const char* name;
        LONG maximum; // 0: none reported
        LONG raw;
        std::vector<InkCursorButtonState> buttons;
        bool pressureBefore;
        float expected;
    } cases[] = {
        {"half", 1024, 512, {}, false, 512.0f * 1.02f / 1024.0f},
        {"just below the top", 1024, 1003, {}, false, 1003.0f * 1.02f / 1024.0f},
        {"above maximum / 1.02", 1024, 1004, {}, false, 1.0f},
        {"no maximum reported", 0, 512, {}, false, 512.0f * 1.02f / 1024.0f},
        {"other maximum", 255, 100, {}, false, 100.0f * 1.02f / 255.0f},
        {"nothing", 1024, 0, {ICBS_Up}, false, 0.0f},
        {"below nothing", 1024, -5, {}, false, 0.0f},
        {"second button down", 1024, 0, {ICBS_Up, ICBS_Down}, false, 0.94f},
        {"button down after pressure", 1024, 0, {ICBS_Down}, true, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CInkEvents fresh;
        fresh.SetMaximumPressure(c.maximum);
        SetButtons(c.buttons);
        CVariant before;
        SetLongs(before, {0, 0, 300});
        if (c.pressureBefore) {
            ASSERT_EQ(Fire(fresh, DISPID_ICENewInAirPackets, {Object(&cursor), Long(1), Ref(&before.value)}), S_OK);
        }
        CVariant packets;
        SetLongs(packets, {-30, 4000, c.raw});
        ASSERT_EQ(Fire(fresh, DISPID_ICENewInAirPackets, {Object(&cursor), Long(1), Ref(&packets.value)}), S_OK);
        EXPECT_FLOAT_EQ(fresh.GetPressure(), c.expected);
        EXPECT_EQ(fresh.GetX(), -30.0f);
        EXPECT_EQ(fresh.GetY(), 4000.0f);
        EXPECT_EQ(fresh.GetAltitude(), 1.0f);
        EXPECT_EQ(fresh.GetAzimuth(), 0.0f);
    }
}

TEST_F(InkSink, InvertedCursorMarksTheEraserEnd)
{
    struct Case {
        const char* name;
        HRESULT result;
        VARIANT_BOOL inverted;
        int32_t expected;
    } cases[] = {
        {"eraser end", S_OK, VARIANT_TRUE, -1},
        {"pen tip", S_OK, VARIANT_FALSE, 0},
        {"eraser end", S_OK, VARIANT_TRUE, -1},
        {"cursor cannot tell", E_FAIL, VARIANT_TRUE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cursor.invertedResult = c.result;
        cursor.inverted = c.inverted;
        ASSERT_EQ(InAir(1, 2, 100), S_OK);
        EXPECT_EQ(sink.GetInverted(), c.expected);
    }
}

TEST_F(InkSink, ABusySinkTakesNoPacketsAndWakesNobody)
{
    ASSERT_EQ(InAir(10, 20, 512), S_OK);
    sink.SetBusy(1);
    stroke.packetCount = 0;
    ASSERT_EQ(InAir(99, 99, 1000), S_OK);
    ASSERT_EQ(OnStroke(99, 99, 1000), S_OK);
    EXPECT_EQ(sink.GetX(), 10.0f);
    EXPECT_EQ(sink.GetY(), 20.0f);
    EXPECT_FLOAT_EQ(sink.GetPressure(), 512.0f * 1.02f / 1024.0f);
    EXPECT_EQ(sink.IsPressureSeen(), 1u);
    MSG message;
    EXPECT_FALSE(TakeWakeUp(message));
}

TEST_F(InkSink, AStrokeWithoutPacketsWakesTheWindowAndForgetsPressure)
{
    struct Case {
        LONG strokePackets;
        bool wakes;
    } cases[] = {{0, true}, {3, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strokePackets);
        stroke.packetCount = c.strokePackets;
        ASSERT_EQ(OnStroke(5, 6, 512), S_OK);
        EXPECT_EQ(sink.GetX(), 5.0f);
        EXPECT_EQ(sink.IsPressureSeen(), c.wakes ? 0u : 1u);
        MSG message;
        ASSERT_EQ(TakeWakeUp(message), c.wakes);
        if (c.wakes) {
            EXPECT_EQ(message.wParam, 1u);
            EXPECT_EQ(message.lParam, 0);
        }
    }
}

TEST_F(InkSink, StrokesAreCancelledSoNoInkIsKept)
{
    VARIANT_BOOL cancel = VARIANT_FALSE;
    ASSERT_EQ(Fire(sink, DISPID_ICEStroke, {Object(&cursor), Object(&stroke), BoolRef(&cancel)}), S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE);
}

// Packet data that is not what the collector promises is ignored: the sample stays.
TEST_F(InkSink, HostilePacketDataIsIgnored)
{
    struct Case {
        const char* name;
        void (*build)(CVariant& packets, LONG& count);
        bool taken;
    } cases[] = {
        {"a number", [](CVariant& p, LONG&) { p.value = Long(5); }, false},
        {"nothing", [](CVariant&, LONG&) {}, false},
        {"two values",
         [](CVariant& p, LONG&) {
             SetLongs(p, {1, 2});
         },
         false},
        {"no packets",
         [](CVariant& p, LONG& count) {
             SetLongs(p, {30, 40, 50});
             count = 0;
         },
         false},
        {"negative count",
         [](CVariant& p, LONG& count) {
             SetLongs(p, {30, 40, 50});
             count = -1;
         },
         false},
        {"null array",
         [](CVariant& p, LONG&) {
             V_VT(&p.value) = VT_ARRAY | VT_I4;
             V_ARRAY(&p.value) = nullptr;
         },
         false},
        {"doubles",
         [](CVariant& p, LONG&) {
             V_VT(&p.value) = VT_ARRAY | VT_R8;
             V_ARRAY(&p.value) = SafeArrayCreateVector(VT_R8, 0, 3);
         },
         false},
        {"strings called longs",
         [](CVariant& p, LONG&) {
             V_VT(&p.value) = VT_ARRAY | VT_BSTR;
             V_ARRAY(&p.value) = SafeArrayCreateVector(VT_BSTR, 0, 3);
             V_VT(&p.value) = VT_ARRAY | VT_I4; // the array itself still holds strings
         },
         false},
        {"two dimensions",
         [](CVariant& p, LONG&) {
             SAFEARRAYBOUND bounds[2] = {{3, 0}, {3, 0}};
             V_VT(&p.value) = VT_ARRAY | VT_I4;
             V_ARRAY(&p.value) = SafeArrayCreate(VT_I4, 2, bounds);
         },
         false},
        {"lower bound 5",
         [](CVariant& p, LONG&) {
             SetLongs(p, {30, 40, 50}, 5);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(InAir(10, 20, 512), S_OK);
        CVariant packets;
        LONG count = 1;
        c.build(packets, count);
        EXPECT_EQ(Fire(sink, DISPID_ICENewInAirPackets, {Object(&cursor), Long(count), Ref(&packets.value)}), S_OK);
        EXPECT_EQ(sink.GetX(), c.taken ? 30.0f : 10.0f);
        EXPECT_EQ(sink.GetY(), c.taken ? 40.0f : 20.0f);
    }
}

TEST_F(InkSink, EventsWithWrongArgumentsReachNoHandler)
{
    CVariant packets;
    SetLongs(packets, {30, 40, 50});
    CVariant text;
    V_VT(&text.value) = VT_BSTR;
    V_BSTR(&text.value) = SysAllocString(L"1");
    VARIANT_BOOL cancel = VARIANT_FALSE;
    struct Case {
        const char* name;
        DISPID id;
        std::vector<VARIANT> arguments;
        HRESULT expected;
    } cases[] = {
        {"argument missing", DISPID_ICENewInAirPackets, {Object(&cursor), Long(1)}, DISP_E_BADPARAMCOUNT},
        {"argument too many",
         DISPID_ICENewInAirPackets,
         {Object(&cursor), Long(1), Ref(&packets.value), Long(0)},
         DISP_E_BADPARAMCOUNT},
        {"cursor is a number", DISPID_ICENewInAirPackets, {Long(7), Long(1), Ref(&packets.value)}, DISP_E_TYPEMISMATCH},
        {"cursor is a stroke",
         DISPID_ICENewInAirPackets,
         {Object(&stroke), Long(1), Ref(&packets.value)},
         DISP_E_TYPEMISMATCH},
        {"count is text",
         DISPID_ICENewInAirPackets,
         {Object(&cursor), text.value, Ref(&packets.value)},
         DISP_E_TYPEMISMATCH},
        {"cancel is not a reference",
         DISPID_ICEStroke,
         {Object(&cursor), Object(&stroke), Long(0)},
         DISP_E_TYPEMISMATCH},
        {"stroke is a cursor",
         DISPID_ICENewPackets,
         {Object(&cursor), Object(&cursor), Long(1), Ref(&packets.value)},
         DISP_E_TYPEMISMATCH},
    };
    ASSERT_EQ(InAir(10, 20, 512), S_OK);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Fire(sink, c.id, c.arguments), c.expected);
        EXPECT_EQ(sink.GetX(), 10.0f);
    }
    EXPECT_EQ(cancel, VARIANT_FALSE);
    MSG message;
    EXPECT_FALSE(TakeWakeUp(message));
}

// Tearing the ink input down while the collector's thread is inside the sink waits for that
// call: the sample it is writing lives in the ink input.
TEST(InkSinkTeardown, WaitsForACallThatIsStillRunning)
{
    FakeCursor cursor;
    CKernelHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    CKernelHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    cursor.entered = entered.Get();
    cursor.release = release.Get();
    CInkInput* ink = new CInkInput();
    CVariant packets;
    SetLongs(packets, {1, 2, 3});

    std::thread collector([&] {
        EXPECT_EQ(Fire(ink->Events(), DISPID_ICENewInAirPackets, {Object(&cursor), Long(1), Ref(&packets.value)}),
                  S_OK);
    });
    ASSERT_EQ(WaitForSingleObject(cursor.entered, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(ink->Events().CallsInFlight(), 1);

    std::atomic<int> stage{0};
    std::thread owner([&] {
        stage = 1;
        delete ink;
        stage = 2;
    });
    while (stage.load() == 0)
        Sleep(1);
    Sleep(100); // time enough for a teardown that does not wait to finish
    EXPECT_EQ(stage.load(), 1);

    SetEvent(cursor.release);
    collector.join();
    owner.join();
    EXPECT_EQ(stage.load(), 2);
    EXPECT_EQ(cursor.References(), 0);
}

// The ink collector's event sink, driven the way the collector drives it: through IDispatch::Invoke
// with argument arrays, with stand-in cursors and buttons that count their references, so that a
// test sees whether the sink gave back every reference it took.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "CInkInput.h"
#include "InkApi.h"
#include "WinHandle.h"

namespace {
// An interface method that the sink never calls.
#define QV_UNUSED_METHOD(name, ...)                                                                                    \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override                                                               \
    {                                                                                                                  \
        return E_NOTIMPL;                                                                                              \
    }

template <typename Interface>
class CFakeDispatch : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Interface)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
    QV_UNUSED_METHOD(GetTypeInfoCount, UINT*)
    QV_UNUSED_METHOD(GetTypeInfo, UINT, LCID, ITypeInfo**)
    QV_UNUSED_METHOD(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*)
    QV_UNUSED_METHOD(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)

    long references = 0; // taken and not given back
};

class FakeButton : public CFakeDispatch<IInkCursorButton> {
public:
    InkCursorButtonState state = ICBS_Up;

    HRESULT STDMETHODCALLTYPE get_State(InkCursorButtonState* out) override
    {
        *out = state;
        return S_OK;
    }
    QV_UNUSED_METHOD(get_Name, BSTR*)
    QV_UNUSED_METHOD(get_Id, BSTR*)
};

class FakeButtons : public CFakeDispatch<IInkCursorButtons> {
public:
    FakeButton buttons[2];
    LONG count = 0;

    HRESULT STDMETHODCALLTYPE get_Count(LONG* out) override
    {
        *out = count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(VARIANT index, IInkCursorButton** button) override
    {
        if (V_VT(&index) != VT_I4 || V_I4(&index) < 0 || V_I4(&index) >= count)
            return E_INVALIDARG;
        return buttons[V_I4(&index)].QueryInterface(__uuidof(IInkCursorButton), reinterpret_cast<void**>(button));
    }
    QV_UNUSED_METHOD(get__NewEnum, IUnknown**)
};

class FakeCursor : public CFakeDispatch<IInkCursor> {
public:
    HRESULT invertedResult = S_OK;
    VARIANT_BOOL inverted = VARIANT_FALSE;
    FakeButtons buttons;
    // When set, get_Inverted signals `entered` and waits for `release`.
    bool hold = false;
    CKernelHandle entered{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    CKernelHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    HRESULT STDMETHODCALLTYPE get_Inverted(VARIANT_BOOL* status) override
    {
        if (hold) {
            SetEvent(entered.Get());
            WaitForSingleObject(release.Get(), INFINITE);
        }
        *status = inverted;
        return invertedResult;
    }
    HRESULT STDMETHODCALLTYPE get_Buttons(IInkCursorButtons** out) override
    {
        return buttons.QueryInterface(__uuidof(IInkCursorButtons), reinterpret_cast<void**>(out));
    }
    QV_UNUSED_METHOD(get_Name, BSTR*)
    QV_UNUSED_METHOD(get_Id, LONG*)
    QV_UNUSED_METHOD(get_DrawingAttributes, IInkDrawingAttributes**)
    QV_UNUSED_METHOD(putref_DrawingAttributes, IInkDrawingAttributes*)
    QV_UNUSED_METHOD(get_Tablet, IInkTablet**)
};

// A stroke knows only how many packets it has; the sink asks nothing else.
class FakeStroke : public CFakeDispatch<IInkStrokeDisp> {
public:
    LONG packetCount = 0;

    HRESULT STDMETHODCALLTYPE get_PacketCount(LONG* count) override
    {
        *count = packetCount;
        return S_OK;
    }
    QV_UNUSED_METHOD(get_ID, LONG*)
    QV_UNUSED_METHOD(get_BezierPoints, VARIANT*)
    QV_UNUSED_METHOD(get_DrawingAttributes, IInkDrawingAttributes**)
    QV_UNUSED_METHOD(putref_DrawingAttributes, IInkDrawingAttributes*)
    QV_UNUSED_METHOD(get_Ink, IInkDisp**)
    QV_UNUSED_METHOD(get_ExtendedProperties, IInkExtendedProperties**)
    QV_UNUSED_METHOD(get_PolylineCusps, VARIANT*)
    QV_UNUSED_METHOD(get_BezierCusps, VARIANT*)
    QV_UNUSED_METHOD(get_SelfIntersections, VARIANT*)
    QV_UNUSED_METHOD(get_PacketSize, LONG*)
    QV_UNUSED_METHOD(get_PacketDescription, VARIANT*)
    QV_UNUSED_METHOD(get_Deleted, VARIANT_BOOL*)
    QV_UNUSED_METHOD(GetBoundingBox, InkBoundingBoxMode, IInkRectangle**)
    QV_UNUSED_METHOD(FindIntersections, IInkStrokes*, VARIANT*)
    QV_UNUSED_METHOD(GetRectangleIntersections, IInkRectangle*, VARIANT*)
    QV_UNUSED_METHOD(Clip, IInkRectangle*)
    QV_UNUSED_METHOD(HitTestCircle, LONG, LONG, float, VARIANT_BOOL*)
    QV_UNUSED_METHOD(NearestPoint, LONG, LONG, float*, float*)
    QV_UNUSED_METHOD(Split, float, IInkStrokeDisp**)
    QV_UNUSED_METHOD(GetPacketDescriptionPropertyMetrics, BSTR, LONG*, LONG*, TabletPropertyMetricUnit*, float*)
    QV_UNUSED_METHOD(GetPoints, LONG, LONG, VARIANT*)
    QV_UNUSED_METHOD(SetPoints, VARIANT, LONG, LONG, LONG*)
    QV_UNUSED_METHOD(GetPacketData, LONG, LONG, VARIANT*)
    QV_UNUSED_METHOD(GetPacketValuesByProperty, BSTR, LONG, LONG, VARIANT*)
    QV_UNUSED_METHOD(SetPacketValuesByProperty, BSTR, VARIANT, LONG, LONG, LONG*)
    QV_UNUSED_METHOD(GetFlattenedBezierPoints, LONG, VARIANT*)
    QV_UNUSED_METHOD(Transform, IInkTransform*, VARIANT_BOOL)
    QV_UNUSED_METHOD(ScaleToRectangle, IInkRectangle*)
    QV_UNUSED_METHOD(Move, float, float)
    QV_UNUSED_METHOD(Rotate, float, float, float)
    QV_UNUSED_METHOD(Shear, float, float)
    QV_UNUSED_METHOD(ScaleTransform, float, float)
};

// A VARIANT of the type holding the pointer: a reference, an object or a string.
VARIANT Typed(VARTYPE type, void* pointer)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    V_BYREF(&v) = pointer;
    return v;
}

VARIANT Long(LONG number)
{
    VARIANT v = Typed(VT_I4, nullptr);
    V_I4(&v) = number;
    return v;
}

// Packets as a one-dimensional array of longs starting at `lower`.
VARIANT Longs(const std::vector<LONG>& values, LONG lower = 0)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, lower, static_cast<ULONG>(values.size()));
    for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
        LONG index = lower + i;
        SafeArrayPutElement(array, &index, const_cast<LONG*>(&values[i]));
    }
    return Typed(VT_ARRAY | VT_I4, array);
}

// Owns a VARIANT and clears it when it goes.
class CVariant {
public:
    CVariant(VARIANT owned) : value(owned) {}
    ~CVariant() { VariantClear(&value); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;
    // As the collector passes packet data: an [in, out] argument.
    VARIANT Ref() { return Typed(VT_VARIANT | VT_BYREF, &value); }
    VARIANT value;
};

// Calls one event with its arguments in declaration order.
HRESULT Fire(IDispatch& sink, DISPID id, std::vector<VARIANT> arguments)
{
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return sink.Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

class InkSink : public testing::Test {
protected:
    void TearDown() override
    {
        // Every reference the sink took is given back.
        EXPECT_EQ(cursor.references, 0);
        EXPECT_EQ(cursor.buttons.references, 0);
        for (FakeButton& button : cursor.buttons.buttons)
            EXPECT_EQ(button.references, 0);
    }

    // One in-air packet of the cursor holding x, y and pressure.
    HRESULT InAir(CInkEvents& events, LONG x, LONG y, LONG pressure)
    {
        CVariant packets(Longs({x, y, pressure, 77}));
        return Fire(events, DISPID_ICENewInAirPackets, {Typed(VT_DISPATCH, &cursor), Long(1), packets.Ref()});
    }

    FakeCursor cursor;
    CInkEvents sink;
};
} // namespace

TEST_F(InkSink, PressureFollowsTheTabletMaximumAndPressedButtonsAnInvertedCursorIsTheEraser)
{
    struct Case {
        const char* name;
        LONG maximum; // 0: none reported
        LONG raw;
        LONG buttons; // the second one is down
        bool pressureBefore;
        float expected;
        VARIANT_BOOL inverted;
    } cases[] = {
        {"just below the top", 1024, 1003, 0, false, 1003.0f * 1.02f / 1024.0f, VARIANT_FALSE},
        {"above maximum / 1.02", 1024, 1004, 0, false, 1.0f, VARIANT_FALSE},
        {"no maximum reported", 0, 512, 0, false, 512.0f * 1.02f / 1024.0f, VARIANT_FALSE},
        {"other maximum", 255, 100, 0, false, 100.0f * 1.02f / 255.0f, VARIANT_TRUE},
        {"below nothing", 1024, -5, 1, false, 0.0f, VARIANT_FALSE},
        {"second button down", 1024, 0, 2, false, 0.94f, VARIANT_TRUE},
        {"button down after pressure", 1024, 0, 2, true, 0.0f, VARIANT_FALSE},
    };
    cursor.buttons.buttons[1].state = ICBS_Down;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CInkEvents fresh;
        fresh.SetMaximumPressure(c.maximum);
        cursor.buttons.count = c.buttons;
        cursor.inverted = c.inverted;
        if (c.pressureBefore) {
            ASSERT_EQ(InAir(fresh, 0, 0, 300), S_OK);
        }
        ASSERT_EQ(InAir(fresh, -30, 4000, c.raw), S_OK);
        EXPECT_FLOAT_EQ(fresh.GetPressure(), c.expected);
        EXPECT_EQ(fresh.GetX(), -30.0f);
        EXPECT_EQ(fresh.GetY(), 4000.0f);
        EXPECT_EQ(fresh.GetInverted(), c.inverted ? -1 : 0);
    }
}

// The end of a stroke (a stroke of no packets) wakes the window and forgets that pressure was seen;
// every stroke is cancelled so that the collector keeps no ink, with VARIANT_TRUE, not 1.
TEST_F(InkSink, AStrokeEndWakesTheWindowAndEveryStrokeIsCancelled)
{
    CUniqueWindow owner(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    sink.SetWindow(owner.Get());
    FakeStroke stroke;
    const VARIANT pen = Typed(VT_DISPATCH, &cursor);
    for (LONG packetCount : {3, 0}) {
        stroke.packetCount = packetCount;
        CVariant packets(Longs({5, 6, 512}));
        ASSERT_EQ(Fire(sink, DISPID_ICENewPackets, {pen, Typed(VT_DISPATCH, &stroke), Long(1), packets.Ref()}), S_OK);
        EXPECT_EQ(sink.IsPressureSeen(), packetCount ? 1u : 0u);
        MSG message;
        EXPECT_EQ(PeekMessageW(&message, owner.Get(), WM_APP + 100, WM_APP + 100, PM_REMOVE) != 0, packetCount == 0);
    }
    VARIANT_BOOL cancel = VARIANT_FALSE;
    EXPECT_EQ(Fire(sink, DISPID_ICEStroke, {pen, Typed(VT_DISPATCH, &stroke), Typed(VT_BOOL | VT_BYREF, &cancel)}),
              S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE);
}

// Events whose arguments are not what the collector promises reach no handler; packet data that is
// not a one-dimensional array of at least three longs is ignored, and a busy sink takes none: the
// sample stays.
TEST_F(InkSink, WrongArgumentsHostilePacketsAndABusySinkLeaveTheSample)
{
    SAFEARRAYBOUND bounds[2] = {{3, 0}, {3, 0}};
    CVariant packets(Longs({30, 40, 50})), shifted(Longs({30, 40, 50}, 5)), nothing(Typed(VT_EMPTY, nullptr)),
        two(Longs({1, 2})), null(Typed(VT_ARRAY | VT_I4, nullptr)),
        strings(Typed(VT_ARRAY | VT_I4, SafeArrayCreateVector(VT_BSTR, 0, 3))),
        square(Typed(VT_ARRAY | VT_I4, SafeArrayCreate(VT_I4, 2, bounds))), text(Typed(VT_BSTR, SysAllocString(L"1")));
    const VARIANT pen = Typed(VT_DISPATCH, &cursor);
    const DISPID inAir = DISPID_ICENewInAirPackets;
    struct Case {
        const char* name;
        DISPID id;
        std::vector<VARIANT> arguments;
        HRESULT expected;
        uint32_t busy = 0;
        bool taken = false;
    } cases[] = {
        {"argument missing", inAir, {pen, Long(1)}, DISP_E_BADPARAMCOUNT},
        {"cursor is a number", inAir, {Long(7), Long(1), packets.Ref()}, DISP_E_TYPEMISMATCH},
        {"cursor is a button",
         inAir,
         {Typed(VT_DISPATCH, &cursor.buttons.buttons[0]), Long(1), packets.Ref()},
         DISP_E_TYPEMISMATCH},
        {"count is text", inAir, {pen, text.value, packets.Ref()}, DISP_E_TYPEMISMATCH},
        {"cancel is not a reference", DISPID_ICEStroke, {pen, Long(0), Long(0)}, DISP_E_TYPEMISMATCH},
        {"nothing", inAir, {pen, Long(1), nothing.Ref()}, S_OK},
        {"two values", inAir, {pen, Long(1), two.Ref()}, S_OK},
        {"no packets", inAir, {pen, Long(0), packets.Ref()}, S_OK},
        {"null array", inAir, {pen, Long(1), null.Ref()}, S_OK},
        {"strings called longs", inAir, {pen, Long(1), strings.Ref()}, S_OK},
        {"two dimensions", inAir, {pen, Long(1), square.Ref()}, S_OK},
        {"a busy sink", inAir, {pen, Long(1), packets.Ref()}, S_OK, 1},
        {"lower bound 5", inAir, {pen, Long(1), shifted.Ref()}, S_OK, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sink.SetBusy(0);
        ASSERT_EQ(InAir(sink, 10, 20, 512), S_OK);
        sink.SetBusy(c.busy);
        EXPECT_EQ(Fire(sink, c.id, c.arguments), c.expected);
        EXPECT_EQ(sink.GetX(), c.taken ? 30.0f : 10.0f);
    }
}

// Tearing the ink input down while the collector's thread is inside the sink waits for that call:
// the sample it is writing lives in the ink input.
TEST_F(InkSink, TeardownWaitsForACallThatIsStillRunning)
{
    cursor.hold = true;
    std::unique_ptr<CInkInput> ink(new CInkInput());
    CInkEvents& events = ink->Events();
    std::thread collector([&] { EXPECT_EQ(InAir(events, 1, 2, 3), S_OK); });
    ASSERT_EQ(WaitForSingleObject(cursor.entered.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(events.CallsInFlight(), 1);

    CKernelHandle deleted(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread owner([&] {
        ink.reset();
        SetEvent(deleted.Get());
    });
    EXPECT_EQ(WaitForSingleObject(deleted.Get(), 100), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the ink input went while the collector's call was running";
    SetEvent(cursor.release.Get());
    collector.join();
    owner.join();
}

#include <initguid.h>

#include "CInkInput.h"

#include <utility>

#include "TabletMetrics.h"
#include "WinHandle.h"

namespace {
// The tablet's normal-pressure packet property.
const wchar_t kNormalPressure[] = L"{7307502D-F9F4-4E18-B3F2-2CE1B1A3610C}";
// Cursors with more buttons than this are not searched further.
const LONG kMaximumButtons = 32;

template <typename T>
T* Raw(const CComRef<T>& object)
{
    return object.Get();
}
template <typename T>
T Raw(T value)
{
    return value;
}

// The arguments of one event in declaration order (the array holds them last first). A
// missing argument or one of another type marks the whole event as unusable.
class CEventArgs {
public:
    explicit CEventArgs(const DISPPARAMS& params) : m_params(params) {}

    template <typename Interface>
    CComRef<Interface> Object(UINT index)
    {
        CComRef<Interface> object;
        VARIANT* value = At(index);
        if (!value)
            return object;
        IUnknown* unknown = nullptr;
        if (V_VT(value) == VT_DISPATCH)
            unknown = V_DISPATCH(value);
        else if (V_VT(value) == VT_UNKNOWN)
            unknown = V_UNKNOWN(value);
        else if (V_VT(value) != VT_EMPTY && V_VT(value) != VT_NULL)
            m_ok = false;
        if (unknown && FAILED(unknown->QueryInterface(__uuidof(Interface), reinterpret_cast<void**>(object.Receive()))))
            m_ok = false;
        return object;
    }
    LONG Long(UINT index)
    {
        VARIANT* value = At(index);
        if (value && V_VT(value) == VT_I4)
            return V_I4(value);
        if (value && V_VT(value) == (VT_I4 | VT_BYREF) && V_I4REF(value))
            return *V_I4REF(value);
        m_ok = false;
        return 0;
    }
    VARIANT_BOOL Bool(UINT index)
    {
        VARIANT* value = At(index);
        if (value && V_VT(value) == VT_BOOL)
            return V_BOOL(value);
        m_ok = false;
        return VARIANT_FALSE;
    }
    VARIANT_BOOL* BoolRef(UINT index)
    {
        VARIANT* value = At(index);
        if (value && V_VT(value) == (VT_BOOL | VT_BYREF) && V_BOOLREF(value))
            return V_BOOLREF(value);
        m_ok = false;
        return nullptr;
    }
    BSTR String(UINT index)
    {
        VARIANT* value = At(index);
        if (value && V_VT(value) == VT_BSTR)
            return V_BSTR(value);
        m_ok = false;
        return nullptr;
    }
    // Any value; the handler checks its type.
    VARIANT* Any(UINT index) { return At(index); }

    // Calls the handler when every argument was read and the count is the handler's.
    template <typename... Params, typename... Values>
    HRESULT Call(InkCollectorEvents& sink, void (InkCollectorEvents::*handler)(Params...), const Values&... values)
    {
        if (m_params.cArgs != sizeof...(Params))
            return DISP_E_BADPARAMCOUNT;
        if (!m_ok)
            return DISP_E_TYPEMISMATCH;
        (sink.*handler)(Raw(values)...);
        return S_OK;
    }

private:
    VARIANT* At(UINT index)
    {
        if (index >= m_params.cArgs || !m_params.rgvarg) {
            m_ok = false;
            return nullptr;
        }
        VARIANT* value = &m_params.rgvarg[m_params.cArgs - 1 - index];
        if (V_VT(value) == (VT_VARIANT | VT_BYREF))
            value = V_VARIANTREF(value);
        if (!value)
            m_ok = false;
        return value;
    }

    const DISPPARAMS& m_params;
    bool m_ok = true;
};

// Counts one call of the sink while it runs.
class CCallCounter {
public:
    explicit CCallCounter(std::atomic<int32_t>& count) : m_count(count) { m_count.fetch_add(1); }
    ~CCallCounter() { m_count.fetch_sub(1); }
    CCallCounter(const CCallCounter&) = delete;
    CCallCounter& operator=(const CCallCounter&) = delete;

private:
    std::atomic<int32_t>& m_count;
};

// The first three values of a one-dimensional array of longs: x, y and pressure of the first
// packet. False when the value is anything else or holds fewer values.
bool ReadFirstPacket(const VARIANT& packets, LONG (&values)[3])
{
    const VARIANT* data = &packets;
    if (V_VT(data) == (VT_VARIANT | VT_BYREF))
        data = V_VARIANTREF(data);
    if (!data)
        return false;
    SAFEARRAY* array = nullptr;
    if (V_VT(data) == (VT_ARRAY | VT_I4))
        array = V_ARRAY(data);
    else if (V_VT(data) == (VT_ARRAY | VT_I4 | VT_BYREF) && V_ARRAYREF(data))
        array = *V_ARRAYREF(data);
    VARTYPE type = VT_EMPTY;
    if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetVartype(array, &type)) || type != VT_I4)
        return false;
    LONG lower = 0;
    LONG upper = 0;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return false;
    if (static_cast<int64_t>(upper) - lower + 1 < 3)
        return false;
    for (LONG i = 0; i < 3; ++i) {
        LONG index = lower + i;
        if (FAILED(SafeArrayGetElement(array, &index, &values[i])))
            return false;
    }
    return true;
}
} // namespace

HRESULT InkCollectorEvents::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID__IInkCollectorEvents) {
        *object = static_cast<IDispatch*>(this);
        return S_OK;
    }
    if (iid == IID_IMarshal && m_marshaler)
        return m_marshaler->QueryInterface(iid, object);
    return E_NOINTERFACE;
}

HRESULT InkCollectorEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*)
{
    CCallCounter counter(m_callsInFlight);
    if (!params)
        return E_INVALIDARG;
    return Dispatch(id, *params);
}

HRESULT InkCollectorEvents::Dispatch(DISPID id, DISPPARAMS& params)
{
    using E = InkCollectorEvents;
    CEventArgs a(params);
    switch (id) {
    case DISPID_ICEStroke:
        return a.Call(*this, &E::Stroke, a.Object<IInkCursor>(0), a.Object<IInkStrokeDisp>(1), a.BoolRef(2));
    case DISPID_ICECursorDown:
        return a.Call(*this, &E::CursorDown, a.Object<IInkCursor>(0), a.Object<IInkStrokeDisp>(1));
    case DISPID_ICENewPackets:
        return a.Call(*this, &E::NewPackets, a.Object<IInkCursor>(0), a.Object<IInkStrokeDisp>(1), a.Long(2), a.Any(3));
    case DISPID_ICENewInAirPackets:
        return a.Call(*this, &E::NewInAirPackets, a.Object<IInkCursor>(0), a.Long(1), a.Any(2));
    case DISPID_ICECursorButtonDown:
        return a.Call(*this, &E::CursorButtonDown, a.Object<IInkCursor>(0), a.Object<IInkCursorButton>(1));
    case DISPID_ICECursorButtonUp:
        return a.Call(*this, &E::CursorButtonUp, a.Object<IInkCursor>(0), a.Object<IInkCursorButton>(1));
    case DISPID_ICECursorInRange:
        return a.Call(*this, &E::CursorInRange, a.Object<IInkCursor>(0), a.Bool(1), a.Any(2));
    case DISPID_ICECursorOutOfRange:
        return a.Call(*this, &E::CursorOutOfRange, a.Object<IInkCursor>(0));
    case DISPID_ICESystemGesture:
        return a.Call(*this, &E::SystemGesture, a.Object<IInkCursor>(0), a.Long(1), a.Long(2), a.Long(3), a.Long(4),
                      a.String(5), a.Long(6));
    case DISPID_ICEGesture:
        return a.Call(*this, &E::Gesture, a.Object<IInkCursor>(0), a.Object<IInkStrokes>(1), a.Any(2), a.BoolRef(3));
    case DISPID_ICETabletAdded:
        return a.Call(*this, &E::TabletAdded, a.Object<IInkTablet>(0));
    case DISPID_ICETabletRemoved:
        return a.Call(*this, &E::TabletRemoved, a.Long(0));
    case DISPID_IPEDblClick:
        return a.Call(*this, &E::DblClick, a.BoolRef(0));
    case DISPID_IPEMouseDown:
        return a.Call(*this, &E::MouseDown, a.Long(0), a.Long(1), a.Long(2), a.Long(3), a.BoolRef(4));
    case DISPID_IPEMouseMove:
        return a.Call(*this, &E::MouseMove, a.Long(0), a.Long(1), a.Long(2), a.Long(3), a.BoolRef(4));
    case DISPID_IPEMouseUp:
        return a.Call(*this, &E::MouseUp, a.Long(0), a.Long(1), a.Long(2), a.Long(3), a.BoolRef(4));
    case DISPID_IPEMouseWheel:
        return a.Call(*this, &E::MouseWheel, a.Long(0), a.Long(1), a.Long(2), a.Long(3), a.Long(4), a.BoolRef(5));
    default:
        return S_OK;
    }
}

CInkEvents::~CInkEvents()
{
    Shutdown();
}

void CInkEvents::Stroke(IInkCursor*, IInkStrokeDisp*, VARIANT_BOOL* cancel)
{
    if (cancel)
        *cancel = VARIANT_TRUE;
}

void CInkEvents::NewPackets(IInkCursor* cursor, IInkStrokeDisp* stroke, LONG count, VARIANT* packets)
{
    DecodePacket(cursor, count, packets);
    if (m_busy.load() || !stroke)
        return;
    LONG strokePackets = -1;
    if (SUCCEEDED(stroke->get_PacketCount(&strokePackets)) && strokePackets == 0) {
        m_pressureSeen.store(0);
        PostMessageW(m_window, WM_APP + 100, 1, 0);
    }
}

void CInkEvents::DecodePacket(IInkCursor* cursor, LONG count, VARIANT* packets)
{
    LONG values[3];
    if (m_busy.load() || count < 1 || !packets || !ReadFirstPacket(*packets, values))
        return;
    m_x.store(static_cast<float>(values[0]), std::memory_order_relaxed);
    m_y.store(static_cast<float>(values[1]), std::memory_order_relaxed);
    float pressure = static_cast<float>(values[2]) * 1.02f / static_cast<float>(m_maximumPressure);
    if (pressure > 1.0f)
        pressure = 1.0f;
    if (!(pressure > 0.0f))
        pressure = 0.0f;
    if (pressure > 0.0f)
        m_pressureSeen.store(1);
    else if (!m_pressureSeen.load() && cursor)
        pressure = ButtonPressure(cursor);
    m_pressure.store(pressure, std::memory_order_relaxed);
    VARIANT_BOOL inverted = VARIANT_FALSE;
    if (!cursor || FAILED(cursor->get_Inverted(&inverted)))
        inverted = VARIANT_FALSE;
    m_inverted.store(inverted ? -1 : 0, std::memory_order_relaxed);
}

float CInkEvents::ButtonPressure(IInkCursor* cursor)
{
    CComRef<IInkCursorButtons> buttons;
    LONG count = 0;
    if (FAILED(cursor->get_Buttons(buttons.Receive())) || !buttons || FAILED(buttons->get_Count(&count)))
        return 0.0f;
    for (LONG i = 0; i < count && i < kMaximumButtons; ++i) {
        VARIANT index;
        VariantInit(&index);
        V_VT(&index) = VT_I4;
        V_I4(&index) = i;
        CComRef<IInkCursorButton> button;
        InkCursorButtonState state = ICBS_Unavailable;
        if (SUCCEEDED(buttons->Item(index, button.Receive())) && button && SUCCEEDED(button->get_State(&state)) &&
            state == ICBS_Down)
            return 0.94f;
    }
    return 0.0f;
}

HRESULT CInkEvents::CreateMarshaler()
{
    return CoCreateFreeThreadedMarshaler(static_cast<IDispatch*>(this), m_marshaler.Receive());
}

HRESULT CInkEvents::Advise(IUnknown* source)
{
    if (m_connectionPoint)
        return E_FAIL;
    CComRef<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Receive()));
    if (FAILED(hr))
        return hr;
    CComRef<IConnectionPoint> point;
    hr = container->FindConnectionPoint(DIID__IInkCollectorEvents, point.Receive());
    if (FAILED(hr))
        return hr;
    hr = point->Advise(static_cast<IDispatch*>(this), &m_cookie);
    if (SUCCEEDED(hr))
        m_connectionPoint = std::move(point);
    return hr;
}

void CInkEvents::Shutdown()
{
    m_busy.store(1);
    if (m_connectionPoint) {
        // Nothing to do about a source that refuses: the sink is going away either way.
        (void)m_connectionPoint->Unadvise(m_cookie);
        m_connectionPoint.Reset();
        m_cookie = 0;
    }
    // A call that started before the busy flag was set may still be reading its arguments
    // or writing the sample.
    while (CallsInFlight() > 0)
        Sleep(1);
}

void CInkEvents::SetMaximumPressure(LONG maximum)
{
    if (maximum > 0)
        m_maximumPressure = maximum;
}

CInkInput::~CInkInput()
{
    m_events.Shutdown();
    if (m_collector) {
        (void)m_collector->put_Enabled(VARIANT_FALSE); // it is released next anyway
        m_collector.Reset();
    }
}

HRESULT CInkInput::Init(HWND window)
{
    m_events.SetBusy(1);
    m_events.SetWindow(window);
    HRESULT hr = m_events.CreateMarshaler();
    if (FAILED(hr))
        return hr;
    hr = CoCreateInstance(CLSID_InkCollector, nullptr, CLSCTX_ALL, IID_IInkCollector,
                          reinterpret_cast<void**>(m_collector.Receive()));
    if (FAILED(hr))
        return hr;
    hr = m_events.Advise(m_collector.Get());
    if (FAILED(hr))
        return hr;
    hr = m_collector->put_hWnd(reinterpret_cast<LONG_PTR>(window));
    if (FAILED(hr))
        return hr;
    // Nothing is drawn: only the samples are wanted.
    CComRef<IInkDrawingAttributes> attributes;
    hr = m_collector->get_DefaultDrawingAttributes(attributes.Receive());
    if (SUCCEEDED(hr))
        hr = attributes->put_FitToCurve(VARIANT_FALSE);
    if (SUCCEEDED(hr))
        hr = attributes->put_AntiAliased(VARIANT_FALSE);
    if (SUCCEEDED(hr))
        hr = m_collector->put_DynamicRendering(VARIANT_FALSE);
    if (SUCCEEDED(hr))
        hr = m_collector->SetEventInterest(ICEI_NewPackets, VARIANT_TRUE);
    if (SUCCEEDED(hr))
        hr = m_collector->SetEventInterest(ICEI_NewInAirPackets, VARIANT_TRUE);
    if (FAILED(hr))
        return hr;
    // Without a reported range the default maximum stays.
    (void)ReadMaximumPressure();
    hr = ComputeScales(window);
    if (SUCCEEDED(hr))
        hr = m_collector->put_Enabled(VARIANT_TRUE);
    if (SUCCEEDED(hr))
        m_events.SetBusy(0);
    return hr;
}

HRESULT CInkInput::ReadMaximumPressure()
{
    CComRef<IInkTablets> tablets;
    HRESULT hr = CoCreateInstance(CLSID_InkTablets, nullptr, CLSCTX_ALL, IID_IInkTablets,
                                  reinterpret_cast<void**>(tablets.Receive()));
    if (FAILED(hr))
        return hr;
    CComRef<IInkTablet> tablet;
    hr = tablets->get_DefaultTablet(tablet.Receive());
    if (FAILED(hr) || !tablet)
        return FAILED(hr) ? hr : E_FAIL;
    BSTR name = SysAllocString(kNormalPressure);
    if (!name)
        return E_OUTOFMEMORY;
    LONG minimum = 0;
    LONG maximum = 0;
    TabletPropertyMetricUnit units = TPMU_Default;
    float resolution = 0.0f;
    hr = tablet->GetPropertyMetrics(name, &minimum, &maximum, &units, &resolution);
    SysFreeString(name);
    if (SUCCEEDED(hr))
        m_events.SetMaximumPressure(maximum);
    return hr;
}

HRESULT CInkInput::ComputeScales(HWND window)
{
    CComRef<IInkRenderer> renderer;
    HRESULT hr = m_collector->get_Renderer(renderer.Receive());
    if (FAILED(hr))
        return hr;
    CWindowDC dc(window);
    if (!dc.Get())
        return hr;
    const int width = TabletMetric(SM_CXSCREEN);
    const int height = TabletMetric(SM_CYSCREEN);
    LONG inkWidth = width;
    LONG inkHeight = height;
    hr = renderer->PixelToInkSpace(reinterpret_cast<LONG_PTR>(dc.Get()), &inkWidth, &inkHeight);
    if (SUCCEEDED(hr) && inkWidth != 0 && inkHeight != 0) {
        m_xScale = static_cast<float>(width) / static_cast<float>(inkWidth);
        m_yScale = static_cast<float>(height) / static_cast<float>(inkHeight);
    }
    return hr;
}

// Stand-ins for the ink collector's objects that reach the event sink: a cursor with buttons
// and a stroke. Each counts its references, so a test sees whether the sink gave back every
// reference it took.
#pragma once
#include "InkApi.h"

#include <vector>

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
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++m_references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--m_references); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // References taken and not given back.
    long References() const { return m_references; }

private:
    long m_references = 0;
};

#define QV_UNUSED_METHOD(name, ...)                                                                                    \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override                                                               \
    {                                                                                                                  \
        return E_NOTIMPL;                                                                                              \
    }

class FakeButton : public CFakeDispatch<IInkCursorButton> {
public:
    explicit FakeButton(InkCursorButtonState state) : m_state(state) {}
    HRESULT STDMETHODCALLTYPE get_State(InkCursorButtonState* state) override
    {
        *state = m_state;
        return S_OK;
    }
    QV_UNUSED_METHOD(get_Name, BSTR*)
    QV_UNUSED_METHOD(get_Id, BSTR*)

private:
    InkCursorButtonState m_state;
};

class FakeButtons : public CFakeDispatch<IInkCursorButtons> {
public:
    std::vector<FakeButton*> buttons;

    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override
    {
        *count = static_cast<LONG>(buttons.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(VARIANT index, IInkCursorButton** button) override
    {
        if (V_VT(&index) != VT_I4 || V_I4(&index) < 0 || V_I4(&index) >= static_cast<LONG>(buttons.size()))
            return E_INVALIDARG;
        return buttons[V_I4(&index)]->QueryInterface(__uuidof(IInkCursorButton), reinterpret_cast<void**>(button));
    }
    QV_UNUSED_METHOD(get__NewEnum, IUnknown**)
};

class FakeCursor : public CFakeDispatch<IInkCursor> {
public:
    HRESULT invertedResult = S_OK;
    VARIANT_BOOL inverted = VARIANT_FALSE;
    FakeButtons buttons;
    // When set, get_Inverted signals `entered` and waits for `release`.
    HANDLE entered = nullptr;
    HANDLE release = nullptr;

    HRESULT STDMETHODCALLTYPE get_Inverted(VARIANT_BOOL* status) override
    {
        if (entered) {
            SetEvent(entered);
            WaitForSingleObject(release, INFINITE);
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

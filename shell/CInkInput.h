// Tablet PC pen input: the platform's ink collector attached to a window, and the event sink
// that keeps the newest pen sample. The collector may call the sink on its own thread: the
// sample is written there without a lock, and the window only gets a message to wake its loop.
#pragma once
#include "InkApi.h"

#include <atomic>
#include <cstdint>

#include "ComRef.h"

// The collector's event interface as a dispatch interface: Invoke checks each event's
// arguments and calls the handler; the handlers do nothing here. The sink lives inside its
// owner, so AddRef and Release count nothing; instead every call is counted while it runs,
// and the owner waits for running calls before it frees anything they use.
class InkCollectorEvents : public IDispatch {
public:
    InkCollectorEvents(const InkCollectorEvents&) = delete;
    InkCollectorEvents& operator=(const InkCollectorEvents&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    // Unknown ids succeed and do nothing; a wrong argument count or type calls no handler.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override;

    virtual void Stroke(IInkCursor*, IInkStrokeDisp*, VARIANT_BOOL*) {}
    virtual void CursorDown(IInkCursor*, IInkStrokeDisp*) {}
    virtual void NewPackets(IInkCursor*, IInkStrokeDisp*, LONG, VARIANT*) {}
    virtual void DblClick(VARIANT_BOOL*) {}
    virtual void MouseMove(LONG, LONG, LONG, LONG, VARIANT_BOOL*) {}
    virtual void MouseDown(LONG, LONG, LONG, LONG, VARIANT_BOOL*) {}
    virtual void MouseUp(LONG, LONG, LONG, LONG, VARIANT_BOOL*) {}
    virtual void MouseWheel(LONG, LONG, LONG, LONG, LONG, VARIANT_BOOL*) {}
    virtual void NewInAirPackets(IInkCursor*, LONG, VARIANT*) {}
    virtual void CursorButtonDown(IInkCursor*, IInkCursorButton*) {}
    virtual void CursorButtonUp(IInkCursor*, IInkCursorButton*) {}
    virtual void CursorInRange(IInkCursor*, VARIANT_BOOL, VARIANT*) {}
    virtual void CursorOutOfRange(IInkCursor*) {}
    virtual void SystemGesture(IInkCursor*, LONG, LONG, LONG, LONG, BSTR, LONG) {}
    virtual void Gesture(IInkCursor*, IInkStrokes*, VARIANT*, VARIANT_BOOL*) {}
    virtual void TabletAdded(IInkTablet*) {}
    virtual void TabletRemoved(LONG) {}

    // Calls of the sink that have not returned yet.
    int32_t CallsInFlight() const { return m_callsInFlight.load(); }

protected:
    InkCollectorEvents() = default;
    ~InkCollectorEvents() = default;

    // Handed out for IMarshal: the sink may be called from any thread.
    CComRef<IUnknown> m_marshaler;

private:
    HRESULT Dispatch(DISPID id, DISPPARAMS& params);

    std::atomic<int32_t> m_callsInFlight{0};
};

// The sink that keeps the newest pen sample in ink-space units.
class CInkEvents : public InkCollectorEvents {
public:
    CInkEvents() = default;
    ~CInkEvents();

    // Tells the collector to store no ink.
    void Stroke(IInkCursor*, IInkStrokeDisp*, VARIANT_BOOL* cancel) override;
    // Decodes the first packet, then wakes the window when the stroke has no packets yet.
    void NewPackets(IInkCursor* cursor, IInkStrokeDisp* stroke, LONG count, VARIANT* packets) override;
    void NewInAirPackets(IInkCursor* cursor, LONG count, VARIANT* packets) override
    {
        DecodePacket(cursor, count, packets);
    }
    // Reads x, y and pressure of the first packet; a packet array that is not a long array
    // with a whole first packet is ignored.
    void DecodePacket(IInkCursor* cursor, LONG count, VARIANT* packets);

    // Set-up and teardown, by the ink input.
    HRESULT CreateMarshaler();
    // E_FAIL when already advised.
    HRESULT Advise(IUnknown* source);
    // Marks the sink busy, unadvises, and waits until no call is running.
    void Shutdown();
    void SetBusy(uint32_t busy) { m_busy.store(busy); }
    void SetWindow(HWND window) { m_window = window; }
    // A maximum that is not above 0 keeps the default.
    void SetMaximumPressure(LONG maximum);

    float GetX() const { return m_x.load(std::memory_order_relaxed); }
    float GetY() const { return m_y.load(std::memory_order_relaxed); }
    float GetPressure() const { return m_pressure.load(std::memory_order_relaxed); }
    float GetAltitude() const { return m_altitude; }
    float GetAzimuth() const { return m_azimuth; }
    // -1 while the eraser end is in use, else 0.
    int32_t GetInverted() const { return m_inverted.load(std::memory_order_relaxed); }
    int32_t GetMaximumPressure() const { return m_maximumPressure; }
    uint32_t IsBusy() const { return m_busy.load(); }
    uint32_t IsPressureSeen() const { return m_pressureSeen.load(); }

private:
    // 0.94 when a button of the cursor is down, else 0.
    static float ButtonPressure(IInkCursor* cursor);

    CComRef<IConnectionPoint> m_connectionPoint;
    DWORD m_cookie = 0;
    std::atomic<float> m_x{0.0f};
    std::atomic<float> m_y{0.0f};
    std::atomic<float> m_pressure{0.0f};
    float m_altitude = 1.0f;
    float m_azimuth = 0.0f;
    std::atomic<int32_t> m_inverted{0};
    int32_t m_maximumPressure = 1024;
    HWND m_window = nullptr;
    std::atomic<uint32_t> m_busy{0};
    std::atomic<uint32_t> m_pressureSeen{0};
};

class CInkInput {
public:
    CInkInput() = default;
    // Stops the sink first, then unadvises and frees the collector and the marshaler.
    ~CInkInput();
    CInkInput(const CInkInput&) = delete;
    CInkInput& operator=(const CInkInput&) = delete;

    // Creates the collector, attaches it to the window and starts collecting; a failing step
    // returns its negative result and leaves the rest undone.
    HRESULT Init(HWND window);

    CInkEvents& Events() { return m_events; }
    float GetXScale() const { return m_xScale; }
    float GetYScale() const { return m_yScale; }

private:
    HRESULT ReadMaximumPressure();
    HRESULT ComputeScales(HWND window);

    CComRef<IInkCollector> m_collector;
    float m_xScale = 1.0f;
    float m_yScale = 1.0f;
    CInkEvents m_events;
};

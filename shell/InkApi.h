// The platform's ink interfaces, and what the toolchain's headers leave out of them: the tablets
// collection, through which the default tablet's pressure range is read.
#pragma once
#include <windows.h>
#include <ole2.h>

#include <msinkaut.h>

DEFINE_GUID(IID_IInkTablets, 0x112086d9, 0x7779, 0x4535, 0xa6, 0x99, 0x86, 0x2b, 0x43, 0xac, 0x18, 0x63);
DEFINE_GUID(CLSID_InkTablets, 0x6e4fcb12, 0x510a, 0x4d40, 0x93, 0x04, 0x1d, 0xa1, 0x0a, 0xe9, 0x14, 0x7c);

struct IInkTablets : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** enumerator) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DefaultTablet(IInkTablet** tablet) = 0;
    virtual HRESULT STDMETHODCALLTYPE Item(LONG index, IInkTablet** tablet) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsPacketPropertySupported(BSTR name, VARIANT_BOOL* supported) = 0;
};

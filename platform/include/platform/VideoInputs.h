#pragma once

#include "platform/ComPtr.h"
#include "platform/DirectShow.h"

// Binds the capture filter of the video input at `index` in the device walk.
// Only the public device-walk calls, so it serves on every platform.
inline HRESULT bindVideoInputFilter(ULONG index, ComPtr<IBaseFilter>& filter)
{
    filter.reset();
    CoInitialize(nullptr);
    ComPtr<ICreateDevEnum> devEnum;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  devEnum.putVoid());
    if (FAILED(hr)) return hr;
    ComPtr<IEnumMoniker> monikers;
    hr = devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0);
    if (hr != S_OK || !monikers) return E_FAIL;
    if (index > 0 && monikers->Skip(index) != S_OK) return E_FAIL;
    ComPtr<IMoniker> moniker;
    ULONG fetched = 0;
    if (monikers->Next(1, moniker.put(), &fetched) != S_OK || !moniker) return E_FAIL;
    return moniker->BindToObject(IID_IBaseFilter, filter.putVoid());
}

#include "ks/SystemDeviceEnum.h"
#include "platform/ComPtr.h"
#include "platform/DirectShow.h"

namespace {
// The Windows answers for a class that is not served here and for an
// aggregation request, which none of our objects supports.
constexpr HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT kNoAggregation = static_cast<HRESULT>(0x80040110u);
} // namespace

// Our objects are free-threaded and need no per-thread set-up.
HRESULT CoInitialize(void*) { return S_OK; }

void CoUninitialize() {}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_SystemDeviceEnum || !(context & CLSCTX_INPROC)) return kClassNotRegistered;
    if (outer) return kNoAggregation;
    ComPtr<vorq::platform::ks::SystemDeviceEnum> enumerator(new vorq::platform::ks::SystemDeviceEnum);
    return enumerator->QueryInterface(riid, ppv);
}

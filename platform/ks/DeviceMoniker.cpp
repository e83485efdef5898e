#include "ks/DeviceMoniker.h"

#include <cerrno>

#include "ks/CaptureFilter.h"
#include "ks/DevicePropertyBag.h"
#include "platform/DevicePath.h"

namespace vorq::platform::ks {

DeviceMoniker::DeviceMoniker(std::unique_ptr<UvcDevice> device) : ComObject(IID_IMoniker), device_(std::move(device))
{
}

DeviceMoniker::~DeviceMoniker() = default;

HRESULT DeviceMoniker::BindToStorage(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IPropertyBag && riid != IID_IUnknown) return E_NOINTERFACE;
    const UvcIdentity& identity = device_->identity();
    *ppv = static_cast<IPropertyBag*>(new DevicePropertyBag(identity.card, devicePathOf(identity)));
    return S_OK;
}

HRESULT DeviceMoniker::BindToObject(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    std::unique_ptr<UvcDevice> handle = device_->reopen();
    if (!handle) return hresultFromErrno(ENODEV);
    ComPtr<CaptureFilter> filter = CaptureFilter::create(std::move(handle));
    return filter->QueryInterface(riid, ppv);
}

} // namespace vorq::platform::ks

#include "ks/SystemDeviceEnum.h"

#include "ks/DeviceMonikerEnum.h"
#include "platform/DeviceProvider.h"

namespace vorq::platform::ks {

SystemDeviceEnum::SystemDeviceEnum() : ComObject(IID_ICreateDevEnum) {}

SystemDeviceEnum::~SystemDeviceEnum() = default;

HRESULT SystemDeviceEnum::CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator, DWORD)
{
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    if (category != CLSID_VideoInputDeviceCategory) return S_FALSE;

    std::vector<ComPtr<DeviceMoniker>> monikers;
    for (auto& device : DeviceProvider::enumerate())
        if (device) monikers.emplace_back(new DeviceMoniker(std::move(device)));
    if (monikers.empty()) return S_FALSE;
    *enumerator = new DeviceMonikerEnum(std::move(monikers));
    return S_OK;
}

} // namespace vorq::platform::ks

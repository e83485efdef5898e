#pragma once

#include "ks/ComObject.h"

namespace vorq::platform::ks {

// The system device enumerator: one class, the video input devices.
class SystemDeviceEnum final : public ComObject<ICreateDevEnum> {
public:
    SystemDeviceEnum();

    // Walks the devices once per call. No devices, or another category:
    // S_FALSE and no enumerator.
    HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator, DWORD flags) override;

private:
    ~SystemDeviceEnum() override;
};

} // namespace vorq::platform::ks

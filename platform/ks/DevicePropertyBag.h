#pragma once

#include <string>

#include "ks/ComObject.h"

namespace vorq::platform::ks {

// The string properties of one device, as they were when it was enumerated.
class DevicePropertyBag final : public ComObject<IPropertyBag> {
public:
    DevicePropertyBag(std::string friendlyName, std::string devicePath);

    // "FriendlyName" and "DevicePath"; any other name is E_INVALIDARG.
    HRESULT Read(const char* name, std::string& value) override;

private:
    ~DevicePropertyBag() override;

    const std::string friendlyName_;
    const std::string devicePath_;
};

} // namespace vorq::platform::ks

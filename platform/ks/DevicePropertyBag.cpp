#include "ks/DevicePropertyBag.h"

#include <cstring>

namespace vorq::platform::ks {

DevicePropertyBag::DevicePropertyBag(std::string friendlyName, std::string devicePath)
    : ComObject(IID_IPropertyBag), friendlyName_(std::move(friendlyName)), devicePath_(std::move(devicePath))
{
}

DevicePropertyBag::~DevicePropertyBag() = default;

HRESULT DevicePropertyBag::Read(const char* name, std::string& value)
{
    if (!name) return E_POINTER;
    if (std::strcmp(name, "FriendlyName") == 0) {
        value = friendlyName_;
        return S_OK;
    }
    if (std::strcmp(name, "DevicePath") == 0) {
        value = devicePath_;
        return S_OK;
    }
    return E_INVALIDARG;
}

} // namespace vorq::platform::ks

#include "device/OfferedModes.h"

#include "platform/DevicePath.h"
#include "platform/DeviceProvider.h"

using namespace vorq::platform;

std::vector<CaptureMode> OfferedModes::of(const QString& deviceName)
{
    const std::string wanted = deviceName.toStdString();
    std::vector<CaptureMode> modes;
    for (const auto& device : DeviceProvider::enumerate()) {
        if (deviceNameOf(device->identity()) != wanted) continue;
        if (device->captureModes(modes) != 0) modes.clear();
        break;
    }
    return modes;
}

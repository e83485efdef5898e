#pragma once

#include <string>

#include "platform/DeviceProvider.h"

namespace vorq::platform {

DeviceList enumerateExternalCameras(const std::string& socketPath);

} // namespace vorq::platform

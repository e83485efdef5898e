#pragma once

#include <string>

#include "platform/DeviceProvider.h"

namespace vorq::platform {

DeviceList enumerateSimCameras(const std::string& vorqSim);

} // namespace vorq::platform

#pragma once

#include <string>

#include "platform/DeviceProvider.h"

namespace vorq::platform {

// The cameras of an external simulated device listening on a Unix socket.
DeviceList enumerateExternalCameras(const std::string& socketPath);

} // namespace vorq::platform

#pragma once

#include <string>

#include "platform/DeviceProvider.h"

namespace vorq::platform {

// The built-in simulated camera(s). vorqSim is the value of VORQ_SIM: "1" for
// the default state directory, otherwise the state directory itself.
DeviceList enumerateSimCameras(const std::string& vorqSim);

} // namespace vorq::platform

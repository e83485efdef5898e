#include "sim/SimBackend.h"

namespace vorq::platform {

DeviceList enumerateSimCameras(const std::string&) { return {}; }

} // namespace vorq::platform

#include "sim/ExternalBackend.h"

namespace vorq::platform {

DeviceList enumerateExternalCameras(const std::string&) { return {}; }

} // namespace vorq::platform

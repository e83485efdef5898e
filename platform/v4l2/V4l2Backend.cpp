#include "v4l2/V4l2Backend.h"

namespace vorq::platform {

DeviceList enumerateV4l2Cameras() { return {}; }

} // namespace vorq::platform

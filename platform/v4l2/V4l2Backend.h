#pragma once

#include "platform/DeviceProvider.h"

namespace vorq::platform {

// The capture nodes of the system's UVC cameras (and other V4L2 capture nodes).
DeviceList enumerateV4l2Cameras();

} // namespace vorq::platform

#include "v4l2/V4l2Backend.h"

#include "v4l2/KernelSeam.h"
#include "v4l2/SysfsCameraWalk.h"

namespace vorq::platform {

DeviceList enumerateV4l2Cameras() { return SysfsCameraWalk(std::make_shared<KernelSeam>()).enumerate(); }

} // namespace vorq::platform

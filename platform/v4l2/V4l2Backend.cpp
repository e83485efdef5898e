#include "v4l2/V4l2Backend.h"

#include "v4l2/CapabilityCache.h"
#include "v4l2/KernelSeam.h"
#include "v4l2/SysfsCameraWalk.h"

namespace vorq::platform {

DeviceList enumerateV4l2Cameras()
{
    // Shared by every walk of the process, so a periodic re-scan does not
    // open (and wake) cameras that have not changed.
    static CapabilityCache cache;
    return SysfsCameraWalk(std::make_shared<KernelSeam>(), &cache).enumerate();
}

} // namespace vorq::platform

#include "v4l2/V4l2Backend.h"

#include <mutex>

#include "platform/UnavailableCameras.h"
#include "v4l2/CapabilityCache.h"
#include "v4l2/KernelSeam.h"
#include "v4l2/SysfsCameraWalk.h"

namespace vorq::platform {

namespace {
std::mutex unavailableMutex;
std::vector<UnavailableCamera>& lastUnavailable()
{
    static std::vector<UnavailableCamera> list;
    return list;
}
} // namespace

DeviceList enumerateV4l2Cameras()
{
    // Shared by every walk of the process, so a periodic re-scan does not
    // open (and wake) cameras that have not changed.
    static CapabilityCache cache;
    std::vector<UnavailableCamera> unavailable;
    DeviceList cameras = SysfsCameraWalk(std::make_shared<KernelSeam>(), &cache).enumerate(&unavailable);
    std::lock_guard<std::mutex> lock(unavailableMutex);
    lastUnavailable() = std::move(unavailable);
    return cameras;
}

std::vector<UnavailableCamera> UnavailableCameras::fromLastWalk()
{
    std::lock_guard<std::mutex> lock(unavailableMutex);
    return lastUnavailable();
}

} // namespace vorq::platform

#include "sim/SimBackend.h"

#include "sim/SimUvcDevice.h"
#include "simcam/Camera.h"
#include "simcam/SimStateStore.h"

namespace vorq::platform {

DeviceList enumerateSimCameras(const std::string& vorqSim)
{
    const std::string directory = simcam::SimStateStore::directoryFor(vorqSim);
    if (directory.empty()) return {};
    // One store per walk, shared by its cameras and their reopened handles.
    std::shared_ptr<simcam::SimStateStore> store = simcam::SimStateStore::open(directory);
    if (!store) return {};
    const int cameras = simcam::Camera::cameraCount(*store);
    DeviceList devices;
    for (int i = 0; i < cameras; ++i)
        if (auto camera = simcam::Camera::open(store, i)) devices.push_back(std::make_unique<SimUvcDevice>(std::move(camera)));
    return devices;
}

} // namespace vorq::platform

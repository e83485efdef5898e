#include "sim/SimBackend.h"

#include "sim/SimCamera.h"
#include "sim/SimStateLock.h"
#include "sim/SimStateStore.h"

namespace vorq::platform {

DeviceList enumerateSimCameras(const std::string& vorqSim)
{
    const std::string directory = sim::SimStateStore::directoryFor(vorqSim);
    if (directory.empty()) return {};
    // One store per walk, shared by its cameras and their reopened handles.
    std::shared_ptr<sim::SimStateStore> store = sim::SimStateStore::open(directory);
    if (!store) return {};
    int cameras = 0;
    {
        sim::SimStateLock lock(*store);
        if (lock.status()) return {};
        cameras = lock.config().cameras();
    }
    DeviceList devices;
    for (int i = 0; i < cameras; ++i)
        if (auto camera = sim::SimCamera::open(store, i)) devices.push_back(std::move(camera));
    return devices;
}

} // namespace vorq::platform

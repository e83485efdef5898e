#include "platform/DeviceProvider.h"

#include <cstdlib>
#include <mutex>

#include "sim/ExternalBackend.h"
#include "sim/SimBackend.h"
#include "v4l2/V4l2Backend.h"

namespace vorq::platform {

namespace {
std::mutex sourceMutex;
std::function<DeviceList()>& testSource()
{
    static std::function<DeviceList()> source;
    return source;
}
} // namespace

DeviceList DeviceProvider::enumerate()
{
    {
        std::lock_guard<std::mutex> lock(sourceMutex);
        if (testSource()) return testSource()();
    }
    DeviceList all = enumerateV4l2Cameras();
    auto append = [&all](DeviceList more) {
        for (auto& d : more) all.push_back(std::move(d));
    };
    if (const char* sim = std::getenv("VORQ_SIM"); sim && *sim && std::string(sim) != "0")
        append(enumerateSimCameras(sim));
    if (const char* socket = std::getenv("VORQ_SIM_SOCKET"); socket && *socket)
        append(enumerateExternalCameras(socket));
    return all;
}

void DeviceProvider::setSourceForTesting(std::function<DeviceList()> source)
{
    std::lock_guard<std::mutex> lock(sourceMutex);
    testSource() = std::move(source);
}

} // namespace vorq::platform

#include "SimulatedUnits.h"

#include "platform/UvcDevice.h"
#include "sim/SimBackend.h"

namespace vorq::emucam {

std::unique_ptr<SimulatedUnits> SimulatedUnits::open(const std::string& stateDir, std::string& error)
{
    platform::DeviceList cameras = platform::enumerateSimCameras(stateDir.empty() ? "1" : stateDir);
    if (cameras.empty()) {
        error = "the simulated camera is not available (state " + (stateDir.empty() ? std::string("default") : stateDir) + ")";
        return nullptr;
    }
    return std::unique_ptr<SimulatedUnits>(new SimulatedUnits(std::move(cameras.front())));
}

SimulatedUnits::SimulatedUnits(std::unique_ptr<platform::UvcDevice> camera) : camera_(std::move(camera)) {}

SimulatedUnits::~SimulatedUnits() = default;

int SimulatedUnits::request(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    return camera_->xuQuery(unit, selector, query, data, size);
}

} // namespace vorq::emucam

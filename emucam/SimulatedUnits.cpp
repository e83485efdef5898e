#include "SimulatedUnits.h"

#include "platform/UvcDevice.h"
#include "sim/SimBackend.h"
#include "sim/SimTrace.h"

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

SimulatedUnits::SimulatedUnits(std::unique_ptr<platform::UvcDevice> camera)
    : camera_(std::move(camera)), trace_(platform::sim::SimTrace::fromEnvironment())
{
}

void SimulatedUnits::controlWritten(uint32_t cid, int32_t value, int error)
{
    if (trace_) trace_->control("emulated", "s_ctrl", cid, &value, nullptr, error);
}

SimulatedUnits::~SimulatedUnits() = default;

int SimulatedUnits::request(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    return camera_->xuQuery(unit, selector, query, data, size);
}

} // namespace vorq::emucam

#include "SimulatedUnits.h"

#include "simcam/Camera.h"
#include "simcam/SimStateStore.h"
#include "trace/SimTrace.h"

namespace vorq::emucam {

std::unique_ptr<SimulatedUnits> SimulatedUnits::open(const std::string& stateDir, std::string& error)
{
    const std::string where = stateDir.empty() ? std::string("default") : stateDir;
    const std::string directory = simcam::SimStateStore::directoryFor(stateDir.empty() ? "1" : stateDir);
    std::shared_ptr<simcam::SimStateStore> store =
        directory.empty() ? nullptr : simcam::SimStateStore::open(directory);
    std::unique_ptr<simcam::Camera> camera = store ? simcam::Camera::open(store, 0) : nullptr;
    if (!camera) {
        error = "the simulated camera is not available (state " + where + ")";
        return nullptr;
    }
    return std::unique_ptr<SimulatedUnits>(new SimulatedUnits(std::move(camera)));
}

SimulatedUnits::SimulatedUnits(std::unique_ptr<simcam::Camera> camera)
    : camera_(std::move(camera)), trace_(simcam::SimTrace::fromEnvironment())
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

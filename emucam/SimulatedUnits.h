#pragma once

#include <memory>
#include <string>

#include "UnitResponder.h"

namespace vorq::simcam {
class Camera;
class SimTrace;
} // namespace vorq::simcam

namespace vorq::emucam {

// The TX42's firmware: its extension units answered by the simulated
// camera's model, so the settings, zoom and upgrade protocols behave as they
// do on the simulator (and land in its trace, VORQ_SIM_TRACE).
// The one place that knows where that model lives.
class SimulatedUnits final : public UnitResponder {
public:
    // Null when the simulated camera cannot be opened; stateDir as VORQ_SIM takes it.
    static std::unique_ptr<SimulatedUnits> open(const std::string& stateDir, std::string& error);
    ~SimulatedUnits() override;

    int request(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) override;
    // Into the simulated camera's trace, beside its extension-unit requests.
    void controlWritten(uint32_t cid, int32_t value, int error) override;

private:
    explicit SimulatedUnits(std::unique_ptr<simcam::Camera> camera);
    std::unique_ptr<simcam::Camera> camera_;
    std::shared_ptr<simcam::SimTrace> trace_;
};

} // namespace vorq::emucam

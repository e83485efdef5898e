#pragma once

#include <memory>
#include <vector>

#include "platform/UvcDevice.h"

namespace vorq::simcam {
class Camera;
}

namespace vorq::platform {

// A built-in simulated camera as the platform layer sees it: the camera
// model reached in-process.
class SimUvcDevice final : public UvcDevice {
public:
    explicit SimUvcDevice(std::unique_ptr<simcam::Camera> camera);
    ~SimUvcDevice() override;

    const UvcIdentity& identity() const override { return identity_; }
    const std::vector<ExtensionUnit>& extensionUnits() const override { return units_; }
    int xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) override;
    int queryControl(uint32_t cid, ControlRange& range) override;
    int getControl(uint32_t cid, int32_t& value) override;
    int setControl(uint32_t cid, int32_t value) override;
    int captureModes(std::vector<CaptureMode>& modes) override;
    std::unique_ptr<UvcDevice> reopen() const override;

private:
    std::unique_ptr<simcam::Camera> camera_;
    UvcIdentity identity_;
    std::vector<ExtensionUnit> units_;
};

} // namespace vorq::platform

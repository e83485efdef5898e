#pragma once

#include <memory>
#include <string>

#include "platform/UvcDevice.h"

namespace vorq::platform::sim {

class SimStateStore;
class SimTrace;

// One handle on a built-in simulated camera. Every call takes the state
// lock, so handles in any thread or process see one camera.
class SimCamera final : public UvcDevice {
public:
    // Null when the camera in slot `index` is not on the bus now. Picks up
    // VORQ_SIM_TRACE.
    static std::unique_ptr<SimCamera> open(std::shared_ptr<SimStateStore> store, int index);

    const UvcIdentity& identity() const override { return identity_; }
    const std::vector<ExtensionUnit>& extensionUnits() const override;
    int xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) override;
    int queryControl(uint32_t cid, ControlRange& range) override;
    int getControl(uint32_t cid, int32_t& value) override;
    int setControl(uint32_t cid, int32_t value) override;
    int captureModes(std::vector<CaptureMode>& modes) override;
    std::unique_ptr<UvcDevice> reopen() const override;

    int index() const { return index_; }

private:
    SimCamera(std::shared_ptr<SimStateStore> store, int index, UvcIdentity identity);

    std::shared_ptr<SimStateStore> store_;
    int index_;
    UvcIdentity identity_;
    std::string traceName_;
    std::shared_ptr<SimTrace> trace_;
};

} // namespace vorq::platform::sim

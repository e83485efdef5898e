#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/UvcDevice.h"

namespace vorq::platform::ks {

// The UvcDevice of one filter binding. Calls are serialised, since the
// interfaces of a filter may be used from several threads, and the first
// ENODEV is remembered: a camera that has gone does not come back on the
// same handle, so later calls fail at once without reaching the device.
class GuardedDevice {
public:
    explicit GuardedDevice(std::unique_ptr<UvcDevice> device);

    const UvcIdentity& identity() const { return device_->identity(); }
    const std::vector<ExtensionUnit>& extensionUnits() const { return device_->extensionUnits(); }
    bool vanished() const;

    int xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size);
    int queryControl(uint32_t cid, ControlRange& range);
    int getControl(uint32_t cid, int32_t& value);
    int setControl(uint32_t cid, int32_t value);
    int queryMenu(uint32_t cid, uint32_t index);

private:
    template <typename Call>
    int guarded(Call call);

    std::unique_ptr<UvcDevice> device_;
    mutable std::mutex mutex_;
    bool vanished_ = false;
};

} // namespace vorq::platform::ks

#pragma once

#include "units/SimUnit.h"

namespace vorq::simcam {

// The firmware upgrade unit (id 6): the camera side of the upgrade command
// protocol (UpgradeDeviceProtocol) over this camera's record, blobs and
// sim.conf faults.
class SimUpgradeUnit final : public SimUnit {
public:
    static constexpr uint8_t kUnitId = 6;
    static constexpr Guid kGuid = {0x1B7FDAAF, 0x9F57, 0x4F6F, {0xAD, 0x21, 0x3B, 0xD9, 0x23, 0x41, 0xBB, 0x54}};

    enum Selector : uint8_t {
        Version = 1,        // 3 bytes
        DeviceStatus = 2,   // 5 bytes
        Log = 3,            // 6 bytes, write
        ErrorStatus = 4,    // 1 byte
        State = 5,          // 5 bytes: code, 32-bit argument
        Data = 6,           // package_size bytes
        FlashProgress = 7,  // 14 bytes
    };
    static constexpr uint8_t kCmdIdle = 0;
    static constexpr uint8_t kCmdReboot = 2;
    static constexpr uint8_t kPacketBusy = 2;
    static constexpr uint8_t kPacketEnd = 3;
    static constexpr uint8_t kProtocolVersion[3] = {1, 0, 0};

    uint8_t unitId() const override { return kUnitId; }
    Guid guid() const override { return kGuid; }
    int controlLength(uint8_t selector, const SimUnitContext& context) const override;
    int getCurrent(uint8_t selector, SimUnitContext& context, uint8_t* data, uint16_t size) const override;
    int setCurrent(uint8_t selector, SimUnitContext& context, const uint8_t* data, uint16_t size) const override;
    void rebootCompleted(SimUnitContext& context) const override;
};

} // namespace vorq::simcam

#include "sim/SimUpgradeUnit.h"

#include <cerrno>
#include <cstring>

#include "sim/SimUnitContext.h"

namespace vorq::platform::sim {

namespace {

// This unit's part of the camera record's reserved area.
struct UpgradeState {
    uint8_t state[5];
    uint8_t logRequest[6];
    uint8_t padding[5];
    uint64_t packetsReceived;
};

} // namespace

int SimUpgradeUnit::controlLength(uint8_t selector, const SimUnitContext& context) const
{
    switch (selector) {
    case Version: return 3;
    case DeviceStatus: return 5;
    case Log: return 6;
    case ErrorStatus: return 1;
    case State: return 5;
    case Data: return context.config().packageSize;
    case FlashProgress: return 14;
    default: return -1;
    }
}

int SimUpgradeUnit::getCurrent(uint8_t selector, SimUnitContext& context, uint8_t* data, uint16_t size) const
{
    UpgradeState& s = unitReservedState<UpgradeState>(context.camera());
    switch (selector) {
    case Version: std::memcpy(data, kProtocolVersion, sizeof kProtocolVersion); return 0;
    case DeviceStatus:
    case FlashProgress: std::memset(data, 0, size); return 0;
    case ErrorStatus: data[0] = static_cast<uint8_t>(context.config().errorStatus); return 0;
    case State: std::memcpy(data, s.state, sizeof s.state); return 0;
    case Data:
        // What the kernel reports for a short USB transfer.
        if (context.config().shortReads) return EIO;
        std::memset(data, 0, size);
        data[0] = context.config().endlessBusy ? kPacketBusy : kPacketEnd;
        return 0;
    default: return EPIPE; // the log request is write-only
    }
}

int SimUpgradeUnit::setCurrent(uint8_t selector, SimUnitContext& context, const uint8_t* data, uint16_t) const
{
    UpgradeState& s = unitReservedState<UpgradeState>(context.camera());
    switch (selector) {
    case Log: std::memcpy(s.logRequest, data, sizeof s.logRequest); return 0;
    case State:
        std::memcpy(s.state, data, sizeof s.state);
        if (data[0] == kCmdReboot) context.scheduleReboot();
        return 0;
    case Data: ++s.packetsReceived; return 0;
    default: return EPIPE; // read-only controls
    }
}

void SimUpgradeUnit::rebootCompleted(SimUnitContext& context) const
{
    UpgradeState& s = unitReservedState<UpgradeState>(context.camera());
    std::memset(s.state, 0, sizeof s.state);
    s.state[0] = kCmdIdle;
}

} // namespace vorq::platform::sim

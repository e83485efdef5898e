#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MemoryUpgradeStore.h"
#include "platform/DeviceProvider.h"
#include "platform/UvcDevice.h"

namespace fwtest {

// One transfer as the camera saw it.
struct Transfer {
    uint8_t selector;
    uint8_t query;
    std::vector<uint8_t> data; // what was written, or what was answered
};

// A camera with the upgrade unit's camera side over a memory store, reached
// through the platform's device walk like any camera.
struct TestCamera {
    MemoryUpgradeStore store;
    vorq::platform::UvcIdentity identity;
    std::vector<vorq::platform::ExtensionUnit> units;
    bool gone = false;
    // Enumerations a rebooting camera stays away for.
    int rebootEnumerations = 2;
    int rebootLeft = 0;
    // Transfers until the camera drops off the bus; negative for never.
    int64_t unplugAfter = -1;
    uint64_t transfers = 0;
    bool logTransfers = true;
    std::vector<Transfer> log;
    // Answers a transfer instead of the camera when it returns true.
    std::function<bool(uint8_t selector, uint8_t query, uint8_t* data, uint16_t size, int& result)> intercept;

    TestCamera();
    int xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size);
    // Data-control writes (SET_CUR of selector 6) in order.
    std::vector<std::vector<uint8_t>> dataWrites() const;
    // State-control writes: their first bytes.
    std::vector<uint8_t> stateWrites() const;
};

// Puts the cameras in the platform's device walk for the life of the object.
class TestCameraSource {
public:
    explicit TestCameraSource(std::vector<std::shared_ptr<TestCamera>> cameras);
    ~TestCameraSource();

private:
    std::vector<std::shared_ptr<TestCamera>> cameras_;
};

} // namespace fwtest

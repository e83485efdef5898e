#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorq::simcam {

class UpgradeDeviceStore;

// The attribute records the camera sends on request, built from its current
// state, and the rules for the firmware version an upgrade installs.
class UpgradeDeviceRecords {
public:
    static constexpr uint32_t kChipId = 0x35590100;
    static constexpr uint32_t kFlashSize = 16u << 20;
    static constexpr uint8_t kHighSpeed = 3;

    explicit UpgradeDeviceRecords(UpgradeDeviceStore& store);

    // Record of a send command (42..47); empty for any other code.
    std::vector<uint8_t> record(uint8_t command) const;
    // DeviceStatus (control 2): stream flags and the current speed.
    std::vector<uint8_t> deviceStatus() const;

    // "1.0.3" -> {1, 0, 3}; missing parts are 0.
    static void versionNumbers(const std::string& version, uint8_t out[3]);
    // The version an upgrade file installs: the "_v<version>" part of its
    // name when it has one, else the current version with the last number
    // increased.
    static std::string nextFirmwareVersion(const std::string& current, const std::string& fileName);

private:
    std::vector<uint8_t> hwInfo() const;
    std::vector<uint8_t> sofInfo() const;
    std::vector<uint8_t> appConfig() const;
    std::vector<uint8_t> usbConfig() const;
    std::vector<uint8_t> uvcInfo() const;
    std::vector<uint8_t> uacInfo() const;

    UpgradeDeviceStore& store_;
};

} // namespace vorq::simcam

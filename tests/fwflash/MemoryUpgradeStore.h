#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "upgrade/UpgradeDeviceStore.h"

namespace fwtest {

// The camera's store kept in memory, for the camera side of the protocol
// without the simulator's state directory.
class MemoryUpgradeStore final : public vorq::simcam::UpgradeDeviceStore {
public:
    std::string firmware = "1.0.3";
    std::string model = "Lynx-A";
    std::string serial = "SN0001";
    uint16_t vid = 0x9f2b;
    uint16_t pid = 0x0042;
    uint32_t package = 3085;
    std::map<std::string, std::vector<uint8_t>> files;
    std::map<std::string, std::string> config;
    std::vector<uint8_t> state = std::vector<uint8_t>(32 * 1024, 0);
    uint64_t clockMs = 0;
    std::function<void()> onReboot;
    int reboots = 0;

    std::string firmwareVersion() override { return firmware; }
    int setFirmwareVersion(const std::string& v) override { firmware = v; return 0; }
    std::string modelText() override { return model; }
    std::string serialNumber() override { return serial; }
    int setSerialNumber(const std::string& s) override { serial = s; return 0; }
    uint16_t vendorId() override { return vid; }
    uint16_t productId() override { return pid; }

    bool validFileName(const std::string& name) override;
    int fileSize(const std::string& name, uint64_t& size) override;
    int readFile(const std::string& name, uint64_t offset, uint8_t* data, size_t size, size_t& got) override;
    int writeFile(const std::string& name, const uint8_t* data, size_t size) override;
    int appendFile(const std::string& name, const uint8_t* data, size_t size) override;
    int renameFile(const std::string& from, const std::string& to) override;
    int removeFile(const std::string& name) override;

    long configNumber(const char* key, long defaultValue) override;
    std::string configText(const char* key) override;
    uint32_t packageSize() override { return package; }
    uint8_t* protocolState(size_t& size) override
    {
        size = state.size();
        return state.data();
    }
    uint64_t nowMs() override { return clockMs; }
    void requestReboot() override
    {
        ++reboots;
        if (onReboot) onReboot();
    }
};

} // namespace fwtest

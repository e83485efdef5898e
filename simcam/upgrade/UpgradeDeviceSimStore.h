#pragma once

#include "upgrade/UpgradeDeviceStore.h"

namespace vorq::simcam {

class SimUnitContext;

// The upgrade protocol's view of one simulated camera for the length of one
// request: the camera record (held locked by the caller), sim.conf, and the
// state directory's blobs.
class UpgradeDeviceSimStore final : public UpgradeDeviceStore {
public:
    explicit UpgradeDeviceSimStore(SimUnitContext& context);

    std::string firmwareVersion() override;
    int setFirmwareVersion(const std::string& version) override;
    std::string modelText() override;
    std::string serialNumber() override;
    int setSerialNumber(const std::string& serial) override;
    uint16_t vendorId() override;
    uint16_t productId() override;

    bool validFileName(const std::string& name) override;
    int fileSize(const std::string& name, uint64_t& size) override;
    int readFile(const std::string& name, uint64_t offset, uint8_t* data, size_t size, size_t& got) override;
    int writeFile(const std::string& name, const uint8_t* data, size_t size) override;
    int appendFile(const std::string& name, const uint8_t* data, size_t size) override;
    int renameFile(const std::string& from, const std::string& to) override;
    int removeFile(const std::string& name) override;

    long configNumber(const char* key, long defaultValue) override;
    std::string configText(const char* key) override;
    uint32_t packageSize() override;

    uint8_t* protocolState(size_t& size) override;
    uint64_t nowMs() override;
    void requestReboot() override;

private:
    SimUnitContext& context_;
};

} // namespace vorq::simcam

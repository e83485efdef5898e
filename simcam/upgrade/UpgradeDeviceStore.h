#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorq::simcam {

// What the camera side of the upgrade protocol needs from the camera it runs
// in: its identity and texts, its stored files, its configuration and faults,
// a place for the protocol state that outlives one request (and one process),
// a clock and a reboot. Results are 0 or an errno.
class UpgradeDeviceStore {
public:
    virtual ~UpgradeDeviceStore();

    virtual std::string firmwareVersion() = 0;
    virtual int setFirmwareVersion(const std::string& version) = 0;
    virtual std::string modelText() = 0;
    virtual std::string serialNumber() = 0;
    virtual int setSerialNumber(const std::string& serial) = 0;
    virtual uint16_t vendorId() = 0;
    virtual uint16_t productId() = 0;

    // Stored files, by single file name.
    virtual bool validFileName(const std::string& name) = 0;
    virtual int fileSize(const std::string& name, uint64_t& size) = 0;
    virtual int readFile(const std::string& name, uint64_t offset, uint8_t* data, size_t size, size_t& got) = 0;
    virtual int writeFile(const std::string& name, const uint8_t* data, size_t size) = 0;
    virtual int appendFile(const std::string& name, const uint8_t* data, size_t size) = 0;
    virtual int renameFile(const std::string& from, const std::string& to) = 0;
    virtual int removeFile(const std::string& name) = 0;

    // Configuration values (sim.conf keys); the default when a key is absent.
    virtual long configNumber(const char* key, long defaultValue) = 0;
    virtual std::string configText(const char* key) = 0;
    // Length of the data control.
    virtual uint32_t packageSize() = 0;

    // Plain memory that keeps the protocol state between requests.
    virtual uint8_t* protocolState(size_t& size) = 0;

    virtual uint64_t nowMs() = 0;
    // The camera leaves the bus and comes back after its reboot time.
    virtual void requestReboot() = 0;
};

} // namespace vorq::simcam

#pragma once

#include <cstdint>
#include <string>

namespace fwflash {

// The attribute records of one camera, read at bind time. One packed block in
// the camera's record order; each record lands in its own slot.
#pragma pack(push, 1)
struct DeviceAttributes {
    uint8_t version[3];
    uint8_t hwInfo[45];
    uint8_t sofInfo[111];
    uint8_t appConfig[9];
    uint8_t usbConfig[213];
    uint8_t uacInfo[6];
    uint8_t uvcInfo[68];
    uint8_t deviceStatus[5];

    uint32_t chipId() const;
    uint32_t flashSize() const;
    // SofInfo texts, each NUL-terminated within its 32 bytes.
    std::string sofTextA() const;
    std::string deviceModel() const;
    std::string sofTextB() const;
    uint8_t softwareMajor() const { return sofInfo[96]; }
    uint8_t softwareMinor() const { return sofInfo[97]; }
    uint8_t softwarePatch() const { return sofInfo[98]; }

    uint16_t usbVendorId() const;
    uint16_t usbProductId() const;
    uint16_t bcdDevice() const;
    std::string serialNumber() const;
    uint8_t maxUsbSpeed() const { return usbConfig[200]; }
    bool hasUvc() const { return usbConfig[202] != 0; }
    bool hasUac() const { return usbConfig[203] != 0; }

    uint32_t streamFlags() const;
    uint8_t currentUsbSpeed() const { return deviceStatus[4]; }
};
#pragma pack(pop)

static_assert(sizeof(DeviceAttributes) == 460, "attribute block is packed");

// Names the engine prints for status and speed codes.
const char* errorStatusName(uint8_t code);
const char* usbSpeedName(uint8_t code);

} // namespace fwflash

#include "DeviceAttributes.h"

#include <cstring>

#include "UpgradeProtocol.h"

namespace fwflash {

namespace {

// A text field that need not carry its terminator: never read past the field.
std::string boundedText(const uint8_t* field, size_t size)
{
    const void* end = std::memchr(field, 0, size);
    size_t length = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - field) : size;
    return std::string(reinterpret_cast<const char*>(field), length);
}

} // namespace

uint32_t DeviceAttributes::chipId() const { return readLe32(hwInfo); }
uint32_t DeviceAttributes::flashSize() const { return readLe32(hwInfo + 12); }
std::string DeviceAttributes::sofTextA() const { return boundedText(sofInfo, 32); }
std::string DeviceAttributes::deviceModel() const { return boundedText(sofInfo + 32, 32); }
std::string DeviceAttributes::sofTextB() const { return boundedText(sofInfo + 64, 32); }
uint16_t DeviceAttributes::usbVendorId() const { return readLe16(usbConfig); }
uint16_t DeviceAttributes::usbProductId() const { return readLe16(usbConfig + 2); }
uint16_t DeviceAttributes::bcdDevice() const { return readLe16(usbConfig + 6); }
std::string DeviceAttributes::serialNumber() const { return boundedText(usbConfig + 8, 200 - 8); }
uint32_t DeviceAttributes::streamFlags() const { return readLe32(deviceStatus); }

const char* errorStatusName(uint8_t code)
{
    static const char* const names[] = {
        "ERROR_STATUS_OK",        "ERROR_STATUS_TARGET",   "ERROR_STATUS_FILE",       "ERROR_STATUS_WRITE",
        "ERROR_STATUS_ERASE",     "STATUS_CHECK_ERASED",   "ERROR_STATUS_PROG",       "ERROR_STATUS_VERIFY",
        "ERROR_STATUS_ADDRESS",   "ERROR_STATUS_NOTDONE",  "ERROR_STATUS_FIRMWARE",   "ERROR_STATUS_VENDOR",
        "ERROR_STATUS_USBR",      "ERROR_STATUS_POR",      "ERROR_STATUS_UNKNOWN",    "ERROR_STATUS_STALLEDPKT",
        "ERROR_STATUS_STATE",     "ERROR_STATUS_MEMORY",   "ERROR_STATUS_FOPEN",      "ERROR_STATUS_CHECK_DATA",
        "ERROR_STATUS_SIZE",
    };
    return code < sizeof names / sizeof names[0] ? names[code] : "unknown";
}

const char* usbSpeedName(uint8_t code)
{
    static const char* const names[] = {"unknown-speed", "low-speed",      "full-speed",
                                        "high-speed",    "wireless-speed", "super-speed"};
    return code < sizeof names / sizeof names[0] ? names[code] : "unknown";
}

} // namespace fwflash

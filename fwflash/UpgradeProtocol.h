#pragma once

// Wire values of the camera's upgrade extension unit.

#include <cstddef>
#include <cstdint>

#include "platform/Guid.h"

namespace fwflash {

// Property set of every control of the upgrade unit.
inline constexpr GUID kUpgradeUnitSet = {0x1B7FDAAF, 0x9F57, 0x4F6F, {0xAD, 0x21, 0x3B, 0xD9, 0x23, 0x41, 0xBB, 0x54}};

enum XuControl : uint32_t {
    XU_CTRL_VERSION = 1,
    XU_CTRL_DEVICE_STATUS = 2,
    XU_CTRL_LOG = 3,
    XU_CTRL_ERROR_STATUS = 4,
    XU_CTRL_STATE = 5,
    XU_CTRL_DATA = 6,
    XU_CTRL_FLASH_PROGRESS = 7,
};

inline constexpr uint32_t kVersionLength = 3;
inline constexpr uint32_t kDeviceStatusLength = 5;
inline constexpr uint32_t kLogRequestLength = 6;
inline constexpr uint32_t kErrorStatusLength = 1;
inline constexpr uint32_t kStateLength = 5;
inline constexpr uint32_t kFlashProgressLength = 14;

enum StateCode : uint8_t {
    CMD_IDLE = 0,
    CMD_REBOOT = 2,
    CMD_MTD_IMAGE = 32,
    CMD_PKG = 33,
    CMD_CONFIG = 34,
    CMD_DOWNLOAD_FILE = 35,
    CMD_UPLOAD_FILE = 36,
    CMD_SET_USB_SN = 40,
    CMD_GET_HW_INFO = 42,
    CMD_GET_SOF_INFO = 43,
    CMD_GET_APP_CONFIG = 44,
    CMD_GET_USB_CONFIG = 45,
    CMD_GET_UVC_INFO = 46,
    CMD_GET_UAC_INFO = 47,
};

enum PacketType : uint8_t {
    PKT_HEAD = 0,
    PKT_DATA = 1,
    PKT_BUSY = 2,
    PKT_END = 3,
    PKT_ERROR = 4,
};

enum FlashStatus : uint8_t {
    FLASH_WAIT = 0x80,
    FLASH_PROGRESS = 0x81,
    UPGRADE_BUSY = 0x82,
    UPGRADE_DONE = 0x83,
    FLASH_FAIL = 0x84,
    FLASH_COMPLETE = 0x85,
};

// Data packet: type, offset, total, length, then the payload.
inline constexpr uint32_t kPacketHeaderSize = 13;
inline constexpr uint32_t kMaxPackageSize = 3085;
inline constexpr uint32_t kMaxPayloadCapacity = kMaxPackageSize - kPacketHeaderSize;
// Length and CRC that open every record the camera sends.
inline constexpr uint32_t kRecordDescriptorSize = 8;

// File description exchanged before every file transfer.
inline constexpr uint32_t kFileInfoSize = 165;
inline constexpr uint32_t kFileInfoNameSize = 128;
inline constexpr uint32_t kFileInfoSizeOffset = 128;
inline constexpr uint32_t kFileInfoMd5Offset = 132;

inline constexpr uint32_t kSerialBlockSize = 64;
inline constexpr const char* kLogArchiveName = "vorq_log.tar.gz";

inline uint32_t readLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t readLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline void writeLe32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void writeLe16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

} // namespace fwflash

#pragma once

#include <cstdint>
#include <type_traits>

namespace vorq::simcam {

// The camera side's protocol state between two requests: plain data, kept in
// memory that every process simulating the camera shares.
struct UpgradeDeviceState {
    static constexpr uint32_t kMagic = 0x55504731; // "UPG1"

    enum Phase : uint8_t {
        Idle,
        ReceiveInfo,    // file information block coming in
        ReceiveData,    // file contents coming in
        Received,       // file complete and verified
        Flashing,       // image being written to flash
        SerialHeader,   // serial-number block descriptor coming in
        SerialData,     // serial-number block coming in
        SerialDone,
        SendRecord,     // attribute record going out
        SendFileInfo,   // stored file's information block going out
        SendFileData,   // stored file going out
        Failed,         // the transfer failed; only re-arming helps
    };

    uint32_t magic;
    uint8_t state[5];        // control 5 as last set
    uint8_t errorStatus;
    uint8_t phase;
    uint8_t command;         // command of the current transfer
    uint8_t busyPending;     // busy answers to give before the next packet
    uint8_t rebootAfterStatus;
    uint8_t descriptorSent;
    uint8_t flashStarted;
    uint8_t pendingFirmwareSet;
    uint8_t padding[3];

    // File information block: received from the host, or sent to it.
    uint8_t info[165];
    uint8_t padding2[3];
    uint32_t infoCount;
    char fileName[129];
    uint8_t padding3[3];
    uint32_t fileSize;
    uint32_t fileCount;      // bytes received or sent

    // Outgoing attribute record.
    uint8_t record[256];
    uint32_t recordLength;
    uint32_t recordSent;

    // Serial-number block.
    uint8_t serialHeader[8];
    uint32_t serialHeaderCount;
    uint8_t serialBlock[64];
    uint32_t serialCount;

    // Flash write of a received image.
    uint32_t flashTotal;
    uint32_t flashWritten;
    uint64_t flashLastStepMs;
    char pendingFirmware[32];
};

static_assert(std::is_trivially_copyable_v<UpgradeDeviceState>, "kept as plain memory");

} // namespace vorq::simcam

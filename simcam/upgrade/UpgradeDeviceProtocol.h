#pragma once

#include <cstdint>
#include <string>

#include "upgrade/UpgradeDeviceState.h"

namespace vorq::simcam {

class UpgradeDeviceStore;

// The camera's side of the upgrade unit's command protocol: the state
// control, the error status, the data control in both directions (records,
// file reception with MD5 verification, uploads of stored files, the serial
// number block), the flash write of an image, the log archive and the
// reboots. It keeps nothing in memory between calls: the state lives in the
// store, so any process may serve the next request.
class UpgradeDeviceProtocol {
public:
    enum Selector : uint8_t {
        Version = 1,
        DeviceStatus = 2,
        Log = 3,
        ErrorStatus = 4,
        State = 5,
        Data = 6,
        FlashProgress = 7,
    };

    explicit UpgradeDeviceProtocol(UpgradeDeviceStore& store);
    UpgradeDeviceProtocol(const UpgradeDeviceProtocol&) = delete;
    UpgradeDeviceProtocol& operator=(const UpgradeDeviceProtocol&) = delete;
    // Writes the state back.
    ~UpgradeDeviceProtocol();

    // Byte length of a control, -1 for none.
    static int controlLength(uint8_t selector, uint32_t packageSize);

    // GET_CUR and SET_CUR with exactly controlLength() bytes; 0 or an errno.
    // A data control shorter than a packet header (13 bytes) stalls (EPIPE).
    int read(uint8_t selector, uint8_t* data, uint16_t size);
    int write(uint8_t selector, const uint8_t* data, uint16_t size);

    // Back from a reboot: installs a pending firmware and starts idle.
    void rebootCompleted();

    // Name under which a file being received is kept until it is verified.
    static constexpr const char* kIncomingName = "upgrade-incoming.part";

private:
    void load();
    // What makes a saved state unusable; empty when nothing does.
    std::string damagedField() const;
    void resetTransfer();
    void fail(uint8_t status);
    bool faultAt(const char* step) const;
    uint32_t payloadCapacity() const;

    void setState(const uint8_t* record);
    void armCommand(uint8_t code);
    void writeData(const uint8_t* packet);
    void receiveInfo(const uint8_t* packet);
    void acceptFileInfo();
    void receiveFileData(const uint8_t* packet);
    void finishFile();
    void receiveSerial(const uint8_t* packet);
    void prepareUpload();
    void writeLogArchive();

    void readData(uint8_t* packet, uint16_t size);
    void readFlashProgress(uint8_t* record);
    uint8_t readErrorStatus();

    UpgradeDeviceStore& store_;
    UpgradeDeviceState s_{};
    bool loaded_ = false;
};

} // namespace vorq::simcam

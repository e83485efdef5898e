#pragma once

// The fixed layout of the simulator's state file. Every process maps the same
// file, so a transfer reads and writes plain memory under the lock instead of
// parsing anything. Changing a field means bumping kSimLayoutVersion: an old
// file then fails validation and is re-initialised with the defaults.

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vorq::simcam {

inline constexpr uint32_t kSimLayoutVersion = 2;
inline constexpr char kSimStateMagic[8] = {'V', 'O', 'R', 'Q', 'S', 'I', 'M', '\0'};
inline constexpr int kSimMaxCameras = 4;
inline constexpr size_t kSimTextBytes = 32;
// The serial-number block of the upgrade unit carries up to 63 characters.
inline constexpr size_t kSimSerialBytes = 64;
inline constexpr size_t kSimSettingSlots = 32;
inline constexpr size_t kSimControlSlots = 32;
// Room for the upgrade unit's own protocol state (records, packet buffers).
inline constexpr size_t kSimUnitReservedBytes = 32 * 1024;

// unplugAfterArmed: no countdown configured / countdown must be re-armed.
inline constexpr int64_t kSimUnplugNone = -1;
inline constexpr int64_t kSimUnplugRearm = -2;

struct SimStateHeader {
    char magic[8];
    uint32_t layoutVersion;
    uint32_t headerSize;
    uint32_t recordSize;
    uint32_t cameraSlots;
    // Changes each time the file is (re)initialised.
    uint64_t generation;
    // Bumped by every write of sim.conf through the store, so processes notice
    // a change even when the file's size and time stamp look the same.
    uint64_t configGeneration;
    uint8_t reserved[24];
};
static_assert(sizeof(SimStateHeader) == 64, "state header layout");

struct SimCameraRecord {
    char unused0[kSimTextBytes];
    // NUL-terminated texts.
    char firmwareVersion[kSimTextBytes];
    char modelText[kSimTextBytes];
    // CLOCK_REALTIME, since every process compares against it.
    int64_t rebootDeadlineNs;
    uint32_t rebooting;
    // Set when an unplug_after countdown ran out; cleared when it is re-armed.
    uint32_t faultUnplugged;
    uint64_t transferCount;
    uint64_t rebootCount;
    // The unplug_after value the countdown was armed with (kSimUnplug*).
    int64_t unplugAfterArmed;
    uint64_t unplugAtTransfer;
    // Settings unit controls, indexed by selector.
    uint8_t settings[kSimSettingSlots];
    // Last XU_ZOOM_MOVE written: direction, 0, speed.
    uint8_t zoomMotion[3];
    // Set while the camera is off the bus (unplugged, removed, rebooting):
    // it comes back with its terminal and processing-unit controls at their
    // defaults, as a camera that powers up does.
    uint8_t offBus;
    uint8_t padding0[4];
    // V4L2 control values, indexed by the control table.
    int32_t controls[kSimControlSlots];
    // Owned by the upgrade unit, 8-byte aligned.
    alignas(8) uint8_t unitReserved[kSimUnitReservedBytes];
    // NUL-terminated.
    char serial[kSimSerialBytes];
};
static_assert(sizeof(SimCameraRecord) == 33144, "camera record layout");
static_assert(offsetof(SimCameraRecord, unitReserved) % 8 == 0, "reserved area alignment");

struct SimStateFile {
    SimStateHeader header;
    SimCameraRecord cameras[kSimMaxCameras];
};
static_assert(std::is_trivially_copyable_v<SimStateFile> && std::is_standard_layout_v<SimStateFile>,
              "the state file is plain memory");

} // namespace vorq::simcam

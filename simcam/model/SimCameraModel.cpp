#include "model/SimCameraModel.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "units/SimSettingsUnit.h"
#include "state/SimStateLock.h"
#include "units/SimUnitContext.h"
#include "units/SimUpgradeUnit.h"
#include "units/SimZoomUnit.h"

namespace vorq::simcam {

namespace {

constexpr uint16_t kVendorId = 0x9f2b;
constexpr uint16_t kProductId = 0x0042;
constexpr char kCard[] = "TELDORA TX42";
constexpr char kMicrophone[] = "麦克风 (TELDORA TX42)";
// Paced like a real camera and microphone: lavfi sources otherwise deliver
// as fast as they are read.
constexpr char kVideoGraph[] = "testsrc2=size={size}:rate={rate},realtime";
constexpr char kAudioGraph[] = "sine=frequency=440:sample_rate=48000,arealtime";
constexpr char kFirmwareVersion[] = "1.0.3";
constexpr char kModelText[] = "Lynx-A";
constexpr int64_t kMaxRebootNs = int64_t{3600} * 1000 * 1000000; // the longest reboot_ms

int64_t realtimeNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

template <size_t N>
void putText(char (&field)[N], const std::string& text)
{
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

std::string defaultSerial(int index)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "SN%04d", index + 1);
    return buf;
}

} // namespace

const SimCameraModel& SimCameraModel::instance()
{
    static const SimCameraModel model;
    return model;
}

SimCameraModel::SimCameraModel()
{
    units_.push_back(std::make_unique<SimSettingsUnit>());
    units_.push_back(std::make_unique<SimZoomUnit>());
    units_.push_back(std::make_unique<SimUpgradeUnit>());
    for (const auto& u : units_) extensionUnits_.push_back(ExtensionUnit{u->unitId(), u->guid()});
}

const SimUnit* SimCameraModel::unit(uint8_t unitId) const
{
    for (const auto& u : units_)
        if (u->unitId() == unitId) return u.get();
    return nullptr;
}

Identity SimCameraModel::identity(const SimCameraRecord& record, const SimCameraConfig& config, int index) const
{
    Identity id;
    id.card = kCard;
    id.vendorId = kVendorId;
    id.productId = kProductId;
    id.serial = std::string(record.serial, strnlen(record.serial, kSimSerialBytes));
    id.busPath = "1-" + std::to_string(4 + index);
    id.videoGraph = kVideoGraph;
    id.microphone = kMicrophone;
    id.audioGraph = kAudioGraph;
    id.busy = config.busy;
    return id;
}

void SimCameraModel::initialiseRecord(SimCameraRecord& record, int index) const
{
    std::memset(&record, 0, sizeof record);
    putText(record.serial, defaultSerial(index));
    putText(record.firmwareVersion, kFirmwareVersion);
    putText(record.modelText, kModelText);
    record.unplugAfterArmed = kSimUnplugRearm;
    controls_.initialise(record);
    for (const auto& u : units_) u->initialise(record);
}

bool SimCameraModel::repairRecord(SimCameraRecord& record, int index) const
{
    bool changed = false;
    auto text = [&](auto& field, const std::string& fallback) {
        if (strnlen(field, sizeof field) == sizeof field) {
            putText(field, fallback);
            changed = true;
        }
    };
    text(record.serial, defaultSerial(index));
    text(record.firmwareVersion, kFirmwareVersion);
    text(record.modelText, kModelText);
    // A deadline further away than any reboot lasts would keep the camera
    // gone for good.
    if (record.rebooting && record.rebootDeadlineNs > realtimeNs() + kMaxRebootNs) {
        record.rebootDeadlineNs = realtimeNs();
        changed = true;
    }
    for (const auto& u : units_) changed = u->repair(record) || changed;
    return changed;
}

void SimCameraModel::factoryReset(SimCameraRecord& record) const
{
    controls_.initialise(record);
    for (const auto& u : units_) u->factoryReset(record);
}

void SimCameraModel::scheduleReboot(SimCameraRecord& record, int rebootMs)
{
    record.rebooting = 1;
    record.rebootDeadlineNs = realtimeNs() + static_cast<int64_t>(rebootMs) * 1000000;
}

int SimCameraModel::admit(SimStateLock& lock, int index, bool countTransfer) const
{
    // A state that cannot be had is the camera failing to answer.
    if (lock.status()) return EIO;
    const SimConfig& config = lock.config();
    SimCameraRecord* record = lock.camera(index);
    if (!record) return ENODEV;
    auto offBus = [record] {
        record->offBus = 1;
        return ENODEV;
    };
    if (index >= config.cameras()) return offBus();
    const SimCameraConfig& camera = config.camera(index);
    if (camera.unplugged) return offBus();

    if (record->rebooting) {
        if (realtimeNs() < record->rebootDeadlineNs) return ENODEV;
        record->rebooting = 0;
        record->rebootDeadlineNs = 0;
        ++record->rebootCount;
        record->offBus = 1;
        SimUnitContext context(lock, index);
        for (const auto& u : units_) u->rebootCompleted(context);
    }

    if (record->unplugAfterArmed != camera.unplugAfter) {
        // A new (or removed) countdown: it runs from now, and a camera that
        // the old one took away is back.
        record->unplugAfterArmed = camera.unplugAfter;
        record->unplugAtTransfer = record->transferCount + static_cast<uint64_t>(std::max<int64_t>(camera.unplugAfter, 0));
        record->faultUnplugged = 0;
    }
    if (record->faultUnplugged) return offBus();
    if (camera.unplugAfter >= 0 && record->transferCount >= record->unplugAtTransfer) {
        record->faultUnplugged = 1;
        return offBus();
    }
    if (record->offBus) {
        // Back on the bus: powered up afresh.
        record->offBus = 0;
        controls_.initialise(*record);
    }
    if (countTransfer) ++record->transferCount;
    return 0;
}

int SimCameraModel::xuQuery(SimUnitContext& context, uint8_t unitId, uint8_t selector, uint8_t query, uint8_t* data,
                            uint16_t size) const
{
    // Terminals and the processing unit are not extension units: the
    // kernel's XU query finds no such unit.
    const SimUnit* u = unit(unitId);
    if (!u) return ENOENT;
    const int length = u->controlLength(selector, context);
    // A selector the unit does not advertise: the kernel answers ENOENT
    // before anything reaches the camera.
    if (length < 0) return ENOENT;
    if (!data) return EINVAL;
    switch (query) {
    case GET_LEN:
        if (size != 2) return EINVAL;
        data[0] = static_cast<uint8_t>(length & 0xFF);
        data[1] = static_cast<uint8_t>(length >> 8);
        return 0;
    case GET_INFO:
        if (size != 1) return EINVAL;
        data[0] = u->info(selector);
        return 0;
    case GET_CUR:
        if (size != length) return EINVAL;
        return u->getCurrent(selector, context, data, size);
    case SET_CUR:
        if (size != length) return EINVAL;
        return u->setCurrent(selector, context, data, size);
    case GET_MIN:
    case GET_MAX:
    case GET_RES:
    case GET_DEF:
        if (size != length) return EINVAL;
        return u->getAttribute(query, selector, context, data, size);
    default: return EINVAL;
    }
}

} // namespace vorq::simcam

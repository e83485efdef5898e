#include "units/SimSettingsUnit.h"

#include <cerrno>
#include <cstring>
#include <iterator>
#include <string>

#include "simcam/Uvc.h"
#include "units/SimUnitContext.h"

namespace vorq::simcam {

namespace {

// The one-byte settings: range (as signed values where the control is
// signed), default. Values outside the range stall the control, as the
// camera does.
struct ByteSetting {
    uint8_t selector;
    int8_t minimum;
    int8_t maximum;
    int8_t defaultValue;
};
constexpr ByteSetting kByteSettings[] = {
    {SimSettingsUnit::AeMode, 0, 1, 1},     {SimSettingsUnit::Exposure, -7, 7, 0},
    {SimSettingsUnit::ImageStyle, 5, 6, 6}, {SimSettingsUnit::BlueShift, -10, 10, 0},
    {SimSettingsUnit::RedShift, -10, 10, 0}, {SimSettingsUnit::FlipV, 0, 1, 0},
    {SimSettingsUnit::FlipH, 0, 1, 0},      {SimSettingsUnit::AudioEnable, 0, 1, 1},
    {SimSettingsUnit::AudioAlgo, 0, 1, 1},
};
static_assert(SimSettingsUnit::AudioAlgo < kSimSettingSlots, "settings must fit the camera record");

const ByteSetting* findSetting(uint8_t selector)
{
    for (const auto& s : kByteSettings)
        if (s.selector == selector) return &s;
    return nullptr;
}

bool inRange(const ByteSetting& s, uint8_t stored)
{
    int v = static_cast<int8_t>(stored);
    return v >= s.minimum && v <= s.maximum;
}

} // namespace

int SimSettingsUnit::controlLength(uint8_t selector, const SimUnitContext&) const
{
    if (selector == DeviceInfo) return kDeviceInfoLength;
    if (selector == FactoryReset || findSetting(selector)) return 1;
    return -1;
}

int SimSettingsUnit::getCurrent(uint8_t selector, SimUnitContext& context, uint8_t* data, uint16_t size) const
{
    const SimCameraRecord& record = context.camera();
    if (selector == DeviceInfo) {
        std::string text = "TX42:" + std::string(record.firmwareVersion, strnlen(record.firmwareVersion, kSimTextBytes)) +
                           ":" + std::string(record.serial, strnlen(record.serial, kSimSerialBytes));
        // Always NUL-terminated: a long text is cut, never left open.
        if (text.size() > size - 1u) text.resize(size - 1u);
        std::memset(data, 0, size);
        std::memcpy(data, text.data(), text.size());
        return 0;
    }
    if (!findSetting(selector)) return EPIPE; // factory reset is write-only
    data[0] = record.settings[selector];
    return 0;
}

int SimSettingsUnit::setCurrent(uint8_t selector, SimUnitContext& context, const uint8_t* data, uint16_t) const
{
    SimCameraRecord& record = context.camera();
    if (selector == FactoryReset) {
        if (data[0] > 1) return EPIPE;
        if (data[0] == 1) context.factoryReset();
        return 0;
    }
    const ByteSetting* setting = findSetting(selector);
    if (!setting) return EPIPE; // device information is read-only
    if (!inRange(*setting, data[0])) return EPIPE;
    const bool changed = record.settings[selector] != data[0];
    record.settings[selector] = data[0];
    // The camera applies a new audio setting on its next start: it reboots
    // and comes back with the value written.
    if (selector == AudioEnable && changed) context.scheduleReboot();
    return 0;
}

int SimSettingsUnit::getAttribute(uint8_t query, uint8_t selector, SimUnitContext&, uint8_t* data, uint16_t) const
{
    const ByteSetting* setting = findSetting(selector);
    if (!setting) return EPIPE;
    switch (query) {
    case GET_MIN: data[0] = static_cast<uint8_t>(setting->minimum); return 0;
    case GET_MAX: data[0] = static_cast<uint8_t>(setting->maximum); return 0;
    case GET_RES: data[0] = 1; return 0;
    case GET_DEF: data[0] = static_cast<uint8_t>(setting->defaultValue); return 0;
    default: return EPIPE;
    }
}

void SimSettingsUnit::initialise(SimCameraRecord& record) const { factoryReset(record); }

void SimSettingsUnit::factoryReset(SimCameraRecord& record) const
{
    for (const auto& s : kByteSettings) record.settings[s.selector] = static_cast<uint8_t>(s.defaultValue);
}

} // namespace vorq::simcam

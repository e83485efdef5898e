#include "model/SimControlTable.h"

#include <linux/videodev2.h>

#include <cerrno>
#include <iterator>

namespace vorq::simcam {

namespace {

using Kind = SimControlTable::Kind;
using Control = SimControlTable::Control;

// Order is part of the state file layout: append only.
constexpr Control kControls[] = {
    // camera terminal; pan/tilt in arc seconds
    {V4L2_CID_PAN_ABSOLUTE, Kind::Integer, -36000, 36000, 3600, 0, 0, 0, 0},
    {V4L2_CID_TILT_ABSOLUTE, Kind::Integer, -36000, 36000, 3600, 0, 0, 0, 0},
    // The pages move at the default speed, so it must not be 0.
    {V4L2_CID_PAN_SPEED, Kind::Integer, -8, 8, 1, 5, 0, 0, 0},
    {V4L2_CID_TILT_SPEED, Kind::Integer, -8, 8, 1, 5, 0, 0, 0},
    {V4L2_CID_ZOOM_ABSOLUTE, Kind::Integer, 0, 100, 1, 0, 0, 0, 0},
    {V4L2_CID_EXPOSURE_AUTO, Kind::Menu, 1, 3, 1, V4L2_EXPOSURE_APERTURE_PRIORITY,
     (1u << V4L2_EXPOSURE_MANUAL) | (1u << V4L2_EXPOSURE_APERTURE_PRIORITY), 0, 0},
    {V4L2_CID_EXPOSURE_ABSOLUTE, Kind::Integer, 3, 2047, 1, 250, 0, V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL},
    {V4L2_CID_IRIS_ABSOLUTE, Kind::Integer, 0, 10, 1, 0, 0, 0, 0},
    {V4L2_CID_FOCUS_AUTO, Kind::Boolean, 0, 1, 1, 1, 0, 0, 0},
    {V4L2_CID_FOCUS_ABSOLUTE, Kind::Integer, 0, 1023, 1, 0, 0, V4L2_CID_FOCUS_AUTO, 0},
    // processing unit
    {V4L2_CID_BRIGHTNESS, Kind::Integer, -64, 64, 1, 0, 0, 0, 0},
    {V4L2_CID_CONTRAST, Kind::Integer, 0, 14, 1, 7, 0, 0, 0},
    {V4L2_CID_HUE, Kind::Integer, -180, 180, 1, 0, 0, 0, 0},
    {V4L2_CID_SATURATION, Kind::Integer, 0, 100, 1, 64, 0, 0, 0},
    {V4L2_CID_SHARPNESS, Kind::Integer, 0, 15, 1, 6, 0, 0, 0},
    {V4L2_CID_GAMMA, Kind::Integer, 100, 500, 1, 300, 0, 0, 0},
    {V4L2_CID_AUTO_WHITE_BALANCE, Kind::Boolean, 0, 1, 1, 1, 0, 0, 0},
    {V4L2_CID_WHITE_BALANCE_TEMPERATURE, Kind::Integer, 2800, 6500, 10, 4600, 0, V4L2_CID_AUTO_WHITE_BALANCE, 0},
    {V4L2_CID_BACKLIGHT_COMPENSATION, Kind::Integer, 0, 2, 1, 1, 0, 0, 0},
    {V4L2_CID_GAIN, Kind::Integer, 0, 100, 1, 0, 0, 0, 0},
    {V4L2_CID_POWER_LINE_FREQUENCY, Kind::Menu, 0, 3, 1, V4L2_CID_POWER_LINE_FREQUENCY_50HZ, 0xF, 0, 0},
};
static_assert(std::size(kControls) <= kSimControlSlots, "control values must fit the camera record");

} // namespace

size_t SimControlTable::size() const { return std::size(kControls); }

const Control* SimControlTable::find(uint32_t cid, size_t* index) const
{
    for (size_t i = 0; i < std::size(kControls); ++i)
        if (kControls[i].cid == cid) {
            if (index) *index = i;
            return &kControls[i];
        }
    return nullptr;
}

bool SimControlTable::valid(const Control& c, int32_t value) const
{
    if (value < c.minimum || value > c.maximum) return false;
    if (c.kind == Kind::Menu) return value < 32 && (c.menuMask >> value) & 1u;
    return (static_cast<int64_t>(value) - c.minimum) % c.step == 0;
}

void SimControlTable::initialise(SimCameraRecord& record) const
{
    for (size_t i = 0; i < std::size(kControls); ++i) record.controls[i] = kControls[i].defaultValue;
}

int SimControlTable::query(const SimCameraRecord& record, uint32_t cid, ControlRange& range) const
{
    const Control* c = find(cid);
    if (!c) return EINVAL;
    range.minimum = c->minimum;
    range.maximum = c->maximum;
    range.step = c->step;
    range.defaultValue = c->defaultValue;
    range.flags = 0;
    if (c->autoCid) {
        size_t governor = 0;
        if (find(c->autoCid, &governor) && record.controls[governor] != c->manualValue)
            range.flags |= V4L2_CTRL_FLAG_INACTIVE;
    }
    return 0;
}

int SimControlTable::get(const SimCameraRecord& record, uint32_t cid, int32_t& value) const
{
    size_t index = 0;
    if (!find(cid, &index)) return EINVAL;
    value = record.controls[index];
    return 0;
}

int SimControlTable::set(SimCameraRecord& record, uint32_t cid, int32_t value) const
{
    size_t index = 0;
    const Control* c = find(cid, &index);
    if (!c) return EINVAL;
    int64_t v = value;
    switch (c->kind) {
    case Kind::Menu:
        if (v < c->minimum || v > c->maximum) return ERANGE;
        if (!valid(*c, value)) return EINVAL;
        break;
    case Kind::Boolean:
        v = v < 0 ? 0 : (v > 1 ? 1 : v);
        break;
    case Kind::Integer:
        v = v < c->minimum ? c->minimum : (v > c->maximum ? c->maximum : v);
        v = c->minimum + (v - c->minimum + c->step / 2) / c->step * c->step;
        if (v > c->maximum) v -= c->step;
        break;
    }
    record.controls[index] = static_cast<int32_t>(v);
    return 0;
}

} // namespace vorq::simcam

#include "ks/V4l2ControlBridge.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <limits>

#include "ks/GuardedDevice.h"
#include "ks/KsStatus.h"

namespace vorq::platform::ks {

namespace {

constexpr long kFlagAuto = CameraControl_Flags_Auto;
constexpr long kFlagManual = CameraControl_Flags_Manual;

constexpr ControlMapping kCameraControls[] = {
    {CameraControl_Pan, V4L2_CID_PAN_ABSOLUTE, 0, 0, 0},
    {CameraControl_Tilt, V4L2_CID_TILT_ABSOLUTE, 0, 0, 0},
    {CameraControl_Zoom, V4L2_CID_ZOOM_ABSOLUTE, 0, 0, 0},
    // Automatic exposure is aperture priority: the exposure time floats, the
    // iris stays where the user put it, which is what UVC cameras offer.
    {CameraControl_Exposure, V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY,
     V4L2_EXPOSURE_MANUAL},
    {CameraControl_Iris, V4L2_CID_IRIS_ABSOLUTE, 0, 0, 0},
    {CameraControl_Focus, V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO, 1, 0},
    {CameraControl_PanRelative, V4L2_CID_PAN_SPEED, 0, 0, 0},
    {CameraControl_TiltRelative, V4L2_CID_TILT_SPEED, 0, 0, 0},
};

constexpr ControlMapping kProcAmpControls[] = {
    {VideoProcAmp_Brightness, V4L2_CID_BRIGHTNESS, 0, 0, 0},
    {VideoProcAmp_Contrast, V4L2_CID_CONTRAST, 0, 0, 0},
    {VideoProcAmp_Hue, V4L2_CID_HUE, 0, 0, 0},
    {VideoProcAmp_Saturation, V4L2_CID_SATURATION, 0, 0, 0},
    {VideoProcAmp_Sharpness, V4L2_CID_SHARPNESS, 0, 0, 0},
    {VideoProcAmp_Gamma, V4L2_CID_GAMMA, 0, 0, 0},
    {VideoProcAmp_WhiteBalance, V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE, 1, 0},
    {VideoProcAmp_BacklightCompensation, V4L2_CID_BACKLIGHT_COMPENSATION, 0, 0, 0},
    {VideoProcAmp_Gain, V4L2_CID_GAIN, 0, 0, 0},
    {VideoProcAmp_PowerlineFrequency, V4L2_CID_POWER_LINE_FREQUENCY, 0, 0, 0},
};

} // namespace

V4l2ControlBridge V4l2ControlBridge::forCameraControl(GuardedDevice& device)
{
    return V4l2ControlBridge(device, kCameraControls, std::size(kCameraControls));
}

V4l2ControlBridge V4l2ControlBridge::forVideoProcAmp(GuardedDevice& device)
{
    return V4l2ControlBridge(device, kProcAmpControls, std::size(kProcAmpControls));
}

V4l2ControlBridge::V4l2ControlBridge(GuardedDevice& device, const ControlMapping* table, size_t size)
    : device_(device), table_(table), size_(size)
{
}

const ControlMapping* V4l2ControlBridge::find(long property) const
{
    for (size_t i = 0; i < size_; ++i)
        if (table_[i].property == property) return &table_[i];
    return nullptr;
}

bool V4l2ControlBridge::isRelativeSpeed(const ControlMapping& mapping)
{
    return mapping.cid == V4L2_CID_PAN_SPEED || mapping.cid == V4L2_CID_TILT_SPEED;
}

bool V4l2ControlBridge::isAutomatic(const ControlMapping& mapping, int32_t autoValue)
{
    // Shutter priority keeps the exposure time manual; auto and aperture
    // priority let it float.
    if (mapping.autoCid == V4L2_CID_EXPOSURE_AUTO)
        return autoValue == V4L2_EXPOSURE_AUTO || autoValue == V4L2_EXPOSURE_APERTURE_PRIORITY;
    return autoValue != mapping.autoOff;
}

bool V4l2ControlBridge::automaticValue(const ControlMapping& mapping, int32_t& value)
{
    if (!mapping.autoCid) return false;
    ControlRange range;
    if (device_.queryControl(mapping.autoCid, range) || (range.flags & V4L2_CTRL_FLAG_DISABLED)) return false;
    if (mapping.autoCid != V4L2_CID_EXPOSURE_AUTO) {
        value = mapping.autoOn;
        return true;
    }
    // The exposure menu's items depend on the camera: aperture priority
    // where it has it, else full auto.
    for (int32_t candidate : {int32_t(V4L2_EXPOSURE_APERTURE_PRIORITY), int32_t(V4L2_EXPOSURE_AUTO)}) {
        if (candidate < range.minimum || candidate > range.maximum) continue;
        const int err = device_.queryMenu(mapping.autoCid, static_cast<uint32_t>(candidate));
        // A backend without menus has every item of its range.
        if (err == 0 || err == ENOTTY) {
            value = candidate;
            return true;
        }
    }
    return false;
}

HRESULT V4l2ControlBridge::getRange(long property, long* minimum, long* maximum, long* step, long* defaultValue,
                                    long* capsFlags)
{
    if (!minimum || !maximum || !step || !defaultValue || !capsFlags) return E_POINTER;
    const ControlMapping* mapping = find(property);
    if (!mapping) return kSetNotFound;
    ControlRange range;
    if (int err = device_.queryControl(mapping->cid, range)) return hresultFromErrno(err);
    if (range.flags & V4L2_CTRL_FLAG_DISABLED) return kSetNotFound;
    *minimum = range.minimum;
    *maximum = range.maximum;
    *step = range.step;
    *defaultValue = range.defaultValue;
    if (isRelativeSpeed(*mapping)) {
        // Older kernels report the device's speeds (1..max), current ones
        // -max..max with a default that may be 0. Callers move by
        // "direction x default", so the range holds both directions and the
        // default is a moving speed: the camera's own, else the slowest.
        const Speeds speeds = speedsOf(range);
        const long own = std::labs(range.defaultValue);
        *minimum = -speeds.fastest;
        *maximum = speeds.fastest;
        *defaultValue = own >= speeds.slowest && own <= speeds.fastest ? own : speeds.slowest;
    }
    int32_t unused = 0;
    *capsFlags = automaticValue(*mapping, unused) ? (kFlagAuto | kFlagManual) : kFlagManual;
    return S_OK;
}

V4l2ControlBridge::Speeds V4l2ControlBridge::speedsOf(const ControlRange& range)
{
    Speeds s;
    s.fastest = std::max(std::labs(range.maximum), std::labs(range.minimum));
    s.slowest = range.minimum > 0 ? range.minimum : (range.step > 0 ? range.step : 1);
    if (s.slowest > s.fastest) s.slowest = s.fastest;
    return s;
}

HRESULT V4l2ControlBridge::get(long property, long* value, long* flags)
{
    if (!value || !flags) return E_POINTER;
    const ControlMapping* mapping = find(property);
    if (!mapping) return kSetNotFound;
    int32_t current = 0;
    long mode = kFlagManual;
    ControlRange range;
    if (int err = device_.getControl(mapping->cid, current)) {
        // A control the camera runs itself may refuse reads; it is not
        // broken, only not ours to set now.
        if (err != EACCES || device_.queryControl(mapping->cid, range)) return hresultFromErrno(err);
        current = range.defaultValue;
        mode = kFlagAuto;
    } else if (!mapping->autoCid && device_.queryControl(mapping->cid, range) == 0 &&
               (range.flags & V4L2_CTRL_FLAG_INACTIVE)) {
        // Run by an automatic mode we do not pair with it (e.g. hue auto).
        mode = kFlagAuto;
    }
    if (mapping->autoCid) {
        int32_t autoValue = 0;
        const int err = device_.getControl(mapping->autoCid, autoValue);
        // A camera without the auto control can only be in manual mode.
        if (err && err != EINVAL) return hresultFromErrno(err);
        if (!err) mode = isAutomatic(*mapping, autoValue) ? kFlagAuto : kFlagManual;
    }
    *value = current;
    *flags = mode;
    return S_OK;
}

HRESULT V4l2ControlBridge::set(long property, long value, long flags)
{
    const ControlMapping* mapping = find(property);
    if (!mapping) return kSetNotFound;
    const bool wantAuto = (flags & kFlagAuto) != 0;
    const bool wantManual = (flags & kFlagManual) != 0;
    if (wantAuto == wantManual) return E_INVALIDARG;
    if (wantAuto) {
        int32_t on = 0;
        if (!automaticValue(*mapping, on)) return E_INVALIDARG;
        return hresultFromErrno(device_.setControl(mapping->autoCid, on));
    }
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return E_INVALIDARG;
    if (isRelativeSpeed(*mapping) && value != 0) {
        // A moving speed the camera accepts, in the direction asked for.
        ControlRange range;
        if (int err = device_.queryControl(mapping->cid, range)) return hresultFromErrno(err);
        const Speeds speeds = speedsOf(range);
        const long magnitude = std::min(std::max(std::labs(value), speeds.slowest), speeds.fastest);
        value = value < 0 ? -magnitude : magnitude;
    }
    if (mapping->autoCid) {
        // As in get(): no auto control means the camera is always manual.
        const int err = device_.setControl(mapping->autoCid, mapping->autoOff);
        if (err && err != EINVAL) return hresultFromErrno(err);
    }
    return hresultFromErrno(device_.setControl(mapping->cid, static_cast<int32_t>(value)));
}

} // namespace vorq::platform::ks

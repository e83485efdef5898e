#include "ks/V4l2ControlBridge.h"

#include <linux/videodev2.h>

#include <cerrno>
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

HRESULT V4l2ControlBridge::getRange(long property, long* minimum, long* maximum, long* step, long* defaultValue,
                                    long* capsFlags)
{
    if (!minimum || !maximum || !step || !defaultValue || !capsFlags) return E_POINTER;
    const ControlMapping* mapping = find(property);
    if (!mapping) return kSetNotFound;
    ControlRange range;
    if (int err = device_.queryControl(mapping->cid, range)) return hresultFromErrno(err);
    *minimum = range.minimum;
    *maximum = range.maximum;
    *step = range.step;
    *defaultValue = range.defaultValue;
    *capsFlags = mapping->autoCid ? (kFlagAuto | kFlagManual) : kFlagManual;
    return S_OK;
}

HRESULT V4l2ControlBridge::get(long property, long* value, long* flags)
{
    if (!value || !flags) return E_POINTER;
    const ControlMapping* mapping = find(property);
    if (!mapping) return kSetNotFound;
    int32_t current = 0;
    if (int err = device_.getControl(mapping->cid, current)) return hresultFromErrno(err);
    long mode = kFlagManual;
    if (mapping->autoCid) {
        int32_t autoValue = 0;
        const int err = device_.getControl(mapping->autoCid, autoValue);
        // A camera without the auto control can only be in manual mode.
        if (err && err != EINVAL) return hresultFromErrno(err);
        if (!err && autoValue != mapping->autoOff) mode = kFlagAuto;
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
        if (!mapping->autoCid) return E_INVALIDARG;
        return hresultFromErrno(device_.setControl(mapping->autoCid, mapping->autoOn));
    }
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return E_INVALIDARG;
    if (mapping->autoCid) {
        // As in get(): no auto control means the camera is always manual.
        const int err = device_.setControl(mapping->autoCid, mapping->autoOff);
        if (err && err != EINVAL) return hresultFromErrno(err);
    }
    return hresultFromErrno(device_.setControl(mapping->cid, static_cast<int32_t>(value)));
}

} // namespace vorq::platform::ks

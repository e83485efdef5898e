#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/DirectShow.h"
#include "platform/UvcDevice.h"

namespace vorq::platform::ks {

class GuardedDevice;

// One camera-control or proc-amp property and the V4L2 controls behind it.
struct ControlMapping {
    long property;
    uint32_t cid;
    // The paired auto control (0: none) and its values for automatic and
    // manual operation.
    uint32_t autoCid;
    int32_t autoOn;
    int32_t autoOff;
};

// IAMCameraControl / IAMVideoProcAmp semantics over V4L2 controls. Values stay
// in V4L2 units; flags 1 = auto, 2 = manual come from the paired auto control.
// A property id outside the table answers HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND),
// a device errno hresultFromErrno(errno).
class V4l2ControlBridge {
public:
    static V4l2ControlBridge forCameraControl(GuardedDevice& device);
    static V4l2ControlBridge forVideoProcAmp(GuardedDevice& device);

    HRESULT getRange(long property, long* minimum, long* maximum, long* step, long* defaultValue, long* capsFlags);
    HRESULT get(long property, long* value, long* flags);
    HRESULT set(long property, long value, long flags);

private:
    struct Speeds {
        long slowest = 1;
        long fastest = 1;
    };

    V4l2ControlBridge(GuardedDevice& device, const ControlMapping* table, size_t size);
    const ControlMapping* find(long property) const;
    // The value of the paired control that turns automatic mode on; false
    // when the camera offers no automatic mode for this property.
    bool automaticValue(const ControlMapping& mapping, int32_t& value);
    static bool isAutomatic(const ControlMapping& mapping, int32_t autoValue);
    static bool isRelativeSpeed(const ControlMapping& mapping);
    static Speeds speedsOf(const ControlRange& range);

    GuardedDevice& device_;
    const ControlMapping* table_;
    size_t size_;
};

} // namespace vorq::platform::ks

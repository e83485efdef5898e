#pragma once

#include <vector>

#include <QString>

#include "platform/UvcDevice.h"

// The capture modes a camera streams, looked up in the device walk by its
// device name.
class OfferedModes {
public:
    // Empty when the camera is gone or cannot tell.
    static std::vector<vorq::platform::CaptureMode> of(const QString& deviceName);
};

#pragma once

#include <string>

#include "platform/Export.h"
#include "platform/UvcDevice.h"

namespace vorq::platform {

// The "DevicePath" of a camera, shaped like a Windows device interface path:
// `\\?\usb#vid_9f2b&pid_0042&mi_00#1-4#/dev/video0` for a USB camera
// (lower-case hex), `\\?\platform#<driver>#<node>` for any other video node.
VORQ_PLATFORM_API std::string devicePathOf(const UvcIdentity& identity);

// The device name the program sees: "@device:pnp:" + the device path.
VORQ_PLATFORM_API std::string deviceNameOf(const UvcIdentity& identity);

} // namespace vorq::platform

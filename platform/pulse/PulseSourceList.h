#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorq::platform {

struct PulseSource {
    std::string name;         // what the "pulse" input opens
    std::string description;  // what the user sees
    bool monitor = false;     // the monitor of a sink, not a microphone
    // What the server knows of the hardware behind the source (empty when
    // it is not a device): the USB identity that ties a camera's microphone
    // to its camera.
    std::string busPath;      // device.bus_path, "pci-0000:00:14.0-usb-0:4:1.2"
    std::string sysfsPath;    // sysfs.path, "/devices/.../usb1/1-4/1-4:1.2/sound/card1"
    std::string vendorId;     // device.vendor.id, "9f2b"
    std::string productId;    // device.product.id, "0042"
    std::string serial;       // device.serial
};

class PulseSourceList {
public:
    // The server's sources in its order; false when no server answers.
    static bool list(std::vector<PulseSource>& out, std::string* error, int timeoutMs = 2000);
};

} // namespace vorq::platform

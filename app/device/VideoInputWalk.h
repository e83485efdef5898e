#pragma once

#include <string>
#include <vector>

// The system device enumerator's walk over the video input category: one
// entry per device with its "FriendlyName" and "DevicePath".
class VideoInputWalk {
public:
    struct Device {
        std::string friendlyName;
        std::string deviceName; // "@device:pnp:" + the device path
    };

    // Devices whose property bag cannot be read are left out; an empty list
    // when the enumerator is not available.
    static std::vector<Device> devices();
};

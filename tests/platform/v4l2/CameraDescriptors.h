#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/UvcDevice.h"

// What a real camera's raw descriptors say about its video functions, read
// independently of the product's parser so the two can be compared.
struct CameraDescriptors {
    struct Streaming {
        int interfaceNumber = 0;
        std::vector<vorq::platform::CaptureMode> modes;
    };
    struct VideoFunction {
        int controlInterface = 0;
        std::vector<Streaming> streaming;
    };

    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string raw;
    std::vector<VideoFunction> functions;

    // False when the file cannot be read.
    bool load(const std::string& path);
};

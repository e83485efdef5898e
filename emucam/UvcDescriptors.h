#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorq::emucam {

struct FrameSize {
    uint8_t index = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t maxBufferSize = 0;
    uint32_t defaultInterval = 0; // 100 ns units
    // Discrete intervals; when `continuous`, {min, max, step}.
    std::vector<uint32_t> intervals;
    bool continuous = false;
};

struct StreamFormat {
    uint8_t index = 0;
    uint32_t fourcc = 0;
    bool compressed = false;
    uint8_t bitsPerPixel = 0;
    uint8_t defaultFrame = 1;
    std::vector<FrameSize> frames;
};

struct StreamingInterface {
    uint8_t number = 0;
    std::vector<StreamFormat> formats;
};

struct ControlUnit {
    enum Kind { CameraTerminal, ProcessingUnit, Extension };
    Kind kind = Extension;
    uint8_t id = 0;
    std::array<uint8_t, 16> guid{};
    std::vector<uint8_t> bmControls;
    std::vector<uint8_t> sources;

    bool hasControl(unsigned bit) const
    {
        return bit / 8 < bmControls.size() && (bmControls[bit / 8] >> (bit % 8)) & 1;
    }
};

struct UsbInterface {
    uint8_t number = 0;
    uint8_t interfaceClass = 0;
    uint8_t subClass = 0;
    uint8_t protocol = 0;
    uint8_t endpoints = 0;
};

// One VideoControl interface and what hangs off it: its units and the
// streaming interfaces its header lists.
struct VideoFunction {
    uint8_t controlInterface = 0;
    uint16_t uvcVersion = 0;
    std::vector<ControlUnit> units;
    std::vector<StreamingInterface> streaming;

    const ControlUnit* unit(uint8_t id) const;
    const ControlUnit* first(ControlUnit::Kind kind) const;
};

// What uvcvideo learns from a camera's descriptors (the bytes of sysfs
// `descriptors`: device descriptor, then configuration descriptor).
struct UsbCamera {
    std::string raw;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t bcdDevice = 0;
    uint16_t bcdUsb = 0;
    uint8_t deviceClass = 0;
    uint8_t configurationValue = 1;
    std::vector<UsbInterface> interfaces; // alternate setting 0 of each
    std::vector<VideoFunction> functions;

    // False with a reason when the bytes are not a camera's descriptors.
    static bool parse(const std::string& bytes, UsbCamera& camera, std::string& error);
};

} // namespace vorq::emucam

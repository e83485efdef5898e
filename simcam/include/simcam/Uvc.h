#pragma once

// The simulated camera's terms: what a UVC device and the V4L2 control ioctls
// carry, nothing of the host side that reaches it.

#include <cstdint>
#include <string>

namespace vorq::simcam {

// UVC request codes of an extension-unit query.
enum Query : uint8_t {
    SET_CUR = 0x01,
    GET_CUR = 0x81,
    GET_MIN = 0x82,
    GET_MAX = 0x83,
    GET_RES = 0x84,
    GET_LEN = 0x85,
    GET_INFO = 0x86,
    GET_DEF = 0x87,
};

// "SET_CUR", "GET_CUR", ...; "0x%02x" for anything else.
std::string queryName(uint8_t query);
// The inverse of queryName for the named codes; false for anything else.
bool queryFromName(const std::string& name, uint8_t& query);

// An extension unit's guidExtensionCode, in the field layout it is usually
// written in: Data1..Data3 are stored little-endian in the descriptor.
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];

    // The 16 bytes as the unit's descriptor holds them.
    void toBytes(uint8_t out[16]) const;
};

struct ExtensionUnit {
    uint8_t unitId = 0;
    Guid guid{};
};

// What VIDIOC_QUERYCTRL tells of a control.
struct ControlRange {
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t step = 0;
    int32_t defaultValue = 0;
    uint32_t flags = 0; // V4L2_CTRL_FLAG_*
};

// How the camera shows itself on the bus, and what stands in for its
// streams.
struct Identity {
    std::string card;       // "TELDORA TX42"
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;
    std::string busPath;    // "1-4"
    std::string videoGraph; // lavfi graph of the picture
    std::string microphone; // name of its microphone
    std::string audioGraph; // lavfi graph of the microphone's sound
    bool busy = false;      // held by another program
};

} // namespace vorq::simcam

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Export.h"
#include "platform/Guid.h"

namespace vorq::platform {

// UVC request codes of an extension-unit query.
enum UvcQuery : uint8_t {
    UVC_SET_CUR = 0x01,
    UVC_GET_CUR = 0x81,
    UVC_GET_MIN = 0x82,
    UVC_GET_MAX = 0x83,
    UVC_GET_RES = 0x84,
    UVC_GET_LEN = 0x85,
    UVC_GET_INFO = 0x86,
    UVC_GET_DEF = 0x87,
};

// "SET_CUR", "GET_CUR", ...; "0x%02x" for anything else.
VORQ_PLATFORM_API std::string uvcQueryName(uint8_t query);
// The inverse of uvcQueryName; false for an unknown name.
VORQ_PLATFORM_API bool uvcQueryFromName(const std::string& name, uint8_t& query);

struct ExtensionUnit {
    ExtensionUnit() = default;
    ExtensionUnit(uint8_t id, const GUID& code) : unitId(id), guid(code) {}

    uint8_t unitId = 0;
    GUID guid = GUID_NULL;
    // From the unit's descriptor, when one was read: the units feeding it and
    // its bmControls bitmap (bit n-1 set: selector n exists).
    bool controlsKnown = false;
    std::vector<uint8_t> sourceIds;
    std::vector<uint8_t> controls;

    // True when the unit advertises the selector, or nothing is known.
    bool advertises(uint8_t selector) const
    {
        if (!controlsKnown) return true;
        if (selector == 0) return false;
        const std::size_t bit = selector - 1u;
        return bit / 8 < controls.size() && (controls[bit / 8] >> (bit % 8) & 1);
    }
};

// One format and frame size a camera can stream, with its frame rates.
struct CaptureMode {
    uint32_t fourcc = 0;             // V4L2_PIX_FMT_*
    std::string format;              // FFmpeg's name: "mjpeg", "yuyv422", "h264", ...
    bool compressed = false;
    int width = 0;
    int height = 0;
    std::vector<double> frameRates; // frames per second, as offered
};


struct UvcIdentity {
    std::string card;          // the friendly name ("TELDORA TX42")
    bool usb = false;          // false for platform (non-USB) video nodes
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;
    std::string busPath;       // "1-4", the USB port chain
    int interfaceNumber = 0;   // the VideoControl interface
    std::string videoNode;     // "/dev/video0", or "sim-cam0" for a simulated camera
    std::string driver;        // kernel driver, for non-USB paths
    // Simulated cameras only: what the media engine captures instead of a node.
    bool simulated = false;
    std::string videoGraph;    // lavfi graph
    std::string microphone;    // "麦克风 (TELDORA TX42)"
    std::string audioGraph;    // lavfi graph
    bool busy = false;         // held by another program
};

struct ControlRange {
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t step = 0;
    int32_t defaultValue = 0;
    uint32_t flags = 0;        // V4L2_CTRL_FLAG_*
};

// One camera at the UVC level: the only place that reaches hardware (or the
// simulator standing in for it). Every result is 0 or a Linux errno.
class VORQ_PLATFORM_API UvcDevice {
public:
    virtual ~UvcDevice();

    virtual const UvcIdentity& identity() const = 0;
    virtual const std::vector<ExtensionUnit>& extensionUnits() const = 0;

    // GET_LEN takes a 2-byte buffer (little-endian length), GET_INFO 1 byte;
    // GET_CUR/SET_CUR move exactly `size` bytes, which must be the control's
    // length.
    virtual int xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) = 0;

    // V4L2 control ids (V4L2_CID_*).
    virtual int queryControl(uint32_t cid, ControlRange& range) = 0;
    virtual int getControl(uint32_t cid, int32_t& value) = 0;
    virtual int setControl(uint32_t cid, int32_t value) = 0;
    // 0 when the menu control has an item at `index` (VIDIOC_QUERYMENU),
    // EINVAL when not; ENOTTY where the backend cannot tell.
    virtual int queryMenu(uint32_t cid, uint32_t index);

    // The modes the camera streams; ENOTTY where the backend cannot tell.
    virtual int captureModes(std::vector<CaptureMode>& modes);

    // A separate handle on the same camera; each filter binding owns one.
    // Null when the camera is gone.
    virtual std::unique_ptr<UvcDevice> reopen() const = 0;
};

} // namespace vorq::platform

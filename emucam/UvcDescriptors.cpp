#include "UvcDescriptors.h"

#include <algorithm>
#include <cstring>
#include <linux/videodev2.h>

namespace vorq::emucam {

namespace {
constexpr uint8_t kDevice = 0x01, kConfiguration = 0x02, kInterface = 0x04, kCsInterface = 0x24;
constexpr uint8_t kClassVideo = 0x0E, kVideoControl = 0x01, kVideoStreaming = 0x02;
// VideoControl subtypes
constexpr uint8_t kVcHeader = 0x01, kVcInputTerminal = 0x02, kVcProcessingUnit = 0x05, kVcExtensionUnit = 0x06;
constexpr uint16_t kCameraTerminalType = 0x0201;
// VideoStreaming subtypes
constexpr uint8_t kVsFormatUncompressed = 0x04, kVsFrameUncompressed = 0x05, kVsFormatMjpeg = 0x06,
                  kVsFrameMjpeg = 0x07, kVsFormatFrameBased = 0x10, kVsFrameFrameBased = 0x11;

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// uvcvideo's format table, reduced to what cameras send in practice.
uint32_t fourccOfGuid(const uint8_t* guid)
{
    static const struct {
        char tag[5];
        uint32_t fourcc;
    } table[] = {{"YUY2", V4L2_PIX_FMT_YUYV}, {"NV12", V4L2_PIX_FMT_NV12}, {"H264", V4L2_PIX_FMT_H264},
                 {"MJPG", V4L2_PIX_FMT_MJPEG}, {"UYVY", V4L2_PIX_FMT_UYVY}, {"I420", V4L2_PIX_FMT_YUV420},
                 {"M420", V4L2_PIX_FMT_M420}, {"Y800", V4L2_PIX_FMT_GREY}};
    for (const auto& entry : table)
        if (std::memcmp(guid, entry.tag, 4) == 0) return entry.fourcc;
    return 0;
}

bool parseFrame(const uint8_t* d, std::size_t length, bool frameBased, FrameSize& frame)
{
    // Frame-based frames carry dwBytesPerLine where the others carry the
    // buffer size, so their interval fields sit at other offsets.
    const std::size_t typeOffset = frameBased ? 21 : 25;
    const std::size_t defaultOffset = frameBased ? 17 : 21;
    if (length < typeOffset + 1 + 4) return false;
    frame.index = d[3];
    frame.width = u16(d + 5);
    frame.height = u16(d + 7);
    frame.maxBufferSize = frameBased ? 0 : u32(d + 17);
    frame.defaultInterval = u32(d + defaultOffset);
    const uint8_t type = d[typeOffset];
    const std::size_t first = typeOffset + (frameBased ? 5 : 1);
    const std::size_t count = type == 0 ? 3 : type;
    if (length < first + 4 * count) return false;
    frame.continuous = type == 0;
    for (std::size_t i = 0; i < count; ++i) frame.intervals.push_back(u32(d + first + 4 * i));
    if (frame.continuous && (frame.intervals[0] == 0 || frame.intervals[0] > frame.intervals[1])) return false;
    if (!frame.continuous) {
        frame.intervals.erase(std::remove(frame.intervals.begin(), frame.intervals.end(), 0u), frame.intervals.end());
        if (frame.intervals.empty()) return false;
    }
    return frame.width > 0 && frame.height > 0;
}
} // namespace

const ControlUnit* VideoFunction::unit(uint8_t id) const
{
    for (const auto& u : units)
        if (u.id == id) return &u;
    return nullptr;
}

const ControlUnit* VideoFunction::first(ControlUnit::Kind kind) const
{
    for (const auto& u : units)
        if (u.kind == kind) return &u;
    return nullptr;
}

bool UsbCamera::parse(const std::string& bytes, UsbCamera& camera, std::string& error)
{
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const std::size_t size = bytes.size();
    camera = UsbCamera{};
    camera.raw = bytes;
    if (size < 18 || data[0] != 18 || data[1] != kDevice) {
        error = "no USB device descriptor at the start";
        return false;
    }
    camera.bcdUsb = u16(data + 2);
    camera.deviceClass = data[4];
    camera.vendorId = u16(data + 8);
    camera.productId = u16(data + 10);
    camera.bcdDevice = u16(data + 12);

    int interfaceNumber = -1, alternate = 0, interfaceSubClass = 0;
    bool videoInterface = false;
    VideoFunction* function = nullptr;
    StreamingInterface* streaming = nullptr;
    StreamFormat* format = nullptr;
    bool configSeen = false;

    // A truncated last descriptor (a wTotalLength longer than the bytes
    // present) ends the walk, as the kernel's own parser does.
    for (std::size_t offset = 18; size - offset >= 2;) {
        const uint8_t* d = data + offset;
        const std::size_t length = d[0];
        if (length < 2 || length > size - offset) break;
        const uint8_t type = d[1];
        offset += length;

        if (type == kConfiguration && length >= 9) {
            if (configSeen) break; // uvcvideo looks at the active configuration only
            configSeen = true;
            camera.configurationValue = d[5];
        } else if (type == kInterface && length >= 9) {
            interfaceNumber = d[2];
            alternate = d[3];
            interfaceSubClass = d[6];
            videoInterface = d[5] == kClassVideo;
            format = nullptr;
            if (alternate == 0) {
                camera.interfaces.push_back({d[2], d[5], d[6], d[7], d[4]});
                if (videoInterface && interfaceSubClass == kVideoControl) {
                    camera.functions.emplace_back();
                    function = &camera.functions.back();
                    function->controlInterface = d[2];
                    streaming = nullptr;
                } else if (videoInterface && interfaceSubClass == kVideoStreaming && function) {
                    function->streaming.push_back({d[2], {}});
                    streaming = &function->streaming.back();
                }
            }
        } else if (type == kCsInterface && videoInterface && length >= 3 && alternate == 0) {
            const uint8_t sub = d[2];
            if (interfaceSubClass == kVideoControl && function && interfaceNumber == function->controlInterface) {
                if (sub == kVcHeader && length >= 5) {
                    function->uvcVersion = u16(d + 3);
                } else if (sub == kVcInputTerminal && length >= 15 && u16(d + 4) == kCameraTerminalType) {
                    ControlUnit unit;
                    unit.kind = ControlUnit::CameraTerminal;
                    unit.id = d[3];
                    const std::size_t n = std::min<std::size_t>(d[14], length - 15);
                    unit.bmControls.assign(d + 15, d + 15 + n);
                    function->units.push_back(unit);
                } else if (sub == kVcProcessingUnit && length >= 8) {
                    ControlUnit unit;
                    unit.kind = ControlUnit::ProcessingUnit;
                    unit.id = d[3];
                    unit.sources = {d[4]};
                    const std::size_t n = std::min<std::size_t>(d[7], length - 8);
                    unit.bmControls.assign(d + 8, d + 8 + n);
                    function->units.push_back(unit);
                } else if (sub == kVcExtensionUnit && length >= 24) {
                    ControlUnit unit;
                    unit.kind = ControlUnit::Extension;
                    unit.id = d[3];
                    std::memcpy(unit.guid.data(), d + 4, 16);
                    const std::size_t pins = d[21];
                    if (length >= 23 + pins) {
                        unit.sources.assign(d + 22, d + 22 + pins);
                        const std::size_t n = std::min<std::size_t>(d[22 + pins], length - 23 - pins);
                        unit.bmControls.assign(d + 23 + pins, d + 23 + pins + n);
                    }
                    if (unit.id != 0 && !function->unit(unit.id)) function->units.push_back(unit);
                }
            } else if (interfaceSubClass == kVideoStreaming && streaming && interfaceNumber == streaming->number) {
                if ((sub == kVsFormatUncompressed || sub == kVsFormatFrameBased) && length >= 23) {
                    StreamFormat f;
                    f.index = d[3];
                    f.fourcc = fourccOfGuid(d + 5);
                    f.bitsPerPixel = d[21];
                    f.defaultFrame = d[22];
                    f.compressed = sub == kVsFormatFrameBased;
                    streaming->formats.push_back(f);
                    format = &streaming->formats.back();
                } else if (sub == kVsFormatMjpeg && length >= 11) {
                    StreamFormat f;
                    f.index = d[3];
                    f.fourcc = V4L2_PIX_FMT_MJPEG;
                    f.compressed = true;
                    f.defaultFrame = d[6];
                    streaming->formats.push_back(f);
                    format = &streaming->formats.back();
                } else if ((sub == kVsFrameUncompressed || sub == kVsFrameMjpeg || sub == kVsFrameFrameBased) &&
                           format) {
                    FrameSize frame;
                    if (parseFrame(d, length, sub == kVsFrameFrameBased, frame)) format->frames.push_back(frame);
                }
            }
        }
    }
    // Formats the driver does not know, and formats without frames, are not offered.
    for (auto& f : camera.functions)
        for (auto& s : f.streaming)
            s.formats.erase(std::remove_if(s.formats.begin(), s.formats.end(),
                                           [](const StreamFormat& x) { return x.fourcc == 0 || x.frames.empty(); }),
                            s.formats.end());
    if (camera.functions.empty()) {
        error = "no VideoControl interface in the descriptors";
        return false;
    }
    return true;
}

} // namespace vorq::emucam

#include "CameraDescriptors.h"

#include <linux/videodev2.h>

#include <fstream>
#include <iterator>

#include "platform/CaptureModes.h"

using vorq::platform::CaptureMode;
using vorq::platform::CaptureModes;

namespace {
uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Frame intervals (100 ns units) as rates; a continuous range gives its ends.
std::vector<double> rates(const uint8_t* d, std::size_t length, std::size_t typeAt)
{
    std::vector<double> out;
    if (length <= typeAt) return out;
    const std::size_t count = d[typeAt] ? d[typeAt] : 2;
    for (std::size_t i = 0; i < count && 26 + 4 * i + 4 <= length; ++i)
        if (uint32_t interval = le32(d + 26 + 4 * i)) out.push_back(1e7 / interval);
    return out;
}
} // namespace

bool CameraDescriptors::load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    raw.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const auto* d = reinterpret_cast<const uint8_t*>(raw.data());
    if (raw.size() < 18) return false;
    vendorId = le16(d + 8);
    productId = le16(d + 10);

    CaptureMode format;
    Streaming* streaming = nullptr;
    for (std::size_t at = 0; at + 2 <= raw.size();) {
        const uint8_t* x = d + at;
        const std::size_t length = x[0];
        if (length < 2 || at + length > raw.size()) break;
        if (x[1] == 0x04 && length >= 9) {
            streaming = nullptr;
            if (x[5] == 0x0E && x[6] == 0x01 && (functions.empty() || functions.back().controlInterface != x[2]))
                functions.push_back({x[2], {}});
            if (x[5] == 0x0E && x[6] == 0x02 && !functions.empty()) {
                auto& list = functions.back().streaming;
                // Alternate settings repeat the interface.
                if (list.empty() || list.back().interfaceNumber != x[2]) list.push_back({x[2], {}});
                streaming = x[3] == 0 ? &list.back() : nullptr;
            }
        } else if (x[1] == 0x24 && streaming && length >= 5) {
            const uint8_t subtype = x[2];
            if ((subtype == 0x04 || subtype == 0x10) && length >= 21) {        // uncompressed, frame based
                format = CaptureMode{};
                format.fourcc = le32(x + 5);
                if (format.fourcc == v4l2_fourcc('Y', 'U', 'Y', '2')) format.fourcc = V4L2_PIX_FMT_YUYV;
                format.compressed = subtype == 0x10;
            } else if (subtype == 0x06) {                                       // MJPEG
                format = CaptureMode{};
                format.fourcc = V4L2_PIX_FMT_MJPEG;
                format.compressed = true;
            } else if ((subtype == 0x05 || subtype == 0x07 || subtype == 0x11) && length >= 26) {
                CaptureMode mode = format;
                mode.format = CaptureModes::ffmpegFormatName(mode.fourcc);
                mode.width = le16(x + 5);
                mode.height = le16(x + 7);
                mode.frameRates = rates(x, length, subtype == 0x11 ? 21 : 25);
                streaming->modes.push_back(mode);
            }
        }
        at += length;
    }
    return true;
}

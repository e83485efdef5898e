#include "platform/CaptureModes.h"

#include <linux/videodev2.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <tuple>
#include <utility>

namespace vorq::platform {

namespace {

struct FormatName {
    uint32_t fourcc;
    const char* name;
};

// The formats FFmpeg's v4l2 input knows by these names.
constexpr FormatName kFormats[] = {
    {V4L2_PIX_FMT_MJPEG, "mjpeg"},   {V4L2_PIX_FMT_JPEG, "mjpeg"},     {V4L2_PIX_FMT_YUYV, "yuyv422"},
    {V4L2_PIX_FMT_UYVY, "uyvy422"},  {V4L2_PIX_FMT_NV12, "nv12"},      {V4L2_PIX_FMT_YUV420, "yuv420p"},
    {V4L2_PIX_FMT_GREY, "gray"},     {V4L2_PIX_FMT_RGB24, "rgb24"},    {V4L2_PIX_FMT_BGR24, "bgr24"},
    {V4L2_PIX_FMT_H264, "h264"},     {V4L2_PIX_FMT_YVU420, "yuv420p"},
};

// 0 for MJPEG, 1 for raw formats, 2 for any other compressed one.
int formatRank(const CaptureMode& mode)
{
    if (mode.format == "mjpeg") return 0;
    return mode.compressed ? 2 : 1;
}

bool sameRate(double a, double b) { return std::fabs(a - b) < 0.01; }

} // namespace

std::string CaptureModes::ffmpegFormatName(uint32_t fourcc)
{
    for (const auto& f : kFormats)
        if (f.fourcc == fourcc) return f.name;
    return {};
}

bool CaptureModes::negotiate(const std::vector<CaptureMode>& offered, const std::string& format, int width,
                             int height, double frameRate, NegotiatedMode& chosen)
{
    // The requested mode, when the camera has it.
    for (const auto& mode : offered) {
        if (mode.format.empty() || (!format.empty() && mode.format != format) || mode.width != width ||
            mode.height != height)
            continue;
        for (double rate : mode.frameRates)
            if (sameRate(rate, frameRate)) {
                chosen = {mode.format, width, height, rate, true};
                return true;
            }
    }

    // Otherwise the nearest: size first (the picture's layout depends on it),
    // then rate, then the format the request named, then MJPEG before raw.
    bool found = false;
    std::tuple<int, double, int, double> best;
    for (const auto& mode : offered) {
        if (mode.format.empty() || mode.width <= 0 || mode.height <= 0) continue;
        const int size = std::abs(mode.width - width) + std::abs(mode.height - height);
        const int rank = (!format.empty() && mode.format == format) ? -1 : formatRank(mode);
        for (double rate : mode.frameRates) {
            if (!(rate > 0)) continue;
            // Equal distances: the faster rate.
            const auto key = std::make_tuple(size, std::fabs(rate - frameRate), rank, -rate);
            if (found && !(key < best)) continue;
            found = true;
            best = key;
            chosen = {mode.format, mode.width, mode.height, rate, false};
        }
    }
    return found;
}

std::string CaptureModes::describe(const NegotiatedMode& mode)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s %dx%d@%g", mode.format.c_str(), mode.width, mode.height, mode.frameRate);
    return text;
}

std::vector<CaptureMode> CaptureModes::simulatedModes()
{
    std::vector<CaptureMode> modes;
    const int sizes[][2] = {{800, 600}, {1280, 720}, {1920, 1080}};
    for (const auto& [fourcc, compressed] : {std::pair<uint32_t, bool>{V4L2_PIX_FMT_MJPEG, true},
                                             std::pair<uint32_t, bool>{V4L2_PIX_FMT_YUYV, false}})
        for (const auto& size : sizes)
            modes.push_back({fourcc, ffmpegFormatName(fourcc), compressed, size[0], size[1], {30.0}});
    return modes;
}

} // namespace vorq::platform

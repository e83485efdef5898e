#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Export.h"
#include "platform/UvcDevice.h"

namespace vorq::platform {

// One mode picked out of what a camera offers.
struct NegotiatedMode {
    std::string format; // FFmpeg's pixel or codec name ("mjpeg", "yuyv422")
    int width = 0;
    int height = 0;
    double frameRate = 0;
    bool exact = false;  // the requested mode itself
};

// Picks the mode a capture opens from the modes a camera offers.
class VORQ_PLATFORM_API CaptureModes {
public:
    // The requested mode when offered; else the offered size nearest to the
    // requested one at its rate nearest to the requested rate, MJPEG before
    // raw formats and those before other compressed ones. An empty format
    // asks for no format in particular. False when nothing usable is offered.
    static bool negotiate(const std::vector<CaptureMode>& offered, const std::string& format, int width,
                          int height, double frameRate, NegotiatedMode& chosen);

    // FFmpeg's name for a V4L2 pixel format; empty when FFmpeg's v4l2 input
    // cannot take it.
    static std::string ffmpegFormatName(uint32_t fourcc);

    // "mjpeg 1280x720@30"
    static std::string describe(const NegotiatedMode& mode);
    // What the fake and simulated cameras stream: three sizes at 30 frames a
    // second, MJPEG and YUYV.
    static std::vector<CaptureMode> simulatedModes();
};

} // namespace vorq::platform

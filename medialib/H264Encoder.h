#pragma once

#include <string>
#include <vector>

#include "FFmpegPtr.h"

namespace vorq::media {

// Opens the recording's H.264 encoder: a hardware one where the machine has
// it, else libx264 at a preset of a ladder from "fast" to "ultrafast".
// Every libx264 preset here makes the same stream headers, so the encoder can
// move to a faster one in the middle of a file.
class H264Encoder {
public:
    struct Settings {
        int width = 0;
        int height = 0;
        int frameRate = 30;
        AVRational timeBase{1, 90000};
        AVRational aspect{0, 1};
        bool globalHeader = true;
        int keyFrameSeconds = 2;
    };

    // "fast", "faster", "veryfast", "superfast", "ultrafast".
    static const std::vector<std::string>& presets();
    // The hardware encoders worth trying, in order: the one named in
    // VORQ_MEDIA_VIDEO_ENCODER, else those whose device is present.
    static std::vector<std::string> hardwareCandidates();

    // Null, with error set, when it cannot be opened.
    static CodecContextPtr openSoftware(const Settings& settings, const std::string& preset, int& error);
    static CodecContextPtr openHardware(const std::string& name, const Settings& settings, int& error);
};

} // namespace vorq::media

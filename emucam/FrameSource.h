#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace vorq::emucam {

// The picture the emulated camera sends: moving colour bars whose position
// changes every frame, as raw YUYV or as JPEG. A short cycle of frames is
// made once per mode, so streaming costs a copy per frame.
class FrameSource {
public:
    static constexpr int kCycle = 15;

    // The frame `sequence` of a mode; empty when the format cannot be made.
    const std::string& frame(uint32_t fourcc, int width, int height, uint32_t sequence);

private:
    static std::string makeYuyv(int width, int height, int phase);
    static std::string makeJpeg(int width, int height, int phase);

    std::mutex mutex_;
    std::map<std::tuple<uint32_t, int, int>, std::vector<std::string>> cycles_;
    std::string empty_;
};

} // namespace vorq::emucam

#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/rational.h>
}

namespace vorq::media {

// Maps the time stamps of one capture input onto the engine clock
// (av_gettime_relative, microseconds), so that video and audio captured at
// the same moment get the same time however each input counts.
//
// Inputs that stamp with the wall clock (pulse) or the monotonic clock (v4l2)
// keep their own precise stamps. Inputs that count from zero (lavfi) are
// anchored to the earliest arrival seen: the stamps stay as smooth as the
// input's own, and a late first read does not shift all that follow.
class CaptureClock {
public:
    explicit CaptureClock(AVRational timeBase);

    // pts in the input's time base (AV_NOPTS_VALUE allowed); arrival = engine
    // time at which the packet was read.
    int64_t stamp(int64_t pts, int64_t arrival);

    // Overridable clock readings, for tests.
    void setClocksForTesting(int64_t wallNow, int64_t monotonicNow);

private:
    enum class Mode { Unknown, Fixed, Anchored };

    void detect(int64_t ptsUs, int64_t arrival);

    AVRational timeBase;
    Mode mode = Mode::Unknown;
    int64_t offset = 0;
    bool fixedClocks = false;
    int64_t wallNowForTesting = 0;
    int64_t monotonicNowForTesting = 0;
};

} // namespace vorq::media

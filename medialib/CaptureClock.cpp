#include "CaptureClock.h"

#include <cstdlib>

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
#include <libavutil/time.h>
}

namespace vorq::media {

namespace {
// A stamp this close to a clock reading comes from that clock.
constexpr int64_t kSameClock = 10 * 1000000LL;
// Stamps further than this from their arrival are not believed (an input
// that restarted its count, a clock that jumped): the input is re-anchored.
constexpr int64_t kImplausible = 2 * 1000000LL;
} // namespace

CaptureClock::CaptureClock(AVRational timeBase) : timeBase(timeBase) {}

void CaptureClock::setClocksForTesting(int64_t wallNow, int64_t monotonicNow)
{
    fixedClocks = true;
    wallNowForTesting = wallNow;
    monotonicNowForTesting = monotonicNow;
}

void CaptureClock::detect(int64_t ptsUs, int64_t arrival)
{
    const int64_t wall = fixedClocks ? wallNowForTesting : av_gettime();
    const int64_t monotonic = fixedClocks ? monotonicNowForTesting : av_gettime_relative();
    if (std::llabs(ptsUs - wall) < kSameClock) {
        mode = Mode::Fixed;
        offset = monotonic - wall;
    } else if (std::llabs(ptsUs - monotonic) < kSameClock) {
        mode = Mode::Fixed;
        offset = 0;
    } else {
        mode = Mode::Anchored;
        offset = arrival - ptsUs;
    }
}

int64_t CaptureClock::stamp(int64_t pts, int64_t arrival)
{
    if (pts == AV_NOPTS_VALUE || timeBase.num <= 0 || timeBase.den <= 0) return arrival;
    const int64_t ptsUs = av_rescale_q(pts, timeBase, AVRational{1, 1000000});
    if (mode == Mode::Unknown) detect(ptsUs, arrival);

    int64_t stamped = ptsUs + offset;
    if (mode == Mode::Anchored && stamped > arrival) {
        // Arrived earlier than the anchor predicts: the anchor was late.
        offset = arrival - ptsUs;
        stamped = arrival;
    }
    if (stamped > arrival + kImplausible || stamped < arrival - kImplausible) {
        mode = Mode::Anchored;
        offset = arrival - ptsUs;
        stamped = arrival;
    }
    return stamped;
}

} // namespace vorq::media

#include "AudioTimeline.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vorq::media {

namespace {
constexpr size_t kSlopeWindows = 12; // seconds of history for the drift rate
constexpr size_t kLevelWindows = 3;  // seconds a busy spell may last without moving the level
constexpr double kNone = 1e18;
} // namespace

AudioTimeline::AudioTimeline(int inRate, int outRate) : inRate(inRate > 0 ? inRate : 1), outRate(outRate > 0 ? outRate : 1)
{
}

double AudioTimeline::slope() const
{
    if (windows.size() < 4) return 0;
    // Theil-Sen: the median of the pairwise slopes ignores the few windows a
    // busy spell lifted.
    std::vector<double> slopes;
    for (size_t i = 0; i < windows.size(); ++i)
        for (size_t j = i + 1; j < windows.size(); ++j) {
            const double dt = windows[j].atUs - windows[i].atUs;
            if (dt > 0) slopes.push_back((windows[j].lowestUs - windows[i].lowestUs) / dt);
        }
    if (slopes.empty()) return 0;
    std::nth_element(slopes.begin(), slopes.begin() + static_cast<long>(slopes.size() / 2), slopes.end());
    return std::clamp(slopes[slopes.size() / 2], -kMaxCorrection, kMaxCorrection);
}

double AudioTimeline::targetUs() const
{
    const double now = inputUs();
    const double rate = slope();
    double lowest = kNone;
    const size_t first = windows.size() > kLevelWindows ? windows.size() - kLevelWindows : 0;
    for (size_t i = first; i < windows.size(); ++i)
        lowest = std::min(lowest, windows[i].lowestUs + rate * (now - windows[i].atUs));
    if (current.lowestUs < kNone) lowest = std::min(lowest, current.lowestUs + rate * (now - current.atUs));
    return (lowest < kNone ? lowest : 0) + gapTotalUs;
}

void AudioTimeline::closeWindow()
{
    if (current.lowestUs < kNone) windows.push_back(current);
    if (windows.size() > kSlopeWindows) windows.pop_front();
    current = Window{0, kNone};
    currentStartUs = inputUs();
}

AudioTimeline::Decision AudioTimeline::onFrame(int64_t stampUs, int samples, int64_t outputSoFar)
{
    Decision decision;
    if (!anchored) {
        anchored = true;
        anchorUs = stampUs;
    }
    double excess = static_cast<double>(stampUs - anchorUs) - inputUs();

    if (settling) {
        // Nothing is written yet: an earlier stamp among the first ones
        // shows the first was late, and the start moves back to it.
        if (excess < 0) {
            anchorUs += static_cast<int64_t>(std::floor(excess));
            excess = 0;
        }
        start = static_cast<int64_t>(std::llround(static_cast<double>(anchorUs) * outRate / 1e6));
        if (inputUs() >= kSettleUs) settling = false;
    } else {
        const double deviation = excess - targetUs();
        if (suspectSince < 0) {
            if (deviation > kGapUs) {
                suspectSince = inputUs();
                suspectOutput = outputSoFar;
                suspectLowestUs = deviation;
            }
        } else if (deviation <= kGapUs) {
            suspectSince = -1; // late, not missing: the machine was busy
        } else {
            suspectLowestUs = std::min(suspectLowestUs, deviation);
            if (inputUs() - suspectSince >= kConfirmUs) {
                gapTotalUs += suspectLowestUs;
                decision.gapSamples = static_cast<int64_t>(std::llround(suspectLowestUs * outRate / 1e6));
                decision.gapAt = suspectOutput;
                suspectSince = -1;
            }
        }
    }

    if (suspectSince < 0) {
        const double level = excess - gapTotalUs;
        if (level < current.lowestUs) current = Window{inputUs(), level};
        if (inputUs() - currentStartUs >= kWindowUs) closeWindow();
    }

    // Steer the output position toward where the input's clock says it
    // belongs, at most kMaxCorrection fast.
    const double outputUs = static_cast<double>(outputSoFar + decision.gapSamples) * 1e6 / outRate;
    const double error = outputUs - inputUs() - targetUs();
    const double limit = kMaxCorrection * outRate;
    decision.sampleDelta = static_cast<int>(std::lround(std::clamp(-error * outRate / 1e6, -limit, limit)));
    decision.distance = decision.sampleDelta ? outRate : 0;

    inputSamples += samples;
    return decision;
}

} // namespace vorq::media

#pragma once

#include <cstdint>
#include <deque>

namespace vorq::media {

// Places a microphone's samples on the recording's time line.
//
// The time line follows the sample count from the first sample on; the
// microphone's own stamps only steer it. Stamps arrive late when the machine
// is busy (never early), so the lower edge of their distance from the count
// is the truth: its slow movement is the microphone's clock drifting against
// the capture clock, which the resampler corrects gradually; a lasting jump
// well beyond jitter is a gap in the input, which moves the time line by
// exactly the gap. Pure arithmetic, so it can be tested without a device.
class AudioTimeline {
public:
    struct Decision {
        // Resampler compensation for the next second: output samples to add
        // (negative: to leave out) over `distance` output samples.
        int sampleDelta = 0;
        int distance = 0;
        // Silence to insert, in output samples, at output position gapAt
        // (counted from the first sample of the recording).
        int64_t gapSamples = 0;
        int64_t gapAt = 0;
    };

    AudioTimeline(int inRate, int outRate);

    // stampUs: capture time of the frame's first sample on the recording's
    // clock; samples: input samples in the frame; outputSoFar: output
    // samples the resampler has produced or holds for the input before this
    // frame (gaps inserted so far included).
    Decision onFrame(int64_t stampUs, int samples, int64_t outputSoFar);

    // Time of the first output sample, in output samples on the recording's
    // clock. Valid once started().
    int64_t startSample() const { return start; }
    bool started() const { return anchored; }
    // True while output must wait: the start is still being settled, or a
    // gap is suspected and not yet confirmed (its silence goes before what
    // came after it).
    bool holding() const { return settling || suspectSince >= 0; }
    // Current estimate of the microphone's offset (drift and gaps), in µs.
    double offsetUs() const { return targetUs(); }

    static constexpr double kMaxCorrection = 0.005; // 0.5 %: inaudible, twice any real drift
    static constexpr int64_t kWindowUs = 1000000;
    static constexpr int64_t kGapUs = 150000;
    static constexpr int64_t kConfirmUs = 600000;
    static constexpr int64_t kSettleUs = 300000;

private:
    struct Window {
        double atUs;    // input time of the window's lowest stamp
        double lowestUs; // lowest excess in it, gaps taken out
    };

    double inputUs() const { return static_cast<double>(inputSamples) * 1e6 / inRate; }
    double targetUs() const;
    double slope() const;
    void closeWindow();

    int inRate;
    int outRate;
    bool anchored = false;
    bool settling = true;
    int64_t anchorUs = 0;
    int64_t start = 0;
    int64_t inputSamples = 0;
    double gapTotalUs = 0;

    Window current{0, 1e18};
    double currentStartUs = 0;
    std::deque<Window> windows; // the last closed windows, oldest first

    // A suspected gap: when it began (input time and output position) and
    // the smallest excess seen since.
    double suspectSince = -1;
    int64_t suspectOutput = 0;
    double suspectLowestUs = 0;
};

} // namespace vorq::media

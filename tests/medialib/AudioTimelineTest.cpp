#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "AudioTimeline.h"

using vorq::media::AudioTimeline;

namespace {

constexpr int kRate = 48000;
constexpr int kFrame = 480; // 10 ms

// A microphone whose clock runs `speed` times the capture clock's rate feeds
// the time line; the resampler is modelled by the correction it is told.
struct Microphone {
    explicit Microphone(double speed) : speed(speed) {}

    // Capture time of the next sample, µs.
    double trueUs() const { return 250000 + static_cast<double>(samples) * 1e6 / (kRate * speed) + lostUs; }
    // Where the recording puts that sample, µs.
    double placedUs() const { return (static_cast<double>(timeline.startSample()) + output) * 1e6 / kRate; }
    double errorMs() const { return (placedUs() - trueUs()) / 1000; }

    void frame(double lateUs)
    {
        const auto d = timeline.onFrame(static_cast<int64_t>(trueUs() + jitter(random) + lateUs), kFrame,
                                        static_cast<int64_t>(std::llround(output)));
        gapSamples += d.gapSamples;
        output += static_cast<double>(d.gapSamples);
        output += kFrame * (d.distance ? 1.0 + static_cast<double>(d.sampleDelta) / d.distance : 1.0);
        samples += kFrame;
    }
    void run(double seconds, double lateUs = 0)
    {
        for (int i = 0; i < seconds * 100; ++i) frame(lateUs > 0 ? late(random) * lateUs : 0);
    }

    double speed;
    AudioTimeline timeline{kRate, kRate};
    std::mt19937 random{7};
    std::uniform_real_distribution<double> jitter{0, 2000};
    std::uniform_real_distribution<double> late{0, 1};
    int64_t samples = 0;
    double output = 0;
    double lostUs = 0;
    int64_t gapSamples = 0;
};

} // namespace

TEST(AudioTimelineTest, DriftingMicrophoneIsPulledBackGradually)
{
    for (double speed : {1.003, 0.997, 1.0}) {
        Microphone mic(speed);
        double worst = 0;
        mic.run(1);
        double lastError = mic.errorMs();
        for (int second = 1; second < 90; ++second) {
            mic.run(1);
            worst = std::max(worst, std::fabs(mic.errorMs()));
            // Never a step: at most the resampler's 0.5 % per second, plus jitter.
            EXPECT_LT(std::fabs(mic.errorMs() - lastError), 5.0 + 2.0) << speed << " at " << second << " s";
            lastError = mic.errorMs();
        }
        std::printf("speed %.3f: worst %.1f ms, at the end %+.1f ms\n", speed, worst, mic.errorMs());
        EXPECT_LT(worst, 12.0) << "speed " << speed;
        EXPECT_LT(std::fabs(mic.errorMs()), 4.0) << "speed " << speed;
        EXPECT_EQ(mic.gapSamples, 0);
    }
}

TEST(AudioTimelineTest, LateStampsOfABusySpellMoveNothing)
{
    Microphone mic(1.0);
    mic.run(10);
    const double before = mic.errorMs();
    mic.run(3, 120000); // stamps up to 120 ms late for three seconds
    EXPECT_NEAR(mic.errorMs(), before, 3.0);
    mic.run(10);
    EXPECT_NEAR(mic.errorMs(), before, 2.0);
    EXPECT_EQ(mic.gapSamples, 0);
}

TEST(AudioTimelineTest, LostInputMovesTheTimeLineByExactlyTheGap)
{
    Microphone mic(1.0);
    mic.run(10);
    const double before = mic.errorMs();
    mic.lostUs = 400000; // the input dropped 400 ms of sound
    mic.run(2);
    EXPECT_NEAR(static_cast<double>(mic.gapSamples), 0.4 * kRate, 0.003 * kRate);
    EXPECT_NEAR(mic.errorMs(), before, 3.0);
    EXPECT_FALSE(mic.timeline.holding());
}

TEST(AudioTimelineTest, LateFirstStampDoesNotOffsetTheStart)
{
    Microphone mic(1.0);
    mic.frame(30000); // the first read came 30 ms late
    EXPECT_TRUE(mic.timeline.holding());
    mic.run(1);
    EXPECT_FALSE(mic.timeline.holding());
    EXPECT_NEAR(mic.errorMs(), 0, 2.5);
}

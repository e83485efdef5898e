#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "MediaFileReport.h"
#include "RecordingFixture.h"

using namespace mediatest;

namespace {

class MediaEncoderSpeedTest : public RecordingFixture {};

// A camera's noisy picture, which costs the encoder the most. A second of it
// is made once and repeated, so making it does not slow the camera down.
std::string noisyGraph()
{
    return "testsrc2=size={size}:rate={rate},noise=alls=24:allf=t,loop=loop=-1:size={rate},realtime";
}

// Sets an environment variable for one test.
struct ScopedEnv {
    ScopedEnv(const char* name, const char* value) : name(name) { ::setenv(name, value, 1); }
    ~ScopedEnv() { ::unsetenv(name); }
    const char* name;
};

size_t count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

} // namespace

TEST_F(MediaEncoderSpeedTest, SlowEncoderStepsToAFasterPresetAndKeepsEveryPicture)
{
    // Each picture takes 1 s more at "fast" (2 frames/s leave 500 ms),
    // 500 ms at "faster", 250 ms at "veryfast", and so on. The low rate
    // leaves a busy test machine room for the real encoding.
    ScopedEnv slow("VORQ_MEDIA_TEST_ENCODE_DELAY_US", "1000000");
    frameRate = 2;
    startPreview(noisyGraph(), toneGraph(48000, 2), "1280x720");
    const std::string path = dir.file("slow.mp4");
    LogCapture log;
    record(path, 12000);
    // Faster presets, each change logged once, none back.
    EXPECT_EQ(count(log.text(), "preset fast -> "), 1u) << log.text();
    EXPECT_FALSE(log.contains("-> fast\n")) << log.text();
    EXPECT_FALSE(log.contains("pictures were left out")) << log.text();

    // The camera's pictures come every 1/30 s: a missing one shows as a gap.
    const MediaFileReport report = MediaFileReport::read(path);
    ASSERT_TRUE(report.video());
    std::vector<double> pts = report.video()->pts;
    std::sort(pts.begin(), pts.end());
    ASSERT_GT(pts.size(), 15u) << log.text();
    const double offered = std::round((pts.back() - pts.front()) * frameRate) + 1;
    std::printf("%zu pictures in the file of %.0f offered\n", pts.size(), offered);
    // One picture of slack for the capture clock's re-anchoring on a busy machine.
    EXPECT_GE(static_cast<double>(pts.size()) + 1, 0.995 * offered);

    int status = -1;
    const std::string probe = runCommand(
        "ffprobe -v error -select_streams v -show_entries stream=profile,pix_fmt -of csv=p=0 '" + path + "'", &status);
    EXPECT_EQ(probe, "High,yuv420p\n");
    // The stream decodes cleanly across the change of preset.
    const std::string errors = runCommand("ffmpeg -v error -i '" + path + "' -f null - 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors, "");
}

TEST_F(MediaEncoderSpeedTest, HardwareEncoderThatCannotOpenFallsBackToLibx264)
{
    ScopedEnv hardware("VORQ_MEDIA_VIDEO_ENCODER", "h264_nvenc");
    startPreview(movingPatternGraph(), toneGraph(48000, 2), "320x240");
    const std::string path = dir.file("fallback.mp4");
    LogCapture log;
    record(path, 1000);
    EXPECT_EQ(count(log.text(), "Video encoder h264_nvenc could not be opened"), 1u) << log.text();
    EXPECT_EQ(count(log.text(), "Video encoder: libx264, preset fast"), 1u) << log.text();
    const MediaFileReport report = MediaFileReport::read(path);
    ASSERT_TRUE(report.video());
    EXPECT_EQ(report.video()->codec, "h264");
}

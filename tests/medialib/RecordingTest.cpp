#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "MediaFileReport.h"
#include "RecordingFixture.h"

using namespace mediatest;

namespace {

struct MicrophoneCase {
    int sampleRate;
    int channels;
};

void PrintTo(const MicrophoneCase& c, std::ostream* os)
{
    *os << c.sampleRate << " Hz, " << c.channels << " channels";
}

class MediaRecordingTest : public RecordingFixture {};
class MediaRecordingFormatTest : public RecordingFixture, public ::testing::WithParamInterface<MicrophoneCase> {};

} // namespace

TEST_P(MediaRecordingFormatTest, FileHoldsH264AndAacWithContinuousTimeStamps)
{
    const MicrophoneCase mic = GetParam();
    startPreview(movingPatternGraph(), toneGraph(mic.sampleRate, mic.channels), "800x600");
    const std::string path = dir.file("take.mp4");
    LogCapture log;
    const double wall = record(path, 4000);
    EXPECT_TRUE(log.contains("Save output file success: " + path)) << log.text();

    int status = -1;
    const std::string probe = runCommand(
        "ffprobe -v error -show_entries stream=codec_name,width,height,sample_rate,channels -of csv=p=0 '" + path +
            "'",
        &status);
    ASSERT_EQ(status, 0) << probe;
    EXPECT_NE(probe.find("h264,800,600"), std::string::npos) << probe;
    EXPECT_NE(probe.find("aac," + std::to_string(mic.sampleRate) + "," + std::to_string(mic.channels)),
              std::string::npos)
        << probe;

    const MediaFileReport report = MediaFileReport::read(path);
    ASSERT_TRUE(report.opened);
    const StreamPackets* video = report.video();
    const StreamPackets* audio = report.audio();
    ASSERT_TRUE(video && audio);
    std::printf("%.3f s recorded, file %.3f s, %zu pictures, %zu sound packets\n", wall, report.duration(),
                video->pts.size(), audio->pts.size());
    EXPECT_NEAR(report.duration(), wall, wall * 0.05);
    EXPECT_GT(video->pts.size(), static_cast<size_t>(wall * 30 * 0.5)); // a loaded machine may drop some

    for (size_t i = 1; i < video->dts.size(); ++i) ASSERT_GT(video->dts[i], video->dts[i - 1]) << "video " << i;
    const double aacFrame = 1024.0 / mic.sampleRate;
    for (size_t i = 1; i < audio->pts.size(); ++i) {
        ASSERT_GT(audio->pts[i], audio->pts[i - 1]) << "audio " << i;
        const double gap = audio->pts[i] - (audio->pts[i - 1] + audio->duration[i - 1]);
        ASSERT_LE(gap, aacFrame + 1e-3) << "audio gap before packet " << i;
    }
    // Every microphone sample is in the file: the sound lasts as long as the take.
    double sound = 0;
    for (double d : audio->duration) sound += d;
    EXPECT_NEAR(sound, wall, wall * 0.05);
}

INSTANTIATE_TEST_SUITE_P(Microphones, MediaRecordingFormatTest,
                         ::testing::Values(MicrophoneCase{48000, 2}, MicrophoneCase{44100, 1}),
                         [](const auto& info) { return std::to_string(info.param.sampleRate) + "Hz" +
                                                       std::to_string(info.param.channels) + "ch"; });

TEST_F(MediaRecordingTest, BeepAndFlashLineUp)
{
    startPreview(flashGraph(), beepGraph(48000), "320x240");
    const std::string path = dir.file("sync.mp4");
    record(path, 4500);

    std::vector<double> flashes;
    bool lit = false;
    for (const LumaSample& s : decodeVideoLuma(path)) {
        const bool now = s.meanLuma > 128;
        if (now && !lit) flashes.push_back(s.time);
        lit = now;
    }
    const std::vector<double> beeps = beepOnsets(path);
    ASSERT_GE(flashes.size(), 3u);
    ASSERT_GE(beeps.size(), 3u);
    int matched = 0;
    for (double beep : beeps) {
        const auto nearest = std::min_element(flashes.begin(), flashes.end(), [beep](double a, double b) {
            return std::fabs(a - beep) < std::fabs(b - beep);
        });
        const double late = beep - *nearest; // > 0: the sound comes after the picture
        std::printf("beep at %.3f s, %+.1f ms after its flash\n", beep, late * 1000);
        // The flash lights the first picture stamped less than 67 ms after
        // the second's start (or 33 ms before it); on a busy machine the
        // pictures come irregularly, so it may light up to 67 ms late. The
        // clocked pictures of the A/V sync tests measure to the millisecond.
        EXPECT_GE(late, -0.070) << "beep at " << beep << " s, flash at " << *nearest << " s";
        EXPECT_LE(late, 0.045) << "beep at " << beep << " s, flash at " << *nearest << " s";
        ++matched;
    }
    EXPECT_GE(matched, 3);
}

TEST_F(MediaRecordingTest, StoppingTheCaptureFinalisesTheRecording)
{
    startPreview(movingPatternGraph(), toneGraph(48000, 2), "320x240");
    const std::string path = dir.file("stopped.mp4");
    LogCapture log;
    engine->SetCaptureMicrophone(kMicrophone, 0);
    engine->SetRecordFileName(path);
    ASSERT_EQ(engine->StartRecord(), 1);
    runEventLoopFor(1500);
    engine->StopCapture(); // without StopRecord
    EXPECT_TRUE(log.contains("Save output file success: " + path));
    const MediaFileReport report = MediaFileReport::read(path);
    ASSERT_TRUE(report.opened);
    ASSERT_TRUE(report.video() && report.audio());
    EXPECT_GT(report.duration(), 1.2);

    // A new capture records again into a fresh file.
    engine->StartCapture();
    ASSERT_TRUE(engine->CaptureIsOpen());
    const std::string second = dir.file("again.mp4");
    engine->SetRecordFileName(second);
    ASSERT_EQ(engine->StartRecord(), 1);
    runEventLoopFor(800);
    engine.reset(); // the destructor ends the recording as well
    EXPECT_TRUE(log.contains("Save output file success: " + second));
    EXPECT_GT(MediaFileReport::read(second).duration(), 0.5);
}

TEST_F(MediaRecordingTest, RepeatedCaptureAndRecordingCycles)
{
    startPreview(movingPatternGraph(), toneGraph(48000, 2), "160x120");
    engine->SetCaptureMicrophone(kMicrophone, 0);
    for (int cycle = 0; cycle < 20; ++cycle) {
        if (cycle > 0) {
            engine->StartCapture();
            ASSERT_TRUE(engine->CaptureIsOpen()) << "cycle " << cycle;
        }
        const std::string path = dir.file("cycle" + std::to_string(cycle) + ".mp4");
        engine->SetRecordFileName(path);
        ASSERT_EQ(engine->StartRecord(), 1) << "cycle " << cycle;
        const int seen = pictures;
        ASSERT_TRUE(waitFor([&] { return pictures >= seen + 3; }, 5000)) << "cycle " << cycle;
        engine->StopRecord();
        engine->StopCapture();
        const MediaFileReport report = MediaFileReport::read(path);
        ASSERT_TRUE(report.opened) << "cycle " << cycle;
        ASSERT_TRUE(report.video() && report.audio()) << "cycle " << cycle;
    }
}

// A camera picture already in the encoder's format goes in by reference; the
// file shows the same as when that picture comes in another layout and is
// converted, and the preview keeps running from the shared frames.
TEST_F(MediaRecordingTest, PicturesInTheEncodersFormatAreEncodedAsTheyAre)
{
    struct Take {
        std::string layout;
        std::string path;
        long long asIs = -1;
        long long converted = -1;
    };
    std::vector<Take> takes{{"", dir.file("as-is.mp4")}, {",format=nv12", dir.file("converted.mp4")}};
    for (Take& take : takes) {
        TearDown();
        startPreview("smptebars=size={size}:rate={rate},realtime,format=yuv420p" + take.layout, toneGraph(48000, 2),
                     "320x240");
        LogCapture log;
        const int before = pictures;
        record(take.path, 1500);
        EXPECT_GT(pictures, before + 10) << take.layout;
        const std::string text = log.text();
        // "Video encoder: <as is> pictures taken as the camera gave them, <converted> converted"
        const std::string middle = " pictures taken as the camera gave them, ";
        const size_t at = text.find(middle);
        ASSERT_TRUE(at != std::string::npos && at > 0) << text;
        take.asIs = std::atoll(text.c_str() + text.rfind(' ', at - 1) + 1);
        take.converted = std::atoll(text.c_str() + at + middle.size());
    }
    EXPECT_GT(takes[0].asIs, 10);
    EXPECT_EQ(takes[0].converted, 0);
    EXPECT_EQ(takes[1].asIs, 0);
    EXPECT_GT(takes[1].converted, 10);
    // The camera's frames come marked intra; a key frame is still one in two seconds.
    const std::string keys = runCommand("ffprobe -v error -select_streams v -show_entries packet=flags -of csv=p=0 '" +
                                        takes[0].path + "' | grep -c K");
    EXPECT_GE(std::atoi(keys.c_str()), 1) << keys;
    EXPECT_LE(std::atoi(keys.c_str()), 2) << keys;

    // The first pictures, every plane: the same key frame from the same pixels.
    int status = -1;
    const std::string stats = runCommand("ffmpeg -nostdin -v error -i '" + takes[0].path + "' -i '" + takes[1].path +
                                             "' -filter_complex '[0:v]trim=end_frame=1[a];[1:v]trim=end_frame=1[b];"
                                             "[a][b]psnr=stats_file=-' -f null -",
                                         &status);
    ASSERT_EQ(status, 0) << stats;
    std::printf("%s", stats.c_str());
    for (const char* plane : {"psnr_y:", "psnr_u:", "psnr_v:"}) {
        const size_t at = stats.find(plane);
        ASSERT_NE(at, std::string::npos) << stats;
        const char* value = stats.c_str() + at + std::strlen(plane);
        const double db = std::strncmp(value, "inf", 3) == 0 ? 1e9 : std::strtod(value, nullptr);
        EXPECT_GT(db, 50) << plane << " " << stats;
    }
}

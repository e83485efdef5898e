// Sound against picture, measured from what the file holds: the top of each
// picture tells the wall-clock time it was taken, and the sound beeps at
// every wall-clock second.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "MediaFileReport.h"
#include "RecordingFixture.h"
#include "SeekCheck.h"

using namespace mediatest;

namespace {

class MediaAvSyncTest : public RecordingFixture {};

struct BeepOffset {
    double time;     // of the beep in the file
    double offsetMs; // sound minus picture
};

double median(std::vector<double> v)
{
    if (v.empty()) return NAN;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// For each beep: where the pictures around it put the start of that
// wall-clock second, and how far the beep is from there.
std::vector<BeepOffset> beepOffsets(const std::string& path)
{
    const auto pictures = decodeVideoLuma(path, 0.2);
    std::vector<BeepOffset> out;
    for (double beep : beepOnsets(path)) {
        std::vector<double> offsets;
        for (const LumaSample& p : pictures) {
            if (std::fabs(p.time - beep) > 0.45) continue;
            const double fraction = (p.meanLuma - 16) / 219;
            if (fraction < 0.05 || fraction > 0.95) continue; // too near the wrap to tell
            const double secondStart = p.time - fraction + std::round(beep - (p.time - fraction));
            offsets.push_back((beep - secondStart) * 1000);
        }
        if (!offsets.empty()) out.push_back({beep, median(offsets)});
    }
    return out;
}

} // namespace

TEST_F(MediaAvSyncTest, SoundStaysWithThePictureEverySecond)
{
    startPreview(clockedPatternGraph(), beepGraph(48000), "320x240");
    const std::string path = dir.file("sync.mp4");
    record(path, 12000);
    const auto offsets = beepOffsets(path);
    ASSERT_GE(offsets.size(), 10u);
    for (const BeepOffset& b : offsets) {
        std::printf("beep at %6.3f s: %+5.1f ms\n", b.time, b.offsetMs);
        EXPECT_NEAR(b.offsetMs, 0, 15) << "beep at " << b.time << " s";
    }
}

// One minute with everything that pulls sound and picture apart: a
// microphone whose clock runs 0.3 % slow and a spell of a saturated CPU.
// The finished file also has to be an ordinary MP4 that seeks anywhere.
TEST_F(MediaAvSyncTest, MinuteWithSlowMicrophoneAndBusySpell)
{
    startPreview(clockedPatternGraph(), beepGraph(48000, 0.997), "320x240");
    const std::string path = dir.file("minute.mp4");
    engine->SetCaptureMicrophone(kMicrophone, 0);
    engine->SetRecordFileName(path);
    ASSERT_EQ(engine->StartRecord(), 1);
    runEventLoopFor(20000);
    {
        CpuLoad load;
        runEventLoopFor(4000);
    }
    runEventLoopFor(38000);
    engine->StopRecord();

    const auto offsets = beepOffsets(path);
    ASSERT_GE(offsets.size(), 55u);
    std::vector<double> before, after;
    for (const BeepOffset& b : offsets) {
        std::printf("beep at %6.3f s: %+5.1f ms\n", b.time, b.offsetMs);
        // During the busy spell the test's own sound is stamped late; the
        // recording must come back afterwards, not keep a step.
        if (b.time >= 19.5 && b.time < 30) continue;
        EXPECT_NEAR(b.offsetMs, 0, 20) << "beep at " << b.time << " s";
        if (b.time >= 10 && b.time < 19.5) before.push_back(b.offsetMs);
        if (b.time >= 30 && b.time < 40) after.push_back(b.offsetMs);
    }
    EXPECT_NEAR(median(after), median(before), 10);

    int status = -1;
    const std::string format =
        runCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_GT(std::atof(format.c_str()), 55.0) << format;
    const std::string boxes = runCommand("ffprobe -v trace '" + path + "' 2>&1 | grep -o \"type:'[a-z]*'\" | sort -u");
    EXPECT_EQ(boxes.find("moof"), std::string::npos) << "still fragmented";
    EXPECT_LT(boxes.find("moov"), std::string::npos);
    expectSeeksAgree(path, {5.0, 30.0}, dir.file("picture.gray"));
}

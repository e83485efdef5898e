#include <gtest/gtest.h>

#include "MediaFileReport.h"
#include "RecordingFixture.h"

using namespace mediatest;

namespace {
class MediaRecordingFailureTest : public RecordingFixture {};
} // namespace

TEST_F(MediaRecordingFailureTest, UnknownMicrophoneStartsNothing)
{
    startPreview(movingPatternGraph(), toneGraph(48000, 2), "320x240");
    const std::string path = dir.file("nomic.mp4");
    LogCapture log;
    engine->SetCaptureMicrophone("麦克风 (NOBODY 0000)", 0);
    engine->SetRecordFileName(path);
    EXPECT_EQ(engine->StartRecord(), 0);
    EXPECT_TRUE(log.contains("Error: find input audio device: ")) << log.text();
    EXPECT_TRUE(log.contains("camera open audio failed!")) << log.text();
    EXPECT_FALSE(fileExists(path));
    EXPECT_TRUE(engine->CaptureIsOpen()); // the preview goes on

    // The engine is not left half-recording: a good microphone works next.
    engine->SetCaptureMicrophone(kMicrophone, 0);
    EXPECT_EQ(engine->StartRecord(), 1);
    engine->StopRecord();
    EXPECT_TRUE(MediaFileReport::read(path).opened);
}

TEST_F(MediaRecordingFailureTest, UnwritableDirectoryIsReported)
{
    startPreview(movingPatternGraph(), toneGraph(48000, 2), "320x240");
    const std::string path = dir.file("missing/take.mp4");
    LogCapture log;
    engine->SetCaptureMicrophone(kMicrophone, 0);
    engine->SetRecordFileName(path);
    EXPECT_EQ(engine->StartRecord(), 0);
    EXPECT_TRUE(log.contains("Open mp4 : " + path + " failed!")) << log.text();
    EXPECT_FALSE(fileExists(path));
}

TEST_F(MediaRecordingFailureTest, SecondStartLeavesTheRunningRecordingAlone)
{
    startPreview(movingPatternGraph(), toneGraph(48000, 2), "320x240");
    const std::string first = dir.file("first.mp4");
    const std::string second = dir.file("second.mp4");
    LogCapture log;
    engine->SetCaptureMicrophone(kMicrophone, 0);
    engine->SetRecordFileName(first);
    ASSERT_EQ(engine->StartRecord(), 1);
    engine->SetRecordFileName(second);
    EXPECT_EQ(engine->StartRecord(), 0);
    runEventLoopFor(1200);
    engine->StopRecord();

    EXPECT_FALSE(fileExists(second));
    EXPECT_TRUE(log.contains("Save output file success: " + first));
    const MediaFileReport report = MediaFileReport::read(first);
    ASSERT_TRUE(report.opened);
    ASSERT_TRUE(report.video() && report.audio());
    EXPECT_GT(report.duration(), 0.9);
}

TEST_F(MediaRecordingFailureTest, RecordingCallsWithoutCaptureOrRecordingDoNothing)
{
    cameras = std::make_unique<FakeCameras>(
        std::vector<FakeCameraSpec>{{movingPatternGraph(), toneGraph(48000, 2)}});
    engine = std::make_unique<Vorq_Medialib>();
    engine->SetCapture(kCard, 0);
    engine->SetCaptureMicrophone(kMicrophone, 0);
    const std::string path = dir.file("early.mp4");
    engine->SetRecordFileName(path);
    LogCapture log;
    EXPECT_EQ(engine->StartRecord(), 0);
    EXPECT_FALSE(fileExists(path));
    engine->StopRecord();

    engine->StartCapture();
    ASSERT_TRUE(engine->CaptureIsOpen());
    engine->StopRecord(); // nothing runs
    EXPECT_FALSE(log.contains("Save output file success"));
    EXPECT_FALSE(fileExists(path));
}

TEST_F(MediaRecordingFailureTest, StopRightAfterStartGivesACompleteFile)
{
    startPreview(movingPatternGraph(), toneGraph(48000, 2), "320x240");
    const std::string path = dir.file("short.mp4");
    LogCapture log;
    engine->SetCaptureMicrophone(kMicrophone, 0);
    engine->SetRecordFileName(path);
    ASSERT_EQ(engine->StartRecord(), 1);
    engine->StopRecord();
    EXPECT_TRUE(log.contains("Save output file success: " + path)) << log.text();
    int status = -1;
    runCommand("ffprobe -v error '" + path + "' 2>&1", &status);
    EXPECT_EQ(status, 0);
}

TEST_F(MediaRecordingFailureTest, BusyCameraDoesNotOpen)
{
    LogCapture log;
    startPreview(movingPatternGraph(), toneGraph(48000, 2), "800x600", /*busy=*/true);
    EXPECT_FALSE(engine->CaptureIsOpen());
    EXPECT_TRUE(log.contains("err:-16, camera open video failed!")) << log.text();
    EXPECT_EQ(engine->StartRecord(), 0);
    runEventLoopFor(100);
    EXPECT_EQ(pictures, 0);
}

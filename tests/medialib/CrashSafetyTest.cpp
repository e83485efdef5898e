#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "MediaFileReport.h"
#include "SeekCheck.h"
#include "RecordingFixture.h"

extern char** environ;

using namespace mediatest;

namespace {

constexpr const char* kChildFileVariable = "VORQ_MEDIA_TEST_RECORD_UNTIL_KILLED";

class MediaCrashSafetyTest : public RecordingFixture {};

// Reads the child's output until `marker` shows or the time-out passes.
bool waitForLine(int fd, const std::string& marker, int timeoutMs)
{
    std::string seen;
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) return false;
        seen.append(buf, static_cast<size_t>(n));
        if (seen.find(marker) != std::string::npos) return true;
    }
    return false;
}

} // namespace

// Run only as the child of the test below: records until it is killed.
TEST_F(MediaCrashSafetyTest, DISABLED_RecordUntilKilled)
{
    const char* path = std::getenv(kChildFileVariable);
    if (!path) GTEST_SKIP();
    startPreview(movingPatternGraph(), toneGraph(48000, 2), "640x480");
    engine->SetCaptureMicrophone(kMicrophone, 0);
    engine->SetRecordFileName(path);
    ASSERT_EQ(engine->StartRecord(), 1);
    std::printf("RECORDING\n");
    std::fflush(stdout);
    runEventLoopFor(30000);
}

TEST_F(MediaCrashSafetyTest, KilledRecorderLeavesAPlayableFile)
{
    const std::string path = dir.file("killed.mp4");
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string filter = "--gtest_filter=MediaCrashSafetyTest.DISABLED_RecordUntilKilled";
    std::string disabled = "--gtest_also_run_disabled_tests";
    char* argv[] = {const_cast<char*>("test_medialib"), filter.data(), disabled.data(), nullptr};
    ::setenv(kChildFileVariable, path.c_str(), 1);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv, environ);
    ::unsetenv(kChildFileVariable);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ASSERT_EQ(spawned, 0);

    const bool recording = waitForLine(out[0], "RECORDING", 20000);
    if (recording) {
        // The time the child records before it dies.
        pollfd none{-1, 0, 0};
        ::poll(&none, 0, 5000);
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(out[0]);
    ASSERT_TRUE(recording) << "the child never started recording";
    ASSERT_TRUE(WIFSIGNALED(status));

    const MediaFileReport report = MediaFileReport::read(path);
    ASSERT_TRUE(report.opened) << "a killed recording must still open";
    ASSERT_TRUE(report.video() && report.audio());
    // Five seconds recorded; what is lost is the fragment in the making: at
    // most the two seconds between key frames, about one on average.
    const auto pictures = decodeVideoLuma(path);
    std::printf("killed after 5 s: the file holds %.3f s, %zu pictures\n", report.duration(), pictures.size());
    EXPECT_GT(report.duration(), 5.0 - 2.5); // slack for a loaded machine
    EXPECT_GT(pictures.size(), static_cast<size_t>((5.0 - 2.5) * 30 * 0.5));
    int rate = 0;
    EXPECT_FALSE(decodeAudio(path, &rate).empty());

    // It plays to its end and seeks, in ffmpeg and in GStreamer.
    int decoded = -1;
    const std::string errors = runCommand("ffmpeg -v error -ss 1.5 -i '" + path + "' -f null - 2>&1", &decoded);
    EXPECT_EQ(decoded, 0);
    EXPECT_EQ(errors, "");
    expectSeeksAgree(path, {1.5}, dir.file("picture.gray"));
}

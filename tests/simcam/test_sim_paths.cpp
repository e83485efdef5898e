// One camera model, two ways to reach it: the same transfers must get the
// same answers and leave the same trace in-process and through vorq-simdev.

#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "SimTestDirectory.h"
#include "sim/ExternalBackend.h"
#include "simcam/HexText.h"

using namespace vorq::platform;

namespace {

// Every unit, the controls, and requests the camera refuses.
std::vector<std::string> runScript(UvcDevice& cam)
{
    std::vector<std::string> answers;
    auto xu = [&](uint8_t unit, uint8_t selector, uint8_t query, std::vector<uint8_t> data) {
        int err = cam.xuQuery(unit, selector, query, data.data(), static_cast<uint16_t>(data.size()));
        answers.push_back(std::to_string(err) + ":" + (err ? "" : vorq::simcam::toHex(data.data(), data.size())));
    };
    auto control = [&](uint32_t cid, const int32_t* set) {
        if (set) {
            answers.push_back("s " + std::to_string(cam.setControl(cid, *set)));
            return;
        }
        int32_t value = 0;
        ControlRange range;
        int err = cam.getControl(cid, value);
        int qerr = cam.queryControl(cid, range);
        answers.push_back("g " + std::to_string(err) + " " + std::to_string(err ? 0 : value) + " q " +
                          std::to_string(qerr) + " " + std::to_string(range.minimum) + " " +
                          std::to_string(range.maximum) + " " + std::to_string(range.defaultValue));
    };
    xu(4, 9, UVC_GET_LEN, std::vector<uint8_t>(2));
    xu(4, 9, UVC_GET_INFO, std::vector<uint8_t>(1));
    xu(4, 9, UVC_GET_CUR, std::vector<uint8_t>(24));
    xu(4, 11, UVC_SET_CUR, {0xFE});
    xu(4, 11, UVC_GET_CUR, std::vector<uint8_t>(1));
    xu(4, 11, UVC_GET_MIN, std::vector<uint8_t>(1));
    xu(4, 11, UVC_GET_DEF, std::vector<uint8_t>(1));
    xu(4, 9, UVC_GET_CUR, std::vector<uint8_t>(1)); // wrong length
    xu(4, 99, UVC_GET_CUR, std::vector<uint8_t>(1)); // no such control
    xu(9, 1, UVC_GET_CUR, std::vector<uint8_t>(1));  // no such unit
    xu(5, 12, UVC_SET_CUR, {0x01, 0x00, 0x06});
    xu(6, 1, UVC_GET_CUR, std::vector<uint8_t>(3));
    xu(6, 6, UVC_GET_LEN, std::vector<uint8_t>(2));
    xu(6, 5, UVC_SET_CUR, {0, 0, 0, 0, 0});
    xu(6, 5, UVC_SET_CUR, {42, 0, 0, 0, 0});
    for (int i = 0; i < 4; ++i) xu(6, 6, UVC_GET_CUR, std::vector<uint8_t>(3085));
    xu(6, 4, UVC_GET_CUR, std::vector<uint8_t>(1));
    xu(6, 4, UVC_SET_CUR, {0}); // read-only
    const int32_t brightness = 5, tooBright = 1000;
    control(V4L2_CID_BRIGHTNESS, nullptr);
    control(V4L2_CID_BRIGHTNESS, &brightness);
    control(V4L2_CID_BRIGHTNESS, &tooBright);
    control(V4L2_CID_BRIGHTNESS, nullptr);
    control(V4L2_CID_EXPOSURE_AUTO, nullptr);
    control(0x00ABCDEF, nullptr);
    return answers;
}

// The trace without its time stamps.
std::vector<std::string> traceLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const size_t comma = line.find(',');
        if (line.rfind("{\"t\":", 0) == 0 && comma != std::string::npos) line.erase(1, comma);
        lines.push_back(line);
    }
    return lines;
}

} // namespace

TEST(SimPathsTest, BuiltInBackendAndSimdevAnswerAlike)
{
    SimTestDirectory builtIn, served;

    const std::string builtInTrace = builtIn.path() + "/trace.jsonl";
    setenv("VORQ_SIM_TRACE", builtInTrace.c_str(), 1);
    auto local = builtIn.cameras();
    unsetenv("VORQ_SIM_TRACE");
    ASSERT_EQ(local.size(), 1u);
    const std::vector<std::string> localAnswers = runScript(*local[0]);

    const std::string socket = served.path() + "/dev.sock";
    const std::string servedTrace = served.path() + "/trace.jsonl";
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("VORQ_SIM_TRACE", servedTrace.c_str(), 1);
        freopen("/dev/null", "w", stdout);
        execl(VORQ_SIMDEV, VORQ_SIMDEV, socket.c_str(), served.path().c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    struct stat st{};
    for (int i = 0; i < 500 && stat(socket.c_str(), &st) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    auto remote = enumerateExternalCameras(socket);
    std::vector<std::string> remoteAnswers;
    if (remote.size() == 1u) remoteAnswers = runScript(*remote[0]);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);

    ASSERT_EQ(remote.size(), 1u);
    EXPECT_EQ(remote[0]->identity().serial, local[0]->identity().serial);
    EXPECT_EQ(remote[0]->extensionUnits().size(), local[0]->extensionUnits().size());
    EXPECT_EQ(remoteAnswers, localAnswers);
    const auto localTrace = traceLines(builtInTrace);
    EXPECT_EQ(localTrace.size(), 31u);
    EXPECT_EQ(traceLines(servedTrace), localTrace);
}

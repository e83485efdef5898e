// The media engine's real-camera path (V4L2 through FFmpeg's v4l2 input) on
// the emulated TX42; runs inside vorq-emulated-camera (see CMakeLists.txt).
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "medialib/Vorq_Medialib.h"
#include "platform/DeviceProvider.h"

namespace {

const char kCard[] = "TELDORA TX42";

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    if (done()) return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    poll.start(10);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void signalEmulator(int signal)
{
    const char* pid = std::getenv("VORQ_EMULATED_CAMERA_PID");
    ASSERT_NE(pid, nullptr);
    ASSERT_EQ(kill(static_cast<pid_t>(std::atoi(pid)), signal), 0);
}

struct Pictures {
    int count = 0, width = 0, height = 0, repeats = 0;
    std::vector<uint8_t> last;

    void attach(Vorq_Medialib& engine)
    {
        QObject::connect(&engine, &Vorq_Medialib::frameBuffer, &engine, [this](uint8_t* buffer, int w, int h) {
            const std::size_t size = static_cast<std::size_t>(w) * h * 3;
            if (last.size() == size && std::memcmp(last.data(), buffer, size) == 0) ++repeats;
            last.assign(buffer, buffer + size);
            width = w;
            height = h;
            ++count;
        });
    }
};

class EngineOnKernelCamera : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(EngineOnKernelCamera, PreviewShowsChangingPicturesFromTheCamera)
{
    Vorq_Medialib engine;
    Pictures pictures;
    pictures.attach(engine);
    engine.SetCapture(kCard, 0);
    engine.SetVideoSize(GetParam());
    engine.StartCapture();
    ASSERT_TRUE(engine.CaptureIsOpen());
    ASSERT_TRUE(waitFor([&] { return pictures.count >= 6; }, 15000)) << pictures.count << " pictures";
    EXPECT_EQ(std::to_string(pictures.width) + "x" + std::to_string(pictures.height), GetParam());
    EXPECT_LT(pictures.repeats, pictures.count / 2) << "the test pattern should move";
    engine.StopCapture();
}

INSTANTIATE_TEST_SUITE_P(Sizes, EngineOnKernelCamera, ::testing::Values("800x600", "1920x1080"),
                         [](const auto& info) { return std::string(info.param); });

TEST(EngineOnKernelCameraUnplug, PreviewSurvivesAnUnplugAndReopensAfterAReplug)
{
    Vorq_Medialib engine;
    Pictures pictures;
    pictures.attach(engine);
    engine.SetCapture(kCard, 0);
    engine.SetVideoSize("800x600");
    engine.StartCapture();
    ASSERT_TRUE(engine.CaptureIsOpen());
    ASSERT_TRUE(waitFor([&] { return pictures.count >= 3; }, 15000));

    signalEmulator(SIGUSR1);
    ASSERT_TRUE(waitFor([] { return vorq::platform::DeviceProvider::enumerate().empty(); }, 5000));
    // The capture sees ENODEV; pictures stop, nothing else happens.
    waitFor([] { return false; }, 500);
    const int atUnplug = pictures.count;
    waitFor([] { return false; }, 500);
    EXPECT_LE(pictures.count, atUnplug + 1);
    engine.StopCapture();

    signalEmulator(SIGUSR2);
    ASSERT_TRUE(waitFor([] { return vorq::platform::DeviceProvider::enumerate().size() == 1; }, 5000));
    const int before = pictures.count;
    engine.StartCapture();
    ASSERT_TRUE(engine.CaptureIsOpen());
    EXPECT_TRUE(waitFor([&] { return pictures.count >= before + 3; }, 15000));
    engine.StopCapture();
}

namespace {

std::string run(const std::string& command, int* status = nullptr)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        const int s = pclose(pipe);
        if (status) *status = s;
    }
    return out;
}

} // namespace

TEST(EngineOnKernelCameraRecording, RecordsH264AndAacWithTheMicrophoneFoundByUsbIdentity)
{
    // A microphone as PulseAudio shows a USB audio interface: its name says
    // nothing of the camera, its USB identity does. The null source takes no
    // properties, so it is a remap of the test server's microphone.
    int status = -1;
    const std::string module =
        run("pactl load-module module-remap-source master=vorq_mic source_name=emucam_tx42_mic "
            "'source_properties=\"device.description=USB-Audio device.bus=usb "
            "device.vendor.id=9f2b device.product.id=0042 device.serial=TELDORA_TX42_SN0001 "
            "device.bus_path=pci-0000:00:14.0-usb-0:1:1.2\"' 2>/dev/null",
            &status);
    if (status != 0) GTEST_SKIP() << "no sound server";
    const std::string path = "/tmp/emucam-recording-" + std::to_string(getpid()) + ".mp4";
    {
        Vorq_Medialib engine;
        engine.SetCapture(kCard, 0);
        engine.SetVideoSize("800x600");
        engine.SetCaptureMicrophone("\xE9\xBA\xA6\xE5\x85\x8B\xE9\xA3\x8E (TELDORA TX42)", 0);
        engine.StartCapture();
        ASSERT_TRUE(engine.CaptureIsOpen());
        engine.SetRecordFileName(path);
        EXPECT_EQ(engine.StartRecord(), 1);
        waitFor([] { return false; }, 2500);
        engine.StopRecord();
        engine.StopCapture();
    }
    run("pactl unload-module " + module);
    const std::string streams =
        run("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + path + "' | sort | tr '\\n' ' '");
    std::remove(path.c_str());
    EXPECT_EQ(streams, "aac h264 ");
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

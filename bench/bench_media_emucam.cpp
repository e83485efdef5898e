// Preview through an emulated uvcvideo node against the same engine on a
// lavfi input: CPU per picture of this process (the engine and FFmpeg's
// v4l2 input), and separately the emulator's own CPU per picture. Runs are
// interleaved, emulated and lavfi side by side, so a busy machine weighs on
// both alike. Run it inside the emulator:
//
//   build/bin/vorq-emulated-camera emucam/cameras/tx42.bin -- build/bench/bench_media_emucam [seconds] [rounds]

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "medialib/Vorq_Medialib.h"
#include "platform/DeviceProvider.h"
#include "platform/UvcDevice.h"

using namespace vorq::platform;

namespace {

const char kCard[] = "TELDORA TX42";

class LavfiCamera : public UvcDevice {
public:
    explicit LavfiCamera(UvcIdentity id) : id_(std::move(id)) {}
    const UvcIdentity& identity() const override { return id_; }
    const std::vector<ExtensionUnit>& extensionUnits() const override { return units_; }
    int xuQuery(uint8_t, uint8_t, uint8_t, uint8_t*, uint16_t) override { return EIO; }
    int queryControl(uint32_t, ControlRange&) override { return EINVAL; }
    int getControl(uint32_t, int32_t&) override { return EINVAL; }
    int setControl(uint32_t, int32_t) override { return EINVAL; }
    std::unique_ptr<UvcDevice> reopen() const override { return std::make_unique<LavfiCamera>(id_); }

private:
    UvcIdentity id_;
    std::vector<ExtensionUnit> units_;
};

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// utime + stime of another process, in seconds; 0 when unknown.
double otherCpuSeconds(const char* pid)
{
    if (!pid) return 0;
    std::ifstream in(std::string("/proc/") + pid + "/stat");
    std::string line;
    std::getline(in, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(line.substr(close + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i) fields >> skip;
    unsigned long long user = 0, system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Run {
    int pictures = 0;
    double cpu = 0, emulatorCpu = 0;
};

Run preview(const std::string& size, double seconds)
{
    Vorq_Medialib engine;
    Run run;
    QObject::connect(&engine, &Vorq_Medialib::frameBuffer, &engine, [&run](uint8_t*, int, int) { ++run.pictures; });
    engine.SetCapture(kCard, 0);
    engine.SetVideoSize(size);
    engine.StartCapture();
    if (!engine.CaptureIsOpen()) {
        std::fprintf(stderr, "bench_media_emucam: the camera did not open at %s\n", size.c_str());
        return run;
    }
    // Past the start-up (the emulator makes its pattern, decoders warm up).
    QEventLoop warm;
    QTimer::singleShot(1000, &warm, &QEventLoop::quit);
    warm.exec();
    const int startPictures = run.pictures;
    const char* emulator = std::getenv("VORQ_EMULATED_CAMERA_PID");
    const double cpu0 = processCpuSeconds(), emu0 = otherCpuSeconds(emulator);
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    run.cpu = processCpuSeconds() - cpu0;
    run.emulatorCpu = otherCpuSeconds(emulator) - emu0;
    run.pictures -= startPictures;
    engine.StopCapture();
    return run;
}

void useLavfi(bool on, const std::string& size)
{
    if (!on) {
        DeviceProvider::setSourceForTesting({});
        return;
    }
    DeviceProvider::setSourceForTesting([size] {
        UvcIdentity id;
        id.card = kCard;
        id.usb = true;
        id.vendorId = 0x9f2b;
        id.productId = 0x0042;
        id.busPath = "1-4";
        id.videoNode = "sim-cam0";
        id.simulated = true;
        id.videoGraph = "testsrc2=size={size}:rate={rate},format=yuvj422p,realtime";
        DeviceList list;
        list.push_back(std::make_unique<LavfiCamera>(id));
        return list;
    });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules("vorq.medialib.debug=false\nvorq.medialib.info=false");
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (!std::getenv("VORQ_EMULATED_CAMERA_PID"))
        std::fprintf(stderr, "bench_media_emucam: not inside vorq-emulated-camera; the emulated runs will fail\n");

    std::printf("%-10s %6s %10s %10s %10s %12s\n", "size", "round", "v4l2 ms", "lavfi ms", "ratio", "emulator ms");
    for (const std::string size : {"800x600", "1920x1080"}) {
        Run v4l2Total, lavfiTotal;
        for (int round = 0; round < rounds; ++round) {
            useLavfi(false, size);
            const Run v = preview(size, seconds);
            useLavfi(true, size);
            const Run l = preview(size, seconds);
            useLavfi(false, size);
            if (v.pictures == 0 || l.pictures == 0) continue;
            const double vms = 1000 * v.cpu / v.pictures, lms = 1000 * l.cpu / l.pictures;
            std::printf("%-10s %6d %10.2f %10.2f %10.2f %12.2f\n", size.c_str(), round + 1, vms, lms, vms / lms,
                        1000 * v.emulatorCpu / v.pictures);
            v4l2Total.pictures += v.pictures;
            v4l2Total.cpu += v.cpu;
            v4l2Total.emulatorCpu += v.emulatorCpu;
            lavfiTotal.pictures += l.pictures;
            lavfiTotal.cpu += l.cpu;
        }
        if (v4l2Total.pictures && lavfiTotal.pictures) {
            const double vms = 1000 * v4l2Total.cpu / v4l2Total.pictures;
            const double lms = 1000 * lavfiTotal.cpu / lavfiTotal.pictures;
            std::printf("%-10s %6s %10.2f %10.2f %10.2f %12.2f   (target ratio <= 1.10)\n", size.c_str(), "all", vms,
                        lms, vms / lms, 1000 * v4l2Total.emulatorCpu / v4l2Total.pictures);
        }
    }
    return 0;
}

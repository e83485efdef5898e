// Preview through an emulated uvcvideo node against the same engine on inputs
// that carry the same stream without V4L2: CPU per picture of this process
// (the engine and FFmpeg's input), and separately the emulator's own CPU per
// picture. Run it inside the emulator:
//
//   build/bin/vorq-emulated-camera emucam/cameras/tx42.bin -- build/bench/bench_media_emucam [seconds] [pairs]
//
// Each pair, at each size:
//   - MJPEG through the v4l2 node, against the very JPEGs the node sent (read
//     from it beforehand) paced through a pipe as multipart JPEG: both sides
//     decode the same pictures, so the ratio is what the V4L2 path costs;
//   - the same v4l2 run against a lavfi input of raw pictures, which shows
//     what decoding the camera's MJPEG costs;
//   - at 800x600 (20 frames/s, the most the TX42 offers there), YUYV
//     through the node against the same YUYV frames paced through a pipe as
//     raw video; the pipe's read copies each frame, which mmap streaming
//     does not, so this baseline is a little dearer.
// The baseline of a pair runs right before its measured run, so a busy
// machine weighs on both alike. The pipe writer's CPU is left out. umockdev
// carries every ioctl to the emulator and back, a cost in this process that
// a real node does not have: it is measured apart, and the MJPEG and YUYV
// comparisons are printed once more without it.

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
}

#include "CaptureInputSource.h"
#include "Interleaved.h"
#include "PacedCamera.h"
#include "medialib/Vorq_Medialib.h"
#include "platform/CaptureInput.h"
#include "platform/DeviceProvider.h"
#include "platform/UvcDevice.h"

using namespace vorq::platform;
using bench::PacedCamera;

namespace {

const char kCard[] = "TELDORA TX42";
constexpr int kRate = 30;

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
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
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
    double msPerPicture() const { return pictures ? 1000 * cpu / pictures : 0; }
    double emulatorMsPerPicture() const { return pictures ? 1000 * emulatorCpu / pictures : 0; }
};

// writerCpuSeconds: CPU of a feeding thread in this process, to leave out.
Run preview(const std::string& size, const std::string& inputFormat, int rate, double seconds,
            const std::function<double()>& writerCpuSeconds = {})
{
    Vorq_Medialib engine;
    Run run;
    QObject::connect(&engine, &Vorq_Medialib::frameBuffer, &engine, [&run](uint8_t*, int, int) { ++run.pictures; });
    engine.SetCapture(kCard, 0);
    engine.SetVideoSize(size);
    engine.SetInputFormat(inputFormat);
    engine.SetFramrate(rate);
    engine.StartCapture();
    if (!engine.CaptureIsOpen()) {
        std::fprintf(stderr, "bench_media_emucam: the camera did not open at %s %s\n", size.c_str(),
                     inputFormat.c_str());
        return run;
    }
    // Past the start-up (the emulator makes its pattern, decoders warm up).
    QEventLoop warm;
    QTimer::singleShot(1000, &warm, &QEventLoop::quit);
    warm.exec();
    const int startPictures = run.pictures;
    const char* emulator = std::getenv("VORQ_EMULATED_CAMERA_PID");
    const double writer0 = writerCpuSeconds ? writerCpuSeconds() : 0;
    const double cpu0 = processCpuSeconds(), emu0 = otherCpuSeconds(emulator);
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    run.cpu = processCpuSeconds() - cpu0 - ((writerCpuSeconds ? writerCpuSeconds() : 0) - writer0);
    run.emulatorCpu = otherCpuSeconds(emulator) - emu0;
    run.pictures -= startPictures;
    engine.StopCapture();
    return run;
}

void useLavfi(bool on)
{
    if (!on) {
        DeviceProvider::setSourceForTesting({});
        return;
    }
    DeviceProvider::setSourceForTesting([] {
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

// What the node sends in this mode: `count` frames read straight from it.
std::vector<std::vector<uint8_t>> framesFromNode(const std::string& size, const std::string& pixelFormat, int rate,
                                                 int count)
{
    std::vector<std::vector<uint8_t>> frames;
    CaptureInput input;
    if (CaptureInputResolver::resolveCamera(kCard, 0, VideoRequest{pixelFormat, size, rate}, input) != 0)
        return frames;
    AVDictionary* options = nullptr;
    for (const auto& option : input.options) av_dict_set(&options, option.first.c_str(), option.second.c_str(), 0);
    AVFormatContext* context = nullptr;
    const int opened = avformat_open_input(&context, input.url.c_str(), av_find_input_format(input.format.c_str()),
                                           &options);
    av_dict_free(&options);
    if (opened < 0) return frames;
    AVPacket* packet = av_packet_alloc();
    while (static_cast<int>(frames.size()) < count && av_read_frame(context, packet) >= 0) {
        frames.emplace_back(packet->data, packet->data + packet->size);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&context);
    return frames;
}

// CPU of this process per ioctl on the emulated node, in ms. umockdev carries
// each ioctl to the emulator over a socket and back; a real uvcvideo node
// answers in a plain system call. FFmpeg's v4l2 input makes two per picture
// (DQBUF, then QBUF when the packet is freed).
double forwardedIoctlMs()
{
    CaptureInput input;
    if (CaptureInputResolver::resolveCamera(kCard, 0, VideoRequest{}, input) != 0) return 0;
    const int fd = open(input.url.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return 0;
    constexpr int kCalls = 2000;
    timespec t0, t1;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
    for (int i = 0; i < kCalls; ++i) {
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        ioctl(fd, VIDIOC_G_FMT, &format);
    }
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
    close(fd);
    return ((t1.tv_sec - t0.tv_sec) * 1e3 + (t1.tv_nsec - t0.tv_nsec) / 1e6) / kCalls;
}

// The engine reads `camera` instead of the platform's input for this run.
void usePipe(const PacedCamera* camera, const std::string& size, bool raw, int rate)
{
    if (!camera) {
        vorq::media::CaptureInputSource::setForTesting({}, {});
        return;
    }
    const std::string url = camera->url();
    vorq::media::CaptureInputSource::setForTesting(
        [url, size, raw, rate](const std::string&, int, const VideoRequest&, CaptureInput& out) {
            if (raw)
                out = {"rawvideo",
                       url,
                       {{"video_size", size}, {"pixel_format", "yuyv422"}, {"framerate", std::to_string(rate)}}};
            else
                out = {"mpjpeg", url, {}};
            return 0;
        },
        {});
}

Run pipedPreview(const std::vector<std::vector<uint8_t>>& frames, const std::string& size, bool raw, int rate,
                 double seconds)
{
    PacedCamera camera(frames, raw ? PacedCamera::Framing::Raw : PacedCamera::Framing::Multipart, rate);
    usePipe(&camera, size, raw, rate);
    camera.start();
    const Run run =
        preview(size, raw ? "yuyv422" : "mjpeg", rate, seconds, [&camera] { return camera.cpuUs() / 1e6; });
    camera.stop();
    usePipe(nullptr, size, raw, rate);
    return run;
}

void printEmulator(const std::vector<double>& ms)
{
    const bench::Spread e = bench::spreadOf(ms);
    std::printf("  %-28s min %8.2f  median %8.2f  max %8.2f ms CPU/picture\n", "emulator's own (v4l2 runs)", e.min,
                e.median, e.max);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    avdevice_register_all();
    QLoggingCategory::setFilterRules("vorq.medialib.debug=false\nvorq.medialib.info=false");
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int pairs = argc > 2 ? std::atoi(argv[2]) : 3;
    if (!std::getenv("VORQ_EMULATED_CAMERA_PID")) {
        std::fprintf(stderr, "bench_media_emucam: run it inside vorq-emulated-camera\n");
        return 1;
    }
    std::printf("Preview, %g s per run after 1 s of start-up, load average %s\n", seconds,
                bench::loadAverage().c_str());
    // Measured before any stream runs, so nothing else competes for the emulator.
    const double forwardingMs = 2 * forwardedIoctlMs();
    std::printf("umockdev's ioctl forwarding, in this process: %.3f ms per picture (two ioctls); the lines "
                "\"less forwarding\" take it out of the v4l2 figure, as a real uvcvideo node would\n",
                forwardingMs);

    for (const std::string size : {"800x600", "1920x1080"}) {
        const auto jpegs = framesFromNode(size, "mjpeg", kRate, 2 * kRate);
        if (jpegs.empty()) {
            std::fprintf(stderr, "bench_media_emucam: no MJPEG frames from the node at %s\n", size.c_str());
            continue;
        }
        size_t bytes = 0;
        for (const auto& j : jpegs) bytes += j.size();
        bench::Pairs fair, fairNative, lavfi;
        std::vector<double> emulator;
        for (int pair = 0; pair < pairs; ++pair) {
            useLavfi(true);
            const Run l = preview(size, "mjpeg", kRate, seconds);
            useLavfi(false);
            const Run p = pipedPreview(jpegs, size, false, kRate, seconds);
            const Run v = preview(size, "mjpeg", kRate, seconds);
            if (!v.pictures || !p.pictures || !l.pictures) continue;
            fair.add(p.msPerPicture(), v.msPerPicture());
            fairNative.add(p.msPerPicture(), v.msPerPicture() - forwardingMs);
            lavfi.add(l.msPerPicture(), v.msPerPicture());
            emulator.push_back(v.emulatorMsPerPicture());
        }
        const std::string title = size + " MJPEG (" + std::to_string(bytes / jpegs.size() / 1024) +
                                  " KB/picture), CPU per picture, target ratio <= 1.10";
        fair.print(title.c_str(), "same JPEGs via pipe, ms", "v4l2 node, ms", "");
        printEmulator(emulator);
        fairNative.print((size + " MJPEG, the v4l2 figure less forwarding").c_str(), "same JPEGs via pipe, ms",
                         "v4l2 less forwarding, ms", "");
        lavfi.print((size + ": the same v4l2 runs against raw lavfi pictures (shows the decode's cost)").c_str(),
                    "lavfi raw, ms", "v4l2 node MJPEG, ms", "");
    }

    // The TX42 offers YUYV at 800x600 up to 20 frames/s: the V4L2 path without a decode.
    const std::string size = "800x600";
    constexpr int kYuyvRate = 20;
    const auto yuyv = framesFromNode(size, "yuyv422", kYuyvRate, 15);
    if (yuyv.empty()) {
        std::fprintf(stderr, "bench_media_emucam: no YUYV frames from the node at %s\n", size.c_str());
        return 0;
    }
    bench::Pairs raw, rawNative;
    std::vector<double> emulator;
    for (int pair = 0; pair < pairs; ++pair) {
        const Run p = pipedPreview(yuyv, size, true, kYuyvRate, seconds);
        const Run v = preview(size, "yuyv422", kYuyvRate, seconds);
        if (!v.pictures || !p.pictures) continue;
        raw.add(p.msPerPicture(), v.msPerPicture());
        rawNative.add(p.msPerPicture(), v.msPerPicture() - forwardingMs);
        emulator.push_back(v.emulatorMsPerPicture());
    }
    raw.print((size + " YUYV at 20 frames/s, CPU per picture, target ratio <= 1.10").c_str(), "same YUYV via pipe, ms",
              "v4l2 node, ms", "");
    printEmulator(emulator);
    rawNative.print((size + " YUYV, the v4l2 figure less forwarding").c_str(), "same YUYV via pipe, ms",
                    "v4l2 less forwarding, ms", "");
    return 0;
}

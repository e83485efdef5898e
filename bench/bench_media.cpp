// Media engine figures: preview rate, CPU per frame against a plain FFmpeg
// decode-and-convert loop, age of a picture at frameBuffer, and the share of
// camera frames a recording keeps.
//
// The camera is an MJPEG stream (4:2:2, noisy, like a UVC camera sends it)
// written into a pipe at 30 frames per second; each picture carries its number
// in a flat block in the top-left corner, so a receiver knows when it was sent.
//
//   bench_media [preview|record|all] [seconds per run] [pairs, at least 3]
//
// Every figure comes from baseline and measured runs made in turn (at least
// three pairs), printed as min/median/max with the ratios pair by pair.

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "FrameScaler.h"
#include "Interleaved.h"

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/time.h>
#include <libswscale/swscale.h>
}

#include "CaptureInputSource.h"
#include "medialib/Vorq_Medialib.h"

namespace {

constexpr int kRate = 30;
constexpr int kDistinctPictures = 30; // numbered 0..29, the marker's grey level
constexpr int kMarker = 48;           // marker block size in pixels

int64_t threadCpuUs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

int64_t processCpuUs()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

int markerGrey(int index)
{
    return 8 + index * 8;
}

int markerIndex(int grey)
{
    return std::clamp(static_cast<int>(std::lround((grey - 8) / 8.0)), 0, kDistinctPictures - 1);
}

// Pre-encoded pictures of one size.
std::vector<std::vector<uint8_t>> encodePictures(int width, int height)
{
    std::vector<std::vector<uint8_t>> pictures;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    AVCodecContext* enc = avcodec_alloc_context3(codec);
    enc->width = width;
    enc->height = height;
    enc->pix_fmt = AV_PIX_FMT_YUVJ422P;
    enc->time_base = AVRational{1, kRate};
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = FF_QP2LAMBDA * 5;
    if (avcodec_open2(enc, codec, nullptr) < 0) {
        std::fprintf(stderr, "no MJPEG encoder\n");
        std::exit(1);
    }
    AVFrame* frame = av_frame_alloc();
    frame->format = enc->pix_fmt;
    frame->width = width;
    frame->height = height;
    av_frame_get_buffer(frame, 0);
    AVPacket* packet = av_packet_alloc();
    std::mt19937 noise(42);
    for (int i = 0; i < kDistinctPictures; ++i) {
        av_frame_make_writable(frame);
        for (int y = 0; y < height; ++y) {
            uint8_t* row = frame->data[0] + y * frame->linesize[0];
            for (int x = 0; x < width; ++x) {
                const bool marker = x < kMarker && y < kMarker;
                row[x] = marker ? markerGrey(i)
                                : static_cast<uint8_t>(std::clamp(
                                      ((x + y + i * 7) % 256) / 2 + 64 + static_cast<int>(noise() % 9) - 4, 0,
                                      255));
            }
        }
        for (int p = 1; p < 3; ++p)
            for (int y = 0; y < height; ++y) {
                uint8_t* row = frame->data[p] + y * frame->linesize[p];
                for (int x = 0; x < width / 2; ++x)
                    row[x] = (x * 2 < kMarker && y < kMarker) ? 128
                                                              : static_cast<uint8_t>(128 + noise() % 5 - 2);
            }
        frame->pts = i;
        avcodec_send_frame(enc, frame);
        while (avcodec_receive_packet(enc, packet) == 0) {
            pictures.emplace_back(packet->data, packet->data + packet->size);
            av_packet_unref(packet);
        }
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&enc);
    return pictures;
}

// Writes the pictures into a pipe as multipart JPEG, paced like a camera.
class PacedCamera {
public:
    PacedCamera(int width, int height) : pictures(encodePictures(width, height))
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) std::exit(1);
        readFd = fds[0];
        writeFd = fds[1];
        fcntl(writeFd, F_SETPIPE_SZ, 1 << 20);
        fcntl(writeFd, F_SETFL, O_NONBLOCK);
        size_t total = 0;
        for (const auto& p : pictures) total += p.size();
        averageBytes = total / pictures.size();
    }
    ~PacedCamera()
    {
        stop();
        if (readFd >= 0) close(readFd);
    }

    std::string url() const { return "pipe:" + std::to_string(readFd); }
    size_t pictureBytes() const { return averageBytes; }

    void start()
    {
        running = true;
        thread = std::thread([this] { run(); });
    }
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            running = false;
        }
        wake.notify_all();
        if (thread.joinable()) thread.join();
        if (writeFd >= 0) close(writeFd);
        writeFd = -1;
    }

    // Engine-clock time at which the newest picture with this number was sent.
    int64_t sentAt(int index) const { return sendTimes[static_cast<size_t>(index)].load(); }
    int64_t framesSent() const { return sent.load(); }
    int64_t cpuUs() const { return writerCpu.load(); }

private:
    void run()
    {
        const int64_t start = av_gettime_relative();
        int64_t n = 0;
        std::unique_lock<std::mutex> lock(mutex);
        while (running) {
            const int64_t due = start + n * 1000000 / kRate;
            // Paced like a sensor: a timed wait, cut short by stop().
            if (wake.wait_until(lock, std::chrono::steady_clock::time_point(std::chrono::microseconds(due)),
                                [this] { return !running; }))
                break;
            lock.unlock();
            const int index = static_cast<int>(n % kDistinctPictures);
            const auto& jpeg = pictures[static_cast<size_t>(index)];
            char header[128];
            const int h = std::snprintf(header, sizeof header,
                                        "--ffmpeg\r\nContent-type: image/jpeg\r\nContent-length: %zu\r\n\r\n",
                                        jpeg.size());
            sendTimes[static_cast<size_t>(index)] = av_gettime_relative();
            const bool ok = writeAll(header, static_cast<size_t>(h)) && writeAll(jpeg.data(), jpeg.size()) &&
                            writeAll("\r\n", 2);
            ++sent;
            ++n;
            writerCpu = threadCpuUs();
            lock.lock();
            if (!ok) break;
        }
    }

    // Gives up when stop() is called while nobody reads the pipe any more.
    bool writeAll(const void* data, size_t size)
    {
        const auto* p = static_cast<const uint8_t*>(data);
        while (size > 0) {
            const ssize_t n = write(writeFd, p, size);
            if (n > 0) {
                p += n;
                size -= static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN) return false;
            pollfd out{writeFd, POLLOUT, 0};
            poll(&out, 1, 50);
            std::lock_guard<std::mutex> lock(mutex);
            if (!running) return false;
        }
        return true;
    }

    std::vector<std::vector<uint8_t>> pictures;
    size_t averageBytes = 0;
    int readFd = -1;
    int writeFd = -1;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool running = false;
    std::atomic<int64_t> sendTimes[kDistinctPictures] = {};
    std::atomic<int64_t> sent{0};
    std::atomic<int64_t> writerCpu{0};
};

// The engine's clock is av_gettime_relative; steady_clock is the same clock
// on Linux, which the pacing above relies on.
void checkClocks()
{
    const int64_t a = av_gettime_relative();
    const int64_t b =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    if (std::llabs(a - b) > 10000) {
        std::fprintf(stderr, "steady_clock is not FFmpeg's monotonic clock\n");
        std::exit(1);
    }
}

struct AgeStats {
    std::vector<double> ms;
    void add(double v) { ms.push_back(v); }
    double percentile(double p)
    {
        if (ms.empty()) return 0;
        std::sort(ms.begin(), ms.end());
        return ms[std::min(ms.size() - 1, static_cast<size_t>(p * ms.size()))];
    }
    double mean() const
    {
        double s = 0;
        for (double v : ms) s += v;
        return ms.empty() ? 0 : s / ms.size();
    }
};

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void installInputs(const PacedCamera& camera, bool withMicrophone)
{
    const std::string url = camera.url();
    vorq::media::CaptureInputSource::setForTesting(
        [url](const std::string&, int, const vorq::platform::VideoRequest&, vorq::platform::CaptureInput& out) {
            out = {"mpjpeg", url, {}};
            return 0;
        },
        [withMicrophone](const std::string&, int, vorq::platform::CaptureInput& out) {
            if (!withMicrophone) return ENOENT;
            out = {"lavfi", "sine=frequency=440:sample_rate=48000:samples_per_frame=960,"
                            "aformat=channel_layouts=stereo,arealtime",
                   {}};
            return 0;
        });
}

struct PreviewFigures {
    double fps = 0;
    double cpuPerFrameMs = 0;
    double ageMeanMs = 0;
    double age95Ms = 0;
    double ageMaxMs = 0;
};

PreviewFigures enginePreview(int width, int height, int seconds)
{
    PacedCamera camera(width, height);
    installInputs(camera, false);
    Vorq_Medialib engine;
    engine.SetCapture("bench camera", 0);
    engine.SetVideoSize(std::to_string(width) + "x" + std::to_string(height));
    int64_t delivered = 0;
    bool measuring = false;
    AgeStats ages;
    QObject::connect(&engine, &Vorq_Medialib::frameBuffer, &engine, [&](uint8_t* buffer, int w, int) {
        if (!measuring) return;
        const int index = markerIndex(buffer[(kMarker / 2 * w + kMarker / 2) * 3]);
        ages.add((av_gettime_relative() - camera.sentAt(index)) / 1000.0);
        ++delivered;
    });
    camera.start();
    engine.StartCapture();
    if (!engine.CaptureIsOpen()) {
        std::fprintf(stderr, "engine could not open the paced camera\n");
        std::exit(1);
    }
    runEventLoopFor(1000); // settle
    measuring = true;
    const int64_t cpu0 = processCpuUs() - camera.cpuUs();
    const int64_t wall0 = av_gettime_relative();
    runEventLoopFor(seconds * 1000);
    const int64_t cpu1 = processCpuUs() - camera.cpuUs();
    const int64_t wall1 = av_gettime_relative();
    measuring = false;
    engine.StopCapture();
    camera.stop();
    vorq::media::CaptureInputSource::setForTesting({}, {});

    PreviewFigures f;
    f.fps = delivered * 1e6 / static_cast<double>(wall1 - wall0);
    f.cpuPerFrameMs = delivered ? (cpu1 - cpu0) / 1000.0 / static_cast<double>(delivered) : 0;
    f.ageMeanMs = ages.mean();
    f.age95Ms = ages.percentile(0.95);
    f.ageMaxMs = ages.percentile(1.0);
    return f;
}

// The same stream, read, decoded and converted to RGB24 in one plain loop.
PreviewFigures plainLoop(int width, int height, int seconds)
{
    PacedCamera camera(width, height);
    camera.start();
    AVFormatContext* input = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "fflags", "nobuffer", 0);
    if (avformat_open_input(&input, camera.url().c_str(), av_find_input_format("mpjpeg"), &options) < 0) {
        std::fprintf(stderr, "plain loop could not open the stream\n");
        std::exit(1);
    }
    av_dict_free(&options);
    avformat_find_stream_info(input, nullptr);
    AVStream* stream = input->streams[0];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, stream->codecpar);
    avcodec_open2(decoder, codec, nullptr);
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    uint8_t* planes[4] = {rgb.data()};
    int strides[4] = {width * 3};
    vorq::media::FrameScaler scaler(width, height, AV_PIX_FMT_RGB24, SWS_BICUBIC);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();

    std::atomic<bool> measuring{false};
    std::atomic<bool> done{false};
    int64_t delivered = 0;
    AgeStats ages;
    int64_t cpu0 = 0, cpu1 = 0, wall0 = 0, wall1 = 0;
    std::thread timer([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        cpu0 = processCpuUs() - camera.cpuUs();
        wall0 = av_gettime_relative();
        measuring = true;
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        measuring = false;
        cpu1 = processCpuUs() - camera.cpuUs();
        wall1 = av_gettime_relative();
        done = true;
    });
    while (!done && av_read_frame(input, packet) >= 0) {
        avcodec_send_packet(decoder, packet);
        av_packet_unref(packet);
        while (avcodec_receive_frame(decoder, frame) == 0) {
            // One context for the stream, as the engine keeps it.
            scaler.scale(*frame, planes, strides);
            if (measuring) {
                const int index = markerIndex(rgb[static_cast<size_t>((kMarker / 2 * width + kMarker / 2) * 3)]);
                ages.add((av_gettime_relative() - camera.sentAt(index)) / 1000.0);
                ++delivered;
            }
            av_frame_unref(frame);
        }
    }
    timer.join();
    camera.stop();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&input);

    PreviewFigures f;
    f.fps = delivered * 1e6 / static_cast<double>(wall1 - wall0);
    f.cpuPerFrameMs = delivered ? (cpu1 - cpu0) / 1000.0 / static_cast<double>(delivered) : 0;
    f.ageMeanMs = ages.mean();
    f.age95Ms = ages.percentile(0.95);
    f.ageMaxMs = ages.percentile(1.0);
    return f;
}

void benchPreview(int seconds, int pairs)
{
    std::printf("Preview, MJPEG 4:2:2 at %d frames/s, %d s per run; baseline: the same stream read, decoded and "
                "converted to RGB24 in one plain FFmpeg loop\n",
                kRate, seconds);
    const int sizes[][2] = {{800, 600}, {1280, 720}, {1920, 1080}};
    for (const auto& s : sizes) {
        bench::Pairs cpu;
        std::vector<double> fps, ageMedian, age95, ageMax;
        for (int i = 0; i < pairs; ++i) {
            const PreviewFigures plain = plainLoop(s[0], s[1], seconds);
            const PreviewFigures engine = enginePreview(s[0], s[1], seconds);
            cpu.add(plain.cpuPerFrameMs, engine.cpuPerFrameMs);
            fps.push_back(engine.fps);
            ageMedian.push_back(engine.ageMeanMs);
            age95.push_back(engine.age95Ms);
            ageMax.push_back(engine.ageMaxMs);
        }
        const std::string title = std::to_string(s[0]) + "x" + std::to_string(s[1]) + " (" +
                                  std::to_string(PacedCamera(s[0], s[1]).pictureBytes() / 1024) +
                                  " KB a picture), CPU per frame";
        cpu.print(title.c_str(), "plain FFmpeg loop", "media engine", "ms");
        const bench::Spread f = bench::spreadOf(fps);
        std::printf("  engine frames/s min %.2f median %.2f max %.2f; picture age at frameBuffer (median of runs): "
                    "mean %.1f ms, p95 %.1f ms, max %.1f ms\n",
                    f.min, f.median, f.max, bench::spreadOf(ageMedian).median, bench::spreadOf(age95).median,
                    bench::spreadOf(ageMax).median);
        std::fflush(stdout);
    }
}

int64_t videoPacketsIn(const std::string& path)
{
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) return -1;
    avformat_find_stream_info(input, nullptr);
    const int video = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    int64_t count = 0;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == video) ++count;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&input);
    return count;
}

struct RecordFigures {
    double cpuPercent = 0;
    int64_t sent = 0;
    int64_t inFile = 0;
};

// The engine previewing the paced camera for `seconds`; record: also recording
// it with a microphone.
RecordFigures engineRun(int width, int height, int seconds, bool record)
{
    PacedCamera camera(width, height);
    installInputs(camera, true);
    Vorq_Medialib engine;
    engine.SetCapture("bench camera", 0);
    engine.SetVideoSize(std::to_string(width) + "x" + std::to_string(height));
    QObject::connect(&engine, &Vorq_Medialib::frameBuffer, &engine, [](uint8_t*, int, int) {});
    camera.start();
    engine.StartCapture();
    runEventLoopFor(1000);
    char path[] = "/tmp/bench-media-XXXXXX.mp4";
    const int fd = mkstemps(path, 4);
    if (fd >= 0) close(fd);
    engine.SetCaptureMicrophone("bench microphone", 0);
    engine.SetRecordFileName(path);
    const int64_t cpu0 = processCpuUs() - camera.cpuUs();
    const int64_t wall0 = av_gettime_relative();
    if (record && engine.StartRecord() != 1) {
        std::fprintf(stderr, "recording did not start\n");
        std::exit(1);
    }
    const int64_t sent0 = camera.framesSent();
    runEventLoopFor(seconds * 1000);
    const int64_t sent1 = camera.framesSent();
    if (record) engine.StopRecord();
    const int64_t cpu1 = processCpuUs() - camera.cpuUs();
    const int64_t wall1 = av_gettime_relative();
    engine.StopCapture();
    camera.stop();
    vorq::media::CaptureInputSource::setForTesting({}, {});
    RecordFigures r;
    r.inFile = record ? videoPacketsIn(path) : 0;
    std::remove(path);
    r.sent = sent1 - sent0;
    r.cpuPercent = 100.0 * static_cast<double>(cpu1 - cpu0) / static_cast<double>(wall1 - wall0);
    return r;
}

void benchRecord(int seconds, int pairs)
{
    std::printf("Recording, MJPEG 4:2:2 at %d frames/s plus a 48 kHz stereo microphone, %d s per run; baseline: "
                "the engine previewing the same camera without recording\n",
                kRate, seconds);
    const int sizes[][2] = {{800, 600}, {1280, 720}};
    for (const auto& s : sizes) {
        bench::Pairs cpu;
        std::vector<double> kept;
        for (int i = 0; i < pairs; ++i) {
            const RecordFigures preview = engineRun(s[0], s[1], seconds, false);
            const RecordFigures recording = engineRun(s[0], s[1], seconds, true);
            cpu.add(preview.cpuPercent, recording.cpuPercent);
            kept.push_back(recording.sent ? 100.0 * static_cast<double>(recording.inFile) / recording.sent : 0);
        }
        const std::string title = std::to_string(s[0]) + "x" + std::to_string(s[1]) + ", process CPU";
        cpu.print(title.c_str(), "engine previewing", "engine recording", "% of a core");
        const bench::Spread k = bench::spreadOf(kept);
        std::printf("  camera frames kept in the file: min %.1f %%, median %.1f %%, max %.1f %%\n", k.min, k.median,
                    k.max);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules("vorq.medialib.debug=false");
    checkClocks();
    const std::string what = argc > 1 ? argv[1] : "all";
    const int pairs = argc > 3 ? std::max(3, std::atoi(argv[3])) : 3;
    std::printf("load average before: %s\n", bench::loadAverage().c_str());
    if (what == "preview" || what == "all") benchPreview(argc > 2 ? std::atoi(argv[2]) : 10, pairs);
    if (what == "record" || what == "all") benchRecord(argc > 2 ? std::atoi(argv[2]) : 20, pairs);
    std::printf("load average after: %s\n", bench::loadAverage().c_str());
    return 0;
}

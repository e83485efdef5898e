// Media engine figures: preview rate, CPU per frame against a plain FFmpeg
// decode-and-convert loop, age of a picture at frameBuffer, and the share of
// camera frames a recording keeps.
//
// The camera is an MJPEG stream (4:2:2, noisy, like a UVC camera sends it)
// written into a pipe at 30 frames per second; each picture carries its number
// in a flat block in the top-left corner, so a receiver knows when it was sent.
//
//   bench_media [preview|record|record1080|all] [seconds] [pairs]

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

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
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
#include "PacedCamera.h"
#include "medialib/Vorq_Medialib.h"

namespace {

using bench::PacedCamera;

constexpr int kRate = 30;
constexpr int kDistinctPictures = 30; // numbered 0..29, the marker's grey level
constexpr int kMarker = 48;           // marker block size in pixels

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
    PacedCamera camera(encodePictures(width, height));
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
    PacedCamera camera(encodePictures(width, height));
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
    SwsContext* scaler = nullptr;
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
            scaler = sws_getCachedContext(scaler, frame->width, frame->height,
                                          static_cast<AVPixelFormat>(frame->format), width, height,
                                          AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr);
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
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
    sws_freeContext(scaler);
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

void benchPreview(int seconds)
{
    std::printf("Preview, MJPEG 4:2:2 at %d frames/s, %d s per run\n", kRate, seconds);
    std::printf("%-10s %8s | %7s %9s %9s %9s %9s | %9s %9s | %6s\n", "size", "jpeg KB", "fps", "ms CPU/f",
                "age mean", "age p95", "age max", "plain fps", "plain ms", "ratio");
    const int sizes[][2] = {{800, 600}, {1280, 720}, {1920, 1080}};
    for (const auto& s : sizes) {
        const PreviewFigures engine = enginePreview(s[0], s[1], seconds);
        const PreviewFigures plain = plainLoop(s[0], s[1], seconds);
        const size_t kb = PacedCamera(encodePictures(s[0], s[1])).pictureBytes() / 1024;
        std::printf("%4dx%-5d %8zu | %7.2f %9.2f %9.1f %9.1f %9.1f | %9.2f %9.2f | %6.2f\n", s[0], s[1], kb,
                    engine.fps, engine.cpuPerFrameMs, engine.ageMeanMs, engine.age95Ms, engine.ageMaxMs, plain.fps,
                    plain.cpuPerFrameMs, plain.cpuPerFrameMs > 0 ? engine.cpuPerFrameMs / plain.cpuPerFrameMs : 0);
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

// The preset the engine's video encoder settled on, from its log.
std::mutex presetMutex;
std::string settledPreset = "fast";

void engineLog(QtMsgType, const QMessageLogContext&, const QString& message)
{
    const int arrow = message.lastIndexOf(QStringLiteral("-> "));
    if (!message.contains(QStringLiteral("preset")) || arrow < 0) return;
    std::lock_guard<std::mutex> lock(presetMutex);
    settledPreset = message.mid(arrow + 3).trimmed().toStdString();
}

struct RecordFigures {
    double cpuSeconds = 0;
    int64_t offered = 0;
    int64_t inFile = 0;
    double stopMs = 0; // StopRecord: drain, trailer and finishing the file
};

std::string scratchFile()
{
    char path[] = "/tmp/bench-media-XXXXXX.mp4";
    const int fd = mkstemps(path, 4);
    if (fd >= 0) close(fd);
    return path;
}

RecordFigures engineRecord(int width, int height, int seconds)
{
    {
        std::lock_guard<std::mutex> lock(presetMutex);
        settledPreset = "fast";
    }
    PacedCamera camera(encodePictures(width, height));
    installInputs(camera, true);
    Vorq_Medialib engine;
    engine.SetCapture("bench camera", 0);
    engine.SetVideoSize(std::to_string(width) + "x" + std::to_string(height));
    camera.start();
    engine.StartCapture();
    runEventLoopFor(1000);
    const std::string path = scratchFile();
    engine.SetCaptureMicrophone("bench microphone", 0);
    engine.SetRecordFileName(path);
    const int64_t cpu0 = processCpuUs() - camera.cpuUs();
    if (engine.StartRecord() != 1) {
        std::fprintf(stderr, "recording did not start\n");
        std::exit(1);
    }
    const int64_t sent0 = camera.framesSent();
    runEventLoopFor(seconds * 1000);
    const int64_t sent1 = camera.framesSent();
    const int64_t stop0 = av_gettime_relative();
    engine.StopRecord();
    RecordFigures f;
    f.stopMs = (av_gettime_relative() - stop0) / 1000.0;
    f.cpuSeconds = (processCpuUs() - camera.cpuUs() - cpu0) / 1e6;
    engine.StopCapture();
    camera.stop();
    vorq::media::CaptureInputSource::setForTesting({}, {});
    f.inFile = videoPacketsIn(path);
    f.offered = sent1 - sent0;
    std::remove(path.c_str());
    return f;
}

// The ffmpeg command line doing the same job on the same stream: H.264 and
// AAC into fragmented MP4 with the same encoder settings.
RecordFigures ffmpegRecord(int width, int height, int seconds, const std::string& preset)
{
    PacedCamera camera(encodePictures(width, height));
    const std::string path = scratchFile();
    const std::string command =
        "exec ffmpeg -nostdin -v error -y -fflags nobuffer -f mpjpeg -i 'pipe:3' -f lavfi -i "
        "'sine=frequency=440:sample_rate=48000:samples_per_frame=960,aformat=channel_layouts=stereo,arealtime' "
        "-map 0:v -map 1:a -fps_mode passthrough -c:v libx264 -preset " +
        preset + " -tune zerolatency -crf 23 -pix_fmt yuv420p -g 60 -c:a aac -b:a 128k -movflags "
                 "frag_keyframe+empty_moov+default_base_moof '" +
        path + "'";
    const int readFd = std::atoi(camera.url().c_str() + 5);
    camera.start();
    const pid_t child = fork();
    if (child == 0) {
        if (readFd == 3)
            fcntl(3, F_SETFD, 0);
        else
            dup2(readFd, 3);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const int64_t sent0 = camera.framesSent();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const int64_t sent1 = camera.framesSent();
    const int64_t stop0 = av_gettime_relative();
    kill(child, SIGINT); // ffmpeg ends its file as on 'q'
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    RecordFigures f;
    f.stopMs = (av_gettime_relative() - stop0) / 1000.0;
    camera.stop();
    f.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    // Its CPU covers one more second (the start) than the offered frames.
    f.cpuSeconds *= static_cast<double>(seconds) / (seconds + 1);
    f.inFile = videoPacketsIn(path) * seconds / (seconds + 1);
    f.offered = sent1 - sent0;
    std::remove(path.c_str());
    return f;
}

void printSpread(const char* label, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    std::printf("  %-34s min %6.3f  median %6.3f  max %6.3f\n", label, values.front(), values[values.size() / 2],
                values.back());
}

void benchRecord(int seconds, int pairs, const std::vector<std::pair<int, int>>& sizes)
{
    std::printf("Recording, MJPEG 4:2:2 at %d frames/s plus a 48 kHz stereo microphone, %d s per run, %d pairs "
                "(engine, then ffmpeg at the preset the engine settled on, -tune zerolatency -crf 23, AAC 128k)\n",
                kRate, seconds, pairs);
    for (const auto& s : sizes) {
        std::vector<double> ratios, kept, ffKept, stopPerMinute;
        for (int pair = 0; pair < pairs; ++pair) {
            const RecordFigures e = engineRecord(s.first, s.second, seconds);
            std::string preset;
            {
                std::lock_guard<std::mutex> lock(presetMutex);
                preset = settledPreset;
            }
            const RecordFigures f = ffmpegRecord(s.first, s.second, seconds, preset);
            std::printf("%4dx%-5d pair %d: engine %.1f CPU s, %lld/%lld frames, stop %.0f ms, preset %s | ffmpeg "
                        "%.1f CPU s, %lld/%lld frames\n",
                        s.first, s.second, pair + 1, e.cpuSeconds, static_cast<long long>(e.inFile),
                        static_cast<long long>(e.offered), e.stopMs, preset.c_str(), f.cpuSeconds,
                        static_cast<long long>(f.inFile), static_cast<long long>(f.offered));
            std::fflush(stdout);
            // Per picture in the file: the two may not have taken equally many.
            ratios.push_back(f.cpuSeconds > 0 && e.inFile > 0 && f.inFile > 0
                                 ? (e.cpuSeconds / e.inFile) / (f.cpuSeconds / f.inFile)
                                 : 0);
            kept.push_back(e.offered ? 100.0 * e.inFile / e.offered : 0);
            ffKept.push_back(f.offered ? 100.0 * f.inFile / f.offered : 0);
            stopPerMinute.push_back(e.stopMs * 60.0 / seconds);
        }
        std::printf("%4dx%-5d\n", s.first, s.second);
        printSpread("CPU per picture, engine / ffmpeg", ratios);
        printSpread("engine frames kept %", kept);
        printSpread("ffmpeg frames kept % (approx.)", ffKept);
        printSpread("stop ms per minute recorded", stopPerMinute);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(engineLog);
    checkClocks();
    const std::string what = argc > 1 ? argv[1] : "all";
    if (what == "preview" || what == "all") benchPreview(argc > 2 ? std::atoi(argv[2]) : 10);

    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const int pairs = argc > 3 ? std::atoi(argv[3]) : 3;
    if (what == "record" || what == "all") benchRecord(seconds, pairs, {{800, 600}, {1280, 720}});
    if (what == "record1080" || what == "all") benchRecord(seconds, pairs, {{1920, 1080}});
    return 0;
}

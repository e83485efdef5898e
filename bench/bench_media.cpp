// Media engine figures, each in interleaved pairs: the engine's run, then its
// baseline on the same stream right after it, pair by pair, at least three
// pairs; both runs and the ratios pair by pair as min/median/max.
//
// The camera is an MJPEG stream (4:2:2, noisy, like a UVC camera sends it)
// written into a pipe at 30 frames per second; each picture carries its number
// in a flat block in the top-left corner, so a receiver knows when it was sent.
// The pipe writer's CPU is left out of this process's figures.
//
//   - Preview (800x600, 1280x720, 1920x1080): the engine delivering RGB24
//     pictures at frameBuffer, against the same stream read, decoded and
//     converted to RGB24 in one plain FFmpeg loop: CPU per frame, frames per
//     second, and a picture's age when it arrives (mean, p95, max).
//   - Recording (800x600 and 1280x720; 1920x1080 on its own): the engine
//     previewing and recording with a 48 kHz stereo microphone, against the
//     ffmpeg command line recording the same stream and sound to fragmented
//     MP4 with the same encoder settings, at the preset the engine settled on
//     in that pair: CPU per picture in the file (the two need not keep equally
//     many), the share of the camera's frames in the file, and the time from
//     the stop request to the finished file per minute recorded. ffmpeg's
//     figures cover one second more (its start) and are scaled to match.
//
//   bench_media [preview|record|record1080|all] [seconds per run] [pairs, at least 3]
//   (seconds per run: 10 for preview and 60 for recording unless given)

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
#include "Interleaved.h"
#include "PacedCamera.h"
#include "medialib/Vorq_Medialib.h"

namespace {

using bench::PacedCamera;
using Pictures = std::vector<std::vector<uint8_t>>;

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
Pictures encodePictures(int width, int height)
{
    Pictures pictures;
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

PreviewFigures enginePreview(const Pictures& pictures, int width, int height, int seconds)
{
    PacedCamera camera(pictures);
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
PreviewFigures plainLoop(const Pictures& pictures, int width, int height, int seconds)
{
    PacedCamera camera(pictures);
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

void benchPreview(int seconds, int pairs)
{
    std::printf("Preview, MJPEG 4:2:2 at %d frames/s, %d s per run, %d pairs (the engine, then a plain FFmpeg loop "
                "reading, decoding and converting the same stream to RGB24)\n",
                kRate, seconds, pairs);
    const int sizes[][2] = {{800, 600}, {1280, 720}, {1920, 1080}};
    for (const auto& s : sizes) {
        const Pictures pictures = encodePictures(s[0], s[1]);
        bench::Pairs cpu, fps, ageMean, age95, ageMax;
        for (int pair = 0; pair < pairs; ++pair) {
            const PreviewFigures engine = enginePreview(pictures, s[0], s[1], seconds);
            const PreviewFigures plain = plainLoop(pictures, s[0], s[1], seconds);
            std::printf("%4dx%-5d pair %d: engine %.2f frames/s, %.2f ms CPU/frame, age mean %.1f ms | plain loop "
                        "%.2f frames/s, %.2f ms CPU/frame, age mean %.1f ms\n",
                        s[0], s[1], pair + 1, engine.fps, engine.cpuPerFrameMs, engine.ageMeanMs, plain.fps,
                        plain.cpuPerFrameMs, plain.ageMeanMs);
            std::fflush(stdout);
            cpu.add(plain.cpuPerFrameMs, engine.cpuPerFrameMs);
            fps.add(plain.fps, engine.fps);
            ageMean.add(plain.ageMeanMs, engine.ageMeanMs);
            age95.add(plain.age95Ms, engine.age95Ms);
            ageMax.add(plain.ageMaxMs, engine.ageMaxMs);
        }
        std::printf("%4dx%-5d, %zu KB a picture\n", s[0], s[1], PacedCamera(pictures).pictureBytes() / 1024);
        cpu.print("CPU per frame", "plain FFmpeg loop", "media engine", "ms");
        fps.print("Frames per second", "plain FFmpeg loop", "media engine", "frames/s");
        ageMean.print("Picture age at delivery, mean", "plain FFmpeg loop", "media engine (frameBuffer)", "ms");
        age95.print("Picture age at delivery, p95", "plain FFmpeg loop", "media engine (frameBuffer)", "ms");
        ageMax.print("Picture age at delivery, max", "plain FFmpeg loop", "media engine (frameBuffer)", "ms");
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

RecordFigures engineRecord(const Pictures& pictures, int width, int height, int seconds)
{
    {
        std::lock_guard<std::mutex> lock(presetMutex);
        settledPreset = "fast";
    }
    PacedCamera camera(pictures);
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
RecordFigures ffmpegRecord(const Pictures& pictures, int seconds, const std::string& preset)
{
    PacedCamera camera(pictures);
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

void benchRecord(int seconds, int pairs, const std::vector<std::pair<int, int>>& sizes)
{
    std::printf("Recording, MJPEG 4:2:2 at %d frames/s plus a 48 kHz stereo microphone, %d s per run, %d pairs "
                "(engine, then ffmpeg at the preset the engine settled on, -tune zerolatency -crf 23, AAC 128k)\n",
                kRate, seconds, pairs);
    for (const auto& s : sizes) {
        const Pictures pictures = encodePictures(s.first, s.second);
        bench::Pairs cpu, kept, stop;
        for (int pair = 0; pair < pairs; ++pair) {
            const RecordFigures e = engineRecord(pictures, s.first, s.second, seconds);
            std::string preset;
            {
                std::lock_guard<std::mutex> lock(presetMutex);
                preset = settledPreset;
            }
            const RecordFigures f = ffmpegRecord(pictures, seconds, preset);
            std::printf("%4dx%-5d pair %d: engine %.1f CPU s, %lld/%lld frames, stop %.0f ms, preset %s | ffmpeg "
                        "%.1f CPU s, %lld/%lld frames, stop %.0f ms\n",
                        s.first, s.second, pair + 1, e.cpuSeconds, static_cast<long long>(e.inFile),
                        static_cast<long long>(e.offered), e.stopMs, preset.c_str(), f.cpuSeconds,
                        static_cast<long long>(f.inFile), static_cast<long long>(f.offered), f.stopMs);
            std::fflush(stdout);
            // Per picture in the file: the two may not have taken equally many.
            if (e.inFile > 0 && f.inFile > 0) cpu.add(f.cpuSeconds * 1000 / f.inFile, e.cpuSeconds * 1000 / e.inFile);
            kept.add(f.offered ? 100.0 * f.inFile / f.offered : 0, e.offered ? 100.0 * e.inFile / e.offered : 0);
            // ffmpeg's file holds one second more.
            stop.add(f.stopMs * 60.0 / (seconds + 1), e.stopMs * 60.0 / seconds);
        }
        std::printf("%4dx%-5d\n", s.first, s.second);
        cpu.print("CPU per picture in the file", "ffmpeg command line", "media engine", "ms");
        kept.print("Camera frames kept in the file", "ffmpeg command line (approx)", "media engine", "%");
        stop.print("Stop to finished file, per minute recorded", "ffmpeg command line", "media engine", "ms");
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(engineLog);
    checkClocks();
    const std::string what = argc > 1 ? argv[1] : "all";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 0;
    const int pairs = argc > 3 ? std::max(3, std::atoi(argv[3])) : 3;
    const bool known = what == "preview" || what == "record" || what == "record1080" || what == "all";
    if (!known || (argc > 2 && seconds <= 0)) {
        std::fprintf(stderr, "usage: bench_media [preview|record|record1080|all] [seconds per run] [pairs]\n");
        return 2;
    }
    std::printf("load average before: %s\n", bench::loadAverage().c_str());
    if (what == "preview" || what == "all") benchPreview(seconds > 0 ? seconds : 10, pairs);
    const int recordSeconds = seconds > 0 ? seconds : 60;
    if (what == "record" || what == "all") benchRecord(recordSeconds, pairs, {{800, 600}, {1280, 720}});
    if (what == "record1080" || what == "all") benchRecord(recordSeconds, pairs, {{1920, 1080}});
    std::printf("load average after: %s\n", bench::loadAverage().c_str());
    return 0;
}

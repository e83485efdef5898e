#include "Vorq_FFmpegVideo.h"

#include <QMutexLocker>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/time.h>
}

#include "MediaLog.h"
#include "WriteLock.h"

using namespace vorq::media;

namespace {
// Video time base of the encoder and the file: the usual 90 kHz clock, fine
// enough for wall-clock stamps.
constexpr AVRational kVideoTimeBase{1, 90000};
constexpr AVRational kMicroseconds{1, 1000000};
// A key frame every two seconds: each fragment of the file starts on one, so
// players seek to any point quickly, also in a file cut short by a crash.
constexpr int kKeyFrameSeconds = 2;

// Test hook: makes each picture take this long to encode at the first
// preset, half as long at each faster one.
int64_t encodeDelayForTesting()
{
    const char* value = std::getenv("VORQ_MEDIA_TEST_ENCODE_DELAY_US");
    return value ? std::atoll(value) : 0;
}

// Makes `to` a new reference to the pixels of `from`, with nothing else of
// it: the encoder then sees what it would see of a converted picture (no
// decoder flags, side data or time stamps of the camera's frame).
bool referencePixels(const AVFrame& from, AVFrame& to)
{
    av_frame_unref(&to);
    to.format = from.format;
    to.width = from.width;
    to.height = from.height;
    for (int i = 0; i < AV_NUM_DATA_POINTERS; ++i) {
        if (from.buf[i]) {
            to.buf[i] = av_buffer_ref(from.buf[i]);
            if (!to.buf[i]) {
                av_frame_unref(&to);
                return false;
            }
        }
        to.data[i] = from.data[i];
        to.linesize[i] = from.linesize[i];
    }
    to.extended_data = to.data;
    return true;
}
} // namespace

Vorq_FFmpegVideo::Vorq_FFmpegVideo(AVFormatContext* input, AVFormatContext* output, int videoIndex, int frameRate,
                                   const std::string& fileName)
    : QObject(nullptr), input(input), output(output), fileName(fileName), videoIndex(videoIndex),
      testDelayUs(encodeDelayForTesting())
{
    logInfo("init video...");
    destFrame.reset(av_frame_alloc());
    cameraPicture.reset(av_frame_alloc());
    packet.reset(av_packet_alloc());
    const AVCodecParameters* camera = (input && videoIndex >= 0 && static_cast<unsigned>(videoIndex) < input->nb_streams)
                                          ? input->streams[videoIndex]->codecpar
                                          : nullptr;
    if (destFrame && cameraPicture && packet && InitVideoEncoder(camera, frameRate) && AddVideoStream()) {
        destFrame->format = encoder->pix_fmt;
        destFrame->width = encoder->width;
        destFrame->height = encoder->height;
        ready = av_frame_get_buffer(destFrame.get(), 0) >= 0;
    }
    if (!ready) logError("initEncoderCodec error..\n");
}

Vorq_FFmpegVideo::~Vorq_FFmpegVideo()
{
    running = false;
}

bool Vorq_FFmpegVideo::InitVideoEncoder(const AVCodecParameters* camera, int frameRate)
{
    if (!camera || camera->width <= 0 || camera->height <= 0) return false;
    settings.width = camera->width;
    settings.height = camera->height;
    settings.frameRate = frameRate > 0 ? frameRate : 30;
    settings.timeBase = kVideoTimeBase;
    settings.aspect = camera->sample_aspect_ratio;
    settings.globalHeader = output->oformat->flags & AVFMT_GLOBALHEADER;
    settings.keyFrameSeconds = kKeyFrameSeconds;
    // About a second of pictures, and room for the first one, which takes
    // libx264 far longer than the rest.
    queueLimit = static_cast<size_t>(std::max(6, settings.frameRate * 3 / 2));

    int error = 0;
    for (const std::string& name : H264Encoder::hardwareCandidates()) {
        encoder = H264Encoder::openHardware(name, settings, error);
        if (encoder) {
            logInfo("Video encoder: %s\n", name.c_str());
            return true;
        }
        char text[AV_ERROR_MAX_STRING_SIZE] = {0};
        av_strerror(error, text, sizeof text);
        logInfo("Video encoder %s could not be opened (%s); using libx264\n", name.c_str(), text);
    }
    presetIndex = 0;
    encoder = H264Encoder::openSoftware(settings, H264Encoder::presets()[0], error);
    if (!encoder) {
        logError("open video codec failed\n");
        return false;
    }
    adaptive = true;
    warmUp = std::max(1, settings.frameRate / 3);
    logInfo("Video encoder: libx264, preset %s\n", H264Encoder::presets()[0].c_str());
    return true;
}

bool Vorq_FFmpegVideo::AddVideoStream()
{
    for (unsigned i = 0; i < input->nb_streams; ++i)
        if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) logInfo("have audio...");
    outStream = avformat_new_stream(output, nullptr);
    if (!outStream) return false;
    if (avcodec_parameters_from_context(outStream->codecpar, encoder.get()) < 0) {
        logError("copy codec context failed\n");
        return false;
    }
    outStream->time_base = encoder->time_base;
    if (encoder->framerate.num > 0) outStream->avg_frame_rate = encoder->framerate;
    logInfo("Audio:  Open output file success: %s", fileName.c_str());
    return true;
}

void Vorq_FFmpegVideo::vidoFrame(std::shared_ptr<AVFrame> _frame)
{
    if (!_frame) return;
    {
        std::lock_guard<std::mutex> lock(frameLock);
        if (latestFrames.size() >= queueLimit) {
            latestFrames.pop_front();
            ++dropped;
        }
        latestFrames.push_back(std::move(_frame));
    }
    frameReady.notify_one();
}

void Vorq_FFmpegVideo::start()
{
    running = true;
}

void Vorq_FFmpegVideo::stop()
{
    {
        std::lock_guard<std::mutex> lock(frameLock);
        running = false;
    }
    frameReady.notify_all();
}

void Vorq_FFmpegVideo::VideoEncodeLoop()
{
    logInfo("Start save video...");
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(frameLock);
            frameReady.wait(lock, [this] { return !latestFrames.empty() || !running; });
            if (latestFrames.empty()) break; // stopped, and everything queued is encoded
            // Stopping stays quick: a far-behind encoder finishes half a
            // second of what waits and leaves the rest.
            const size_t drainLimit = static_cast<size_t>(std::max(2, settings.frameRate / 2));
            while (!running && latestFrames.size() > drainLimit) {
                latestFrames.pop_back();
                ++dropped;
            }
        }
        QMutexLocker writeLocker(&writeLock);
        std::shared_ptr<AVFrame> frame;
        {
            std::lock_guard<std::mutex> lock(frameLock);
            if (latestFrames.empty()) continue;
            frame = std::move(latestFrames.front());
            latestFrames.pop_front();
        }
        logFrame("width is: %d , height is : %d ", frame->width, frame->height);
        if (!ready) continue;
        const int64_t begin = av_gettime_relative();
        encodeFrame(*frame);
        if (testDelayUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(testDelayUs >> presetIndex));
        if (adaptive) keepUp(av_gettime_relative() - begin);
    }
    if (dropped > 0) logInfo("Video encoder fell behind: %lld pictures were left out\n", static_cast<long long>(dropped.load()));
    logInfo("Video encoder: %lld pictures taken as the camera gave them, %lld converted\n",
            static_cast<long long>(passedAsIs), static_cast<long long>(converted));
    if (!ready) return;
    // Frames the encoder still holds belong in the file too.
    QMutexLocker writeLocker(&writeLock);
    Encode(nullptr);
}

void Vorq_FFmpegVideo::keepUp(int64_t encodeUs)
{
    // libx264 spends far longer on its first pictures (threads, tables):
    // a third of a second of them is not judged.
    if (warmUp > 0) {
        --warmUp;
        return;
    }
    busyUs += encodeUs;
    ++measured;
    // Judged every half second of pictures, or sooner when they are slow.
    if (measured < settings.frameRate / 2 && busyUs < 500000) return;
    size_t waiting = 0;
    {
        std::lock_guard<std::mutex> lock(frameLock);
        waiting = latestFrames.size();
    }
    const double perFrameUs = static_cast<double>(busyUs) / measured;
    const double intervalUs = 1e6 / settings.frameRate;
    busyUs = 0;
    measured = 0;
    // Behind: the encoder needs nearly all of each picture's time, or
    // pictures pile up (a quarter second's worth and it would soon lose some).
    if (perFrameUs < 0.85 * intervalUs && waiting < queueLimit / 4) return;
    const size_t last = H264Encoder::presets().size() - 1;
    if (presetIndex >= last) return;
    // Each step saves roughly a third; far behind, take several at once.
    size_t steps = 1;
    for (double cost = perFrameUs / 1.5; cost > 0.7 * intervalUs && presetIndex + steps < last; cost /= 1.5) ++steps;
    const std::string& from = H264Encoder::presets()[presetIndex];
    const std::string& next = H264Encoder::presets()[presetIndex + steps];
    int error = 0;
    vorq::media::CodecContextPtr faster = H264Encoder::openSoftware(settings, next, error);
    if (!faster) {
        adaptive = false;
        return;
    }
    // The file keeps its stream headers, so the new encoder must make the same ones.
    const bool sameHeaders = faster->extradata_size == encoder->extradata_size &&
                             (faster->extradata_size == 0 ||
                              std::memcmp(faster->extradata, encoder->extradata, faster->extradata_size) == 0);
    if (!sameHeaders) {
        logInfo("Video encoder: preset %s would change the stream headers; staying at %s\n", next.c_str(),
                from.c_str());
        adaptive = false;
        return;
    }
    logInfo("Video encoder falls behind (%.1f ms per picture, %.1f ms between pictures, %zu waiting): preset %s -> "
            "%s\n",
            perFrameUs / 1000, intervalUs / 1000, waiting, from.c_str(), next.c_str());
    Encode(nullptr); // what the old encoder still holds
    encoder = std::move(faster);
    presetIndex += steps;
    warmUp = std::max(1, settings.frameRate / 3);
}

bool Vorq_FFmpegVideo::takesAsIs(const AVFrame& frame) const
{
    // Full range needs the scaler's conversion to the limited range the
    // stream declares; a picture without a buffer of its own cannot be
    // referenced; rows stored bottom-up are left to the scaler, which takes
    // them, rather than to every encoder.
    if (frame.width != encoder->width || frame.height != encoder->height || frame.format != encoder->pix_fmt ||
        frame.color_range == AVCOL_RANGE_JPEG || !frame.buf[0])
        return false;
    const int planes = av_pix_fmt_count_planes(encoder->pix_fmt);
    if (planes <= 0) return false;
    for (int plane = 0; plane < planes; ++plane)
        if (!frame.data[plane] || frame.linesize[plane] <= 0) return false;
    return true;
}

void Vorq_FFmpegVideo::encodeFrame(const AVFrame& frame)
{
    if (frame.width <= 0 || frame.height <= 0 || frame.format < 0) return;
    AVFrame* picture = destFrame.get();
    if (takesAsIs(frame)) {
        // Already the encoder's picture: a reference, not a copy. The frame
        // is shared with the preview, so only the reference gets our fields.
        if (!referencePixels(frame, *cameraPicture)) return;
        picture = cameraPicture.get();
        ++passedAsIs;
    } else {
        if (!scaler)
            scaler = std::make_unique<FrameScaler>(encoder->width, encoder->height, encoder->pix_fmt, SWS_BICUBIC);
        // The encoder may still reference the previous picture.
        if (av_frame_make_writable(destFrame.get()) < 0) return;
        if (!scaler->scale(frame, destFrame->data, destFrame->linesize)) return;
        ++converted;
    }

    // Capture time relative to the start of the recording; strictly
    // increasing, as the container requires.
    const int64_t captured = frame.pts != AV_NOPTS_VALUE ? frame.pts : av_gettime_relative();
    int64_t pts = av_rescale_q(captured - timeOrigin, kMicroseconds, encoder->time_base);
    pts = std::max(pts, lastPts + 1);
    lastPts = pts;
    picture->pts = pts;
    // Also when the camera delivers fewer frames than asked for.
    const int64_t keyInterval = av_rescale_q(kKeyFrameSeconds, AVRational{1, 1}, encoder->time_base);
    picture->pict_type =
        (lastKeyPts < 0 || pts - lastKeyPts >= keyInterval) ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    Encode(picture);
    // The camera's buffer goes back as soon as the encoder has its copy.
    av_frame_unref(cameraPicture.get());
}

void Vorq_FFmpegVideo::Encode(AVFrame* frame)
{
    if (avcodec_send_frame(encoder.get(), frame) < 0) return;
    writePackets();
}

void Vorq_FFmpegVideo::writePackets()
{
    for (;;) {
        const int result = avcodec_receive_packet(encoder.get(), packet.get());
        if (result < 0) return; // EAGAIN: wants more input; EOF: drained
        if (packet->flags & AV_PKT_FLAG_KEY) lastKeyPts = packet->pts;
        av_packet_rescale_ts(packet.get(), encoder->time_base, outStream->time_base);
        packet->stream_index = outStream->index;
        logFrame("video write....");
        // The writer reports a failure once; the recording is then stopped.
        if (writer && writer->write(packet.get()) >= 0) {
            ++written;
            logFrame("video write ok....");
        }
        av_packet_unref(packet.get());
    }
}

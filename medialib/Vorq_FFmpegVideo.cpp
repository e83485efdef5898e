#include "Vorq_FFmpegVideo.h"

#include <QMutexLocker>

#include <algorithm>

extern "C" {
#include <libavutil/opt.h>
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
} // namespace

Vorq_FFmpegVideo::Vorq_FFmpegVideo(AVFormatContext* input, AVFormatContext* output, int videoIndex, int frameRate,
                                   const std::string& fileName)
    : QObject(nullptr), input(input), output(output), fileName(fileName), videoIndex(videoIndex)
{
    logInfo("init video...");
    destFrame.reset(av_frame_alloc());
    packet.reset(av_packet_alloc());
    const AVCodecParameters* camera = (input && videoIndex >= 0 && static_cast<unsigned>(videoIndex) < input->nb_streams)
                                          ? input->streams[videoIndex]->codecpar
                                          : nullptr;
    if (destFrame && packet && InitVideoEncoder(camera, frameRate) && AddVideoStream()) {
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
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!codec) return false;
    encoder.reset(avcodec_alloc_context3(codec));
    if (!encoder) return false;
    encoder->codec_id = codec->id;
    encoder->time_base = kVideoTimeBase;
    if (frameRate > 0) encoder->framerate = AVRational{frameRate, 1};
    encoder->pix_fmt = (codec->pix_fmts && codec->pix_fmts[0] != AV_PIX_FMT_NONE) ? codec->pix_fmts[0]
                                                                                    : AV_PIX_FMT_YUV420P;
    encoder->width = camera->width;
    encoder->height = camera->height;
    encoder->sample_aspect_ratio = camera->sample_aspect_ratio;
    if (output->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", "fast", 0);
    av_dict_set(&options, "tune", "zerolatency", 0);
    const int result = avcodec_open2(encoder.get(), codec, &options);
    av_dict_free(&options);
    if (result < 0) {
        logError("open video codec failed\n");
        return false;
    }
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
        if (latestFrames.size() >= kQueueDepth) latestFrames.pop_front();
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
        if (ready) encodeFrame(*frame);
    }
    if (!ready) return;
    // Frames the encoder still holds belong in the file too.
    QMutexLocker writeLocker(&writeLock);
    Encode(nullptr);
}

void Vorq_FFmpegVideo::encodeFrame(const AVFrame& frame)
{
    if (frame.width <= 0 || frame.height <= 0 || frame.format < 0) return;
    if (!scaler) scaler = std::make_unique<FrameScaler>(encoder->width, encoder->height, encoder->pix_fmt, SWS_BICUBIC);
    // The encoder may still reference the previous picture.
    if (av_frame_make_writable(destFrame.get()) < 0) return;
    if (!scaler->scale(frame, destFrame->data, destFrame->linesize)) return;

    // Capture time relative to the start of the recording; strictly
    // increasing, as the container requires.
    const int64_t captured = frame.pts != AV_NOPTS_VALUE ? frame.pts : av_gettime_relative();
    int64_t pts = av_rescale_q(captured - timeOrigin, kMicroseconds, encoder->time_base);
    pts = std::max(pts, lastPts + 1);
    lastPts = pts;
    destFrame->pts = pts;
    Encode(destFrame.get());
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
        av_packet_rescale_ts(packet.get(), encoder->time_base, outStream->time_base);
        packet->stream_index = outStream->index;
        logFrame("video write....");
        const int written_ = av_interleaved_write_frame(output, packet.get());
        if (written_ < 0) {
            char text[AV_ERROR_MAX_STRING_SIZE] = {0};
            av_strerror(written_, text, sizeof text);
            logError("Couldn't write video frame, error: %s\n", text);
        } else {
            ++written;
            logFrame("video write ok....");
        }
        av_packet_unref(packet.get());
    }
}

#include "Vorq_FFmpegImage.h"

#include <QMetaObject>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "MediaLog.h"

using namespace vorq::media;

Vorq_FFmpegImage::Vorq_FFmpegImage(AVCodecContext* decoder) : QObject(nullptr), decoder(decoder)
{
    InitPreview();
}

Vorq_FFmpegImage::~Vorq_FFmpegImage() = default;

void Vorq_FFmpegImage::InitPreview()
{
    if (!decoder) {
        logError("Codec not found.\n");
        return;
    }
    codec = avcodec_find_decoder(decoder->codec_id);
    if (!codec) {
        logError("Codec not found.\n");
        return;
    }
    if (avcodec_open2(decoder, codec, nullptr) < 0) {
        logError("Could not open codec.\n");
        return;
    }
    const int size = av_image_get_buffer_size(AV_PIX_FMT_RGB24, decoder->width, decoder->height, 1);
    if (size <= 0) {
        logError("Preview size %dx%d unusable\n", decoder->width, decoder->height);
        return;
    }
    rgbFrame.reset(av_frame_alloc());
    rgbBuffer.reset(static_cast<uint8_t*>(av_malloc(static_cast<size_t>(size))));
    if (!rgbFrame || !rgbBuffer) {
        rgbBuffer.reset();
        return;
    }
    av_image_fill_arrays(rgbFrame->data, rgbFrame->linesize, rgbBuffer.get(), AV_PIX_FMT_RGB24, decoder->width,
                         decoder->height, 1);
    pictureWidth = decoder->width;
    pictureHeight = decoder->height;
    logInfo("Preview init ok\n");
}

void Vorq_FFmpegImage::offerFrame(const std::shared_ptr<AVFrame>& frame)
{
    std::lock_guard<std::mutex> lock(pendingMutex);
    pending = frame;
    if (wakePosted) return;
    wakePosted = true;
    // Posted to this object: deleting the converter discards a wake not yet run.
    QMetaObject::invokeMethod(this, [this] { convertPending(); }, Qt::QueuedConnection);
}

void Vorq_FFmpegImage::convertPending()
{
    std::shared_ptr<AVFrame> frame;
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        frame.swap(pending);
        wakePosted = false;
    }
    if (frame) AVFram2QImage(std::move(frame));
}

void Vorq_FFmpegImage::AVFram2QImage(std::shared_ptr<AVFrame> frame)
{
    if (!frame || !rgbBuffer || frame->width <= 0 || frame->height <= 0 || frame->format < 0) return;
    // The scaler follows the frame, so a frame of another size or format than
    // the stream announced is scaled into the picture instead of overrunning it.
    scaler.reset(sws_getCachedContext(scaler.release(), frame->width, frame->height,
                                      static_cast<AVPixelFormat>(frame->format), pictureWidth, pictureHeight,
                                      AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler) return;
    sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, rgbFrame->data, rgbFrame->linesize);
    emit frameBuffer(rgbBuffer.get(), pictureWidth, pictureHeight);
}

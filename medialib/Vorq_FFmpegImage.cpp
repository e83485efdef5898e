#include "Vorq_FFmpegImage.h"

#include <QMetaObject>

#include <system_error>
#include <utility>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "MediaLog.h"

using namespace vorq::media;

Vorq_FFmpegImage::Vorq_FFmpegImage(AVCodecContext* decoder) : QObject(nullptr), decoder(decoder)
{
    InitPreview();
}

Vorq_FFmpegImage::~Vorq_FFmpegImage()
{
    {
        std::lock_guard<std::mutex> lock(mailboxMutex);
        stopping = true;
    }
    mailboxChanged.notify_all();
    // Joined before QObject's destructor drops the announcements still posted.
    if (converter.joinable()) converter.join();
}

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
    pool = PicturePool::create(static_cast<size_t>(size));
    scaler = std::make_unique<FrameScaler>(decoder->width, decoder->height, AV_PIX_FMT_RGB24, SWS_BICUBIC);
    try {
        converter = std::thread(&Vorq_FFmpegImage::convertLoop, this);
    } catch (const std::system_error& e) {
        logError("[thread error: %d]: Preview conversion not started\n", e.code().value());
        pool.reset();
        return;
    }
    pictureWidth = decoder->width;
    pictureHeight = decoder->height;
    logInfo("Preview init ok\n");
}

void Vorq_FFmpegImage::offerFrame(const std::shared_ptr<AVFrame>& frame)
{
    if (!frame) return;
    {
        std::lock_guard<std::mutex> lock(mailboxMutex);
        if (!converter.joinable() || stopping) return;
        pending = frame;
    }
    mailboxChanged.notify_one();
}

void Vorq_FFmpegImage::AVFram2QImage(std::shared_ptr<AVFrame> frame)
{
    offerFrame(frame);
}

std::shared_ptr<uint8_t> Vorq_FFmpegImage::convert(const AVFrame& frame)
{
    std::shared_ptr<uint8_t> picture = pool->take();
    if (!picture) return {};
    uint8_t* planes[4] = {};
    int strides[4] = {};
    if (av_image_fill_arrays(planes, strides, picture.get(), AV_PIX_FMT_RGB24, pictureWidth, pictureHeight, 1) < 0)
        return {};
    // The scaler follows the frame, so a frame of another size or format than
    // the stream announced is scaled into the picture instead of overrunning it.
    if (!scaler->scale(frame, planes, strides)) return {};
    return picture;
}

void Vorq_FFmpegImage::convertLoop()
{
    std::unique_lock<std::mutex> lock(mailboxMutex);
    for (;;) {
        mailboxChanged.wait(lock, [this] { return pending || stopping; });
        if (stopping) return;
        std::shared_ptr<AVFrame> frame = std::move(pending);
        pending.reset();
        lock.unlock();
        std::shared_ptr<uint8_t> picture = convert(*frame);
        frame.reset();
        lock.lock();
        if (!picture) continue;
        // An unannounced older picture goes back to the pool.
        ready = std::move(picture);
        if (announcePosted) continue;
        announcePosted = true;
        // Posted to this object: deleting the converter discards it.
        QMetaObject::invokeMethod(this, [this] { announceReady(); }, Qt::QueuedConnection);
    }
}

void Vorq_FFmpegImage::announceReady()
{
    std::shared_ptr<uint8_t> picture;
    {
        std::lock_guard<std::mutex> lock(mailboxMutex);
        picture = std::move(ready);
        ready.reset();
        announcePosted = false;
    }
    if (!picture) return;
    // Restored afterwards: a receiver that runs a nested event loop may see
    // the next picture announced inside its own emission.
    std::shared_ptr<uint8_t> outer = std::exchange(announcing, picture);
    emit frameBuffer(picture.get(), pictureWidth, pictureHeight);
    announcing = std::move(outer);
}

std::shared_ptr<const uint8_t> Vorq_FFmpegImage::holdPicture(const uint8_t* buffer) const
{
    if (!buffer || announcing.get() != buffer) return {};
    return announcing;
}

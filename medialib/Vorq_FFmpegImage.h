#pragma once

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "FFmpegPtr.h"
#include "FrameScaler.h"
#include "PicturePool.h"

// Turns decoded camera frames into the packed RGB24 preview picture. The
// conversion runs on the converter's own thread, so the thread that started
// the capture only announces finished pictures. Frames arrive from the
// capture thread through a one-frame mailbox and finished pictures wait in a
// one-picture slot: a busy receiver is handed the newest picture instead of a
// backlog.
class Vorq_FFmpegImage : public QObject {
    Q_OBJECT

public:
    // decoder: the camera stream's decoder context, owned by the capture
    // object; the converter opens it (the capture thread decodes with it).
    explicit Vorq_FFmpegImage(AVCodecContext* decoder);
    // Stops the conversion thread; pictures not yet announced are dropped.
    ~Vorq_FFmpegImage() override;

    // Capture thread: keeps the newest frame for the conversion thread.
    void offerFrame(const std::shared_ptr<AVFrame>& frame);

    int width() const { return pictureWidth; }
    int height() const { return pictureHeight; }

    // While frameBuffer is being emitted: the announced picture, kept for as
    // long as the caller holds it. Empty for any other buffer.
    std::shared_ptr<const uint8_t> holdPicture(const uint8_t* buffer) const;

public slots:
    void AVFram2QImage(std::shared_ptr<AVFrame> frame);

signals:
    void frameBuffer(uint8_t* buffer, int width, int height);

private:
    void InitPreview();
    void convertLoop();
    std::shared_ptr<uint8_t> convert(const AVFrame& frame);
    void announceReady();

    AVCodecContext* decoder;
    const AVCodec* codec = nullptr;
    int pictureWidth = 0;
    int pictureHeight = 0;
    std::unique_ptr<vorq::media::FrameScaler> scaler; // conversion thread only
    std::shared_ptr<vorq::media::PicturePool> pool;
    std::shared_ptr<uint8_t> announcing; // owner thread only

    std::mutex mailboxMutex;
    std::condition_variable mailboxChanged;
    std::shared_ptr<AVFrame> pending;
    std::shared_ptr<uint8_t> ready;
    bool announcePosted = false;
    bool stopping = false;
    std::thread converter;
};

#pragma once

#include <QObject>

#include <cstdint>
#include <memory>
#include <mutex>

#include "FFmpegPtr.h"

// Turns decoded camera frames into the packed RGB24 preview picture. Lives in
// the thread that started the capture; frames reach it from the capture thread
// through a one-frame mailbox, so a busy receiver is handed the newest frame
// instead of a backlog.
class Vorq_FFmpegImage : public QObject {
    Q_OBJECT

public:
    // decoder: the camera stream's decoder context, owned by the capture
    // object; the converter opens it (the capture thread decodes with it).
    explicit Vorq_FFmpegImage(AVCodecContext* decoder);
    ~Vorq_FFmpegImage() override;

    // Capture thread: keeps the newest frame and wakes the converter's thread
    // once for however many frames arrive before it gets to them.
    void offerFrame(const std::shared_ptr<AVFrame>& frame);

    int width() const { return pictureWidth; }
    int height() const { return pictureHeight; }

public slots:
    void AVFram2QImage(std::shared_ptr<AVFrame> frame);

signals:
    void frameBuffer(uint8_t* buffer, int width, int height);

private:
    void InitPreview();
    void convertPending();

    AVCodecContext* decoder;
    const AVCodec* codec = nullptr;
    vorq::media::FramePtr rgbFrame;
    vorq::media::SwsContextPtr scaler;
    vorq::media::BufferPtr rgbBuffer;
    int pictureWidth = 0;
    int pictureHeight = 0;

    std::mutex pendingMutex;
    std::shared_ptr<AVFrame> pending;
    bool wakePosted = false;
};

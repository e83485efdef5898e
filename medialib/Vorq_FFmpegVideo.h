#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "FFmpegPtr.h"
#include "FrameScaler.h"
#include "H264Encoder.h"
#include "RecordingWriter.h"

// The recording's video branch: an H.264 encoder sized like the camera
// stream, fed from a short queue of decoded camera frames, writing into the
// recording's container on its own thread.
class Vorq_FFmpegVideo : public QObject {
    Q_OBJECT

public:
    // frameRate: the rate the camera was asked for, a hint for the encoder's
    // rate control. The picture size is the camera stream's.
    Vorq_FFmpegVideo(AVFormatContext* input, AVFormatContext* output, int videoIndex, int frameRate,
                     const std::string& fileName);
    ~Vorq_FFmpegVideo() override;

    bool isReady() const { return ready; }
    // Engine time (microseconds) that becomes time 0 of the file.
    void setTimeOrigin(int64_t originUs) { timeOrigin = originUs; }

    // Where the packets go; set before start().
    void setWriter(vorq::media::RecordingWriter* w) { writer = w; }

    void start();
    // The loop encodes what is queued, drains the encoder and ends.
    void stop();
    void VideoEncodeLoop();

    int64_t framesWritten() const { return written.load(); }

public slots:
    void vidoFrame(std::shared_ptr<AVFrame> _frame);

signals:
    void videoPacket(std::shared_ptr<AVPacket>& packet);

private:
    bool InitVideoEncoder(const AVCodecParameters* camera, int frameRate);
    bool AddVideoStream();
    // True when the frame is already the picture the encoder takes.
    bool takesAsIs(const AVFrame& frame) const;
    void encodeFrame(const AVFrame& frame);
    // Moves libx264 to a faster preset when pictures take longer to encode
    // than they take to arrive; encodeUs: the last picture's time.
    void keepUp(int64_t encodeUs);
    void Encode(AVFrame* frame);
    void writePackets();

    std::atomic<bool> running{false};
    vorq::media::RecordingWriter* writer = nullptr;
    AVFormatContext* input;
    AVFormatContext* output;
    vorq::media::CodecContextPtr encoder;
    std::unique_ptr<vorq::media::FrameScaler> scaler;
    vorq::media::FramePtr destFrame;    // the scaler's output
    vorq::media::FramePtr cameraPicture; // a reference to a camera frame taken as it is
    vorq::media::PacketPtr packet;
    AVStream* outStream = nullptr;
    std::string fileName;
    int videoIndex;
    int64_t timeOrigin = 0;
    int64_t lastPts = -1;
    int64_t lastKeyPts = -1;
    bool ready = false;
    std::atomic<int64_t> written{0};
    int64_t passedAsIs = 0;
    int64_t converted = 0;

    vorq::media::H264Encoder::Settings settings;
    bool adaptive = false;
    size_t presetIndex = 0;
    int64_t busyUs = 0;
    int measured = 0;
    int warmUp = 0;
    const int64_t testDelayUs;
    std::atomic<int64_t> dropped{0};

    // Holds up to a second of pictures, so a hiccup of the encoder (or the
    // audio branch holding the write lock) and the time it takes to step to
    // a faster preset lose nothing; when it is full the oldest picture goes,
    // so the recording never falls more than a second behind the camera.
    size_t queueLimit = 4;
    std::mutex frameLock;
    std::condition_variable frameReady;
    std::deque<std::shared_ptr<AVFrame>> latestFrames;
};

#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "AudioTimeline.h"
#include "FFmpegPtr.h"
#include "RecordingWriter.h"

// The recording's audio branch: opens the microphone's decoder, encodes AAC
// with the microphone's channels and rate, and writes into the recording's
// container on its own thread. Every decoded microphone frame is queued, so
// every sample reaches the file; AudioTimeline keeps them in step with the
// picture.
class Vorq_FFmpegAudio : public QObject {
    Q_OBJECT

public:
    // decoder: the microphone stream's decoder context, owned by the capture
    // object; opened here, before the collect thread decodes with it.
    Vorq_FFmpegAudio(AVFormatContext* input, AVFormatContext* output, int audioIndex, AVCodecContext* decoder,
                     const std::string& fileName);
    ~Vorq_FFmpegAudio() override;

    bool isReady() const { return ready; }
    // Engine time (microseconds) that becomes time 0 of the file.
    void setTimeOrigin(int64_t originUs) { timeOrigin = originUs; }

    // Where the packets go; set before start().
    void setWriter(vorq::media::RecordingWriter* w) { writer = w; }

    void start();
    // The loop encodes what is queued, writes the rest of the FIFO, drains the
    // encoder and ends.
    void stop();
    void AudioEncodeLoop();

    // Samples written into the encoder so far.
    int64_t samplesEncoded() const { return encodedSamples.load(); }

public slots:
    void audioFrame(std::shared_ptr<AVFrame> _frame);

signals:
    void audioPacket(std::shared_ptr<AVPacket>& packet);

private:
    bool InitAudioDecoder();
    bool InitAudioEncoder();
    bool InitResampler(const AVChannelLayout& inLayout, AVSampleFormat inFormat, int inRate);
    int EncodeAudioFrame(const AVFrame& frame);
    int encodeFromFifo(int samples);
    int sendAndWrite(AVFrame* frame);
    void flush();
    bool padWithSilence(int samples);
    // Puts `samples` of silence `at` samples into the FIFO.
    bool insertSilence(int64_t at, int64_t samples);
    void placeOnTimeline(const AVFrame& frame, int samples);
    void dropBeforeStart();

    std::atomic<bool> running{false};
    vorq::media::RecordingWriter* writer = nullptr;
    AVFormatContext* input;
    AVFormatContext* output;
    AVCodecContext* decoder;
    vorq::media::CodecContextPtr encoder;
    AVStream* outStream = nullptr;
    vorq::media::SwrContextPtr resampler;
    AVChannelLayout resamplerLayout{};
    AVSampleFormat resamplerFormat = AV_SAMPLE_FMT_NONE;
    int resamplerRate = 0;
    vorq::media::AudioFifoPtr fifo;
    uint8_t** convertedSamples = nullptr;
    int convertedCapacity = 0;
    vorq::media::PacketPtr packet;
    std::string fileName;
    int audioIndex;
    int64_t timeOrigin = 0;
    std::unique_ptr<vorq::media::AudioTimeline> timeline;
    // Output samples made so far (silence for gaps included), and the
    // position of the FIFO's first sample among them.
    int64_t outputProduced = 0;
    int64_t fifoStart = 0;
    bool ready = false;
    std::atomic<int64_t> encodedSamples{0};

    std::mutex frameLock;
    std::condition_variable frameReady;
    std::deque<std::shared_ptr<AVFrame>> pendingFrames;
};

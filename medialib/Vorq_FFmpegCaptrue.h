#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "FFmpegPtr.h"
#include "FileSyncer.h"

namespace vorq::media {
class RecordingWriter;
}
class Vorq_FFmpegImage;
class Vorq_FFmpegVideo;
class Vorq_FFmpegAudio;

// The capture object behind the facade: holds the settings, opens the camera
// (and for a recording the microphone), runs the reader/decoder threads and
// the recording into an MP4 file.
//
// Threads: the controlling thread calls everything public; the video capture
// thread reads and decodes the camera while capturing; while recording an
// audio collect thread reads and decodes the microphone, and the two
// encoders run their own loops.
class Vorq_FFmpegCaptrue : public QObject {
    Q_OBJECT

public:
    Vorq_FFmpegCaptrue();
    ~Vorq_FFmpegCaptrue() override;

    void SetCapture(std::string name, int number);
    void SetCaptureMicrophone(std::string name, int number);
    void SetInputFormat(std::string format) { inputFormat = std::move(format); }
    void SetVideoSize(std::string size) { videoSize = std::move(size); }
    void SetFramrate(int rate) { frameRate = rate; }
    void SetRtBufSize(long long size) { rtBufSize = size; }
    void SetOutputFormat(std::string format) { outputFormat = std::move(format); }
    void SetRecordFileName(std::string fileName) { recordFileName = std::move(fileName); }

    void StartCapture();
    // Ends a running recording first.
    void StopCapture();
    bool CaptureIsOpen() const { return captureOpen; }
    // See Vorq_Medialib::HoldFrameBuffer.
    std::shared_ptr<const uint8_t> HoldFrameBuffer(const uint8_t* buffer) const;

    int StartRecord();
    void StopRecord();
    bool IsRecording() const { return recording; }

signals:
    void imageFrame(std::shared_ptr<AVFrame> frame);
    void videoFrame(std::shared_ptr<AVFrame> frame);
    void audioFrame(std::shared_ptr<AVFrame> frame);
    void frameBuffer(uint8_t* buffer, int width, int height);
    // The recording's file could not be written (FFmpeg error code). Emitted
    // once, from an encoder thread; the recording must then be stopped.
    void recordingWriteFailed(int error);

public slots:
    void Recoder(std::shared_ptr<AVPacket>& packet);

private:
    int OpenVideoDevice(const std::string& name, int number);
    int OpenAudioDevice(const std::string& name, int number);
    // Sets videoIndex from the camera input, audioIndex from the microphone.
    void FindStreams(AVFormatContext* input, bool microphone);
    void CloseInputs();
    void CloseMicrophone();
    int OpenOutput(const std::string& fileName);
    // True when the file is complete enough to be finished.
    bool CloseOutput(bool writeTrailer);
    void finishFile(bool afterFailure);
    int writeHeader();
    // Stops and joins what a recording started; finalise: write the trailer
    // (a finished recording) or drop the file (a start that failed).
    void endRecording(bool finalise);

    // Empty on failure; error tells why.
    std::shared_ptr<AVPacket> ReadVideoPacketFromSource(int& error);
    std::shared_ptr<AVPacket> ReadAudioPacketFromSource(int& error);
    void VideoCapture();
    void AudioCollect();
    void deliverVideoFrame(const std::shared_ptr<AVFrame>& frame);
    void connectVideoEncoder(bool on);
    // Pause after a failed read, cut short when the loop is told to stop.
    void waitAfterReadError(int error, const std::atomic<bool>& keepGoing);
    static int interruptVideo(void* self);
    static int interruptAudio(void* self);

    vorq::media::InputContextPtr videoInput;
    vorq::media::InputContextPtr microphoneInput;
    vorq::media::OutputContextPtr output; // recording container with its file
    bool headerWritten = false;
    bool finishAtStop = false;
    std::unique_ptr<vorq::media::RecordingWriter> writer;
    bool outputFileCreated = false;
    vorq::media::CodecContextPtr videoDecoder;
    vorq::media::CodecContextPtr audioDecoder;
    std::unique_ptr<Vorq_FFmpegImage> preview;
    std::unique_ptr<Vorq_FFmpegVideo> videoEncoder;
    std::unique_ptr<Vorq_FFmpegAudio> audioEncoder;
    std::thread audioCollectThread;
    std::thread audioEncodeThread;
    std::thread videoCaptureThread;
    std::thread videoEncodeThread;
    std::atomic<bool> captureOpen{false};
    int videoIndex = -1;
    int audioIndex = -1;
    std::atomic<bool> recording{false};
    // Abort requests for a blocking open or read (FFmpeg's interrupt callback).
    std::atomic<bool> videoInputStopping{false};
    std::atomic<bool> audioInputStopping{false};
    vorq::media::FileSyncer fileSyncer;

    std::string videoDeviceName;
    std::string outputFormat = "mp4";
    std::string recordFileName;
    std::string activeRecordFile; // the file of the running recording
    int videoDeviceNumber = 0;
    std::string microphoneName;
    int microphoneNumber = 0;
    std::string videoSize = "800x600";
    int frameRate = 30;
    int64_t rtBufSize = 18432000;
    std::string inputFormat = "mjpeg";

    // Serialises videoFrame emissions against connecting and disconnecting
    // the video encoder, so it is never called once StopRecord let go of it.
    std::mutex videoSinkMutex;
    QMetaObject::Connection videoSinkConnection;
    QMetaObject::Connection audioSinkConnection;

    std::mutex readErrorMutex;
    std::condition_variable stopRequested;
};

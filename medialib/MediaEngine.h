#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The capture engine behind the Vorq_Medialib facade. It lives in its own
// plug-in with FFmpeg, so the program starts without loading FFmpeg and its
// couple of hundred libraries; the facade loads it on first use.
class MediaEngine {
public:
    // Receives each preview picture during its emission (see frameBuffer).
    using FrameSink = std::function<void(uint8_t* buffer, int width, int height)>;
    // Told, from the writing thread, that the recording's file could not be
    // written (a negative AVERROR).
    using WriteFailureSink = std::function<void(int error)>;

    virtual ~MediaEngine() = default;

    virtual void SetCapture(std::string name, int number) = 0;
    virtual void SetCaptureMicrophone(std::string name, int number) = 0;
    virtual void SetInputFormat(std::string format) = 0;
    virtual void SetVideoSize(std::string size) = 0;
    virtual void SetFramrate(int rate) = 0;
    virtual void SetRtBufSize(long long size) = 0;
    virtual void SetOutputFormat(std::string format) = 0;
    virtual void SetRecordFileName(std::string fileName) = 0;

    virtual void StartCapture() = 0;
    virtual void StopCapture() = 0;
    virtual bool CaptureIsOpen() const = 0;
    virtual int StartRecord() = 0;
    virtual void StopRecord() = 0;
    virtual bool IsRecording() const = 0;
    virtual void SetWriteFailureSink(WriteFailureSink sink) = 0;
    virtual std::shared_ptr<const uint8_t> HoldFrameBuffer(const uint8_t* buffer) const = 0;
};

// The plug-in's one entry point; the caller owns the result.
extern "C" {
using MediaEngineFactory = MediaEngine* (*)(const MediaEngine::FrameSink* sink);
}
#define VORQ_MEDIA_ENGINE_FACTORY "vorq_media_engine_create"
#define VORQ_MEDIA_ENGINE_PLUGIN "libvorq_mediaengine.so"

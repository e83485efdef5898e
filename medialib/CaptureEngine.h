#pragma once

#include <memory>

#include "MediaEngine.h"

class Vorq_FFmpegCaptrue;

// The plug-in's engine: the capture object, with its pictures handed to the
// facade's sink.
class CaptureEngine : public MediaEngine {
public:
    explicit CaptureEngine(FrameSink sink);
    ~CaptureEngine() override;

    void SetCapture(std::string name, int number) override;
    void SetCaptureMicrophone(std::string name, int number) override;
    void SetInputFormat(std::string format) override;
    void SetVideoSize(std::string size) override;
    void SetFramrate(int rate) override;
    void SetRtBufSize(long long size) override;
    void SetOutputFormat(std::string format) override;
    void SetRecordFileName(std::string fileName) override;

    void StartCapture() override;
    void StopCapture() override;
    bool CaptureIsOpen() const override;
    int StartRecord() override;
    void StopRecord() override;
    bool IsRecording() const override;
    void SetWriteFailureSink(WriteFailureSink sink) override;
    std::shared_ptr<const uint8_t> HoldFrameBuffer(const uint8_t* buffer) const override;

private:
    std::unique_ptr<Vorq_FFmpegCaptrue> capture;
};

#include "CaptureEngine.h"

#include "Vorq_FFmpegCaptrue.h"

CaptureEngine::CaptureEngine(FrameSink sink) : capture(std::make_unique<Vorq_FFmpegCaptrue>())
{
    // Direct, so the sink runs while the buffer is valid.
    QObject::connect(capture.get(), &Vorq_FFmpegCaptrue::frameBuffer, capture.get(),
                     [sink = std::move(sink)](uint8_t* buffer, int width, int height) { sink(buffer, width, height); },
                     Qt::DirectConnection);
}

// The capture object's destructor ends any recording and capture.
CaptureEngine::~CaptureEngine() = default;

void CaptureEngine::SetCapture(std::string name, int number) { capture->SetCapture(std::move(name), number); }

void CaptureEngine::SetCaptureMicrophone(std::string name, int number)
{
    capture->SetCaptureMicrophone(std::move(name), number);
}

void CaptureEngine::SetInputFormat(std::string format) { capture->SetInputFormat(std::move(format)); }

void CaptureEngine::SetVideoSize(std::string size) { capture->SetVideoSize(std::move(size)); }

void CaptureEngine::SetFramrate(int rate) { capture->SetFramrate(rate); }

void CaptureEngine::SetRtBufSize(long long size) { capture->SetRtBufSize(size); }

void CaptureEngine::SetOutputFormat(std::string format) { capture->SetOutputFormat(std::move(format)); }

void CaptureEngine::SetRecordFileName(std::string fileName) { capture->SetRecordFileName(std::move(fileName)); }

void CaptureEngine::StartCapture() { capture->StartCapture(); }

void CaptureEngine::StopCapture() { capture->StopCapture(); }

bool CaptureEngine::CaptureIsOpen() const { return capture->CaptureIsOpen(); }

int CaptureEngine::StartRecord()
{
    if (!capture->CaptureIsOpen()) return 0;
    return capture->StartRecord();
}

void CaptureEngine::StopRecord()
{
    if (!capture->CaptureIsOpen()) return;
    capture->StopRecord();
}

bool CaptureEngine::IsRecording() const { return capture->IsRecording(); }

void CaptureEngine::SetWriteFailureSink(WriteFailureSink sink)
{
    // Direct: the sink itself decides which thread acts on it.
    QObject::connect(capture.get(), &Vorq_FFmpegCaptrue::recordingWriteFailed, capture.get(),
                     [sink = std::move(sink)](int error) { sink(error); }, Qt::DirectConnection);
}

std::shared_ptr<const uint8_t> CaptureEngine::HoldFrameBuffer(const uint8_t* buffer) const
{
    return capture->HoldFrameBuffer(buffer);
}

extern "C" __attribute__((visibility("default"))) MediaEngine* vorq_media_engine_create(
    const MediaEngine::FrameSink* sink)
{
    return sink ? new CaptureEngine(*sink) : nullptr;
}

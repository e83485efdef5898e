#include "medialib/Vorq_Medialib.h"

#include "Vorq_FFmpegCaptrue.h"

Vorq_Medialib::Vorq_Medialib() : QObject(nullptr)
{
    InitCapture();
}

Vorq_Medialib::~Vorq_Medialib()
{
    // The capture object's destructor ends any recording and capture.
    capture.reset();
}

void Vorq_Medialib::InitCapture()
{
    capture = std::make_unique<Vorq_FFmpegCaptrue>();
    // Made once per capture object, so every picture is forwarded exactly once
    // however often StartCapture is called; direct, so the receiver runs while
    // the buffer is valid.
    connect(capture.get(), &Vorq_FFmpegCaptrue::frameBuffer, this,
            [this](uint8_t* buffer, int width, int height) { emit frameBuffer(buffer, width, height); },
            Qt::DirectConnection);
}

void Vorq_Medialib::SetCapture(std::string name, int number)
{
    capture->SetCapture(std::move(name), number);
}

void Vorq_Medialib::SetCaptureMicrophone(std::string name, int number)
{
    capture->SetCaptureMicrophone(std::move(name), number);
}

void Vorq_Medialib::SetInputFormat(std::string format)
{
    capture->SetInputFormat(std::move(format));
}

void Vorq_Medialib::SetVideoSize(std::string size)
{
    capture->SetVideoSize(std::move(size));
}

void Vorq_Medialib::SetFramrate(int rate)
{
    capture->SetFramrate(rate);
}

void Vorq_Medialib::SetRtBufSize(long long size)
{
    capture->SetRtBufSize(size);
}

void Vorq_Medialib::SetOutputFormat(std::string format)
{
    capture->SetOutputFormat(std::move(format));
}

void Vorq_Medialib::SetRecordFileName(std::string fileName)
{
    capture->SetRecordFileName(std::move(fileName));
}

void Vorq_Medialib::StartCapture()
{
    capture->StartCapture();
}

void Vorq_Medialib::StopCapture()
{
    capture->StopCapture();
}

bool Vorq_Medialib::CaptureIsOpen()
{
    return capture->CaptureIsOpen();
}

std::shared_ptr<const uint8_t> Vorq_Medialib::HoldFrameBuffer(const uint8_t* buffer) const
{
    return capture->HoldFrameBuffer(buffer);
}

int Vorq_Medialib::StartRecord()
{
    if (!CaptureIsOpen()) return 0;
    return capture->StartRecord();
}

void Vorq_Medialib::StopRecord()
{
    if (!CaptureIsOpen()) return;
    capture->StopRecord();
}

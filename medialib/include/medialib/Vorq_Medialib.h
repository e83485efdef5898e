#pragma once

#include <QObject>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#define VORQ_MEDIALIB_API __attribute__((visibility("default")))

class MediaEngine;

// The media engine as the program sees it: choose a camera and a microphone,
// start and stop the live capture (preview frames through frameBuffer) and an
// MP4 recording. Every method is called from the thread that owns the object.
// The engine and FFmpeg are loaded when a capture first starts.
class VORQ_MEDIALIB_API Vorq_Medialib : public QObject {
    Q_OBJECT

public:
    Vorq_Medialib();
    ~Vorq_Medialib() override;

    void InitCapture();
    // Starts loading the engine and FFmpeg on a worker thread, so a later
    // StartCapture need not wait for them. Returns at once.
    void PrepareEngine();

    void SetCapture(std::string name, int number);
    void SetCaptureMicrophone(std::string name, int number);
    void SetInputFormat(std::string format);
    void SetVideoSize(std::string size);
    void SetFramrate(int rate);
    void SetRtBufSize(long long size);
    void SetOutputFormat(std::string format);
    void SetRecordFileName(std::string fileName);

    // Opens the camera and starts the capture thread; CaptureIsOpen tells
    // whether it worked.
    void StartCapture();
    // Ends a running recording first, so its file is finalised.
    void StopCapture();
    bool CaptureIsOpen();
    // Why a capture could not start because the engine's plug-in did not
    // load (missing, or FFmpeg's libraries missing); empty otherwise.
    std::string EngineProblem() const;

    // 1 when the recording runs; 0 when not capturing, already recording, or
    // the recording could not be started.
    int StartRecord();
    void StopRecord();

    // From a frameBuffer receiver, during the emission: keeps the picture it
    // was given valid for as long as the returned pointer lives, so it can be
    // kept without a copy. Empty for any other buffer or outside an emission.
    std::shared_ptr<const uint8_t> HoldFrameBuffer(const uint8_t* buffer) const;

signals:
    // One preview picture: packed RGB24, rows of width * 3 bytes, top to
    // bottom. The buffer belongs to the engine and is valid during the
    // emission only; it is emitted in the thread that called StartCapture.
    void frameBuffer(uint8_t* buffer, int width, int height);
    // The recording stopped by itself because its file could not be written
    // (errnum: an errno value such as ENOSPC). The file holds what was
    // written up to then and plays. Emitted in the object's thread.
    void recordingFailed(int errnum);

private:
    enum Setting {
        CameraSetting,
        MicrophoneSetting,
        InputFormatSetting,
        VideoSizeSetting,
        FrameRateSetting,
        BufferSetting,
        OutputFormatSetting,
        RecordFileSetting,
        SettingCount
    };
    // The engine, loaded with FFmpeg on first use; null when it cannot be.
    MediaEngine* engine();
    // Applied now, or kept for the engine until it exists.
    void setting(Setting which, std::function<void(MediaEngine&)> apply);

    std::unique_ptr<MediaEngine> capture;
    bool engineUnavailable = false;
    std::thread engineLoader;
    std::array<std::function<void(MediaEngine&)>, SettingCount> pendingSettings;
};

#pragma once

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "MediaTestSupport.h"
#include "medialib/Vorq_Medialib.h"

namespace mediatest {

// One engine on one fake camera with its microphone, previewing.
class RecordingFixture : public ::testing::Test {
protected:
    void startPreview(const std::string& videoGraph, const std::string& audioGraph, const std::string& size,
                      bool busy = false)
    {
        cameras = std::make_unique<FakeCameras>(std::vector<FakeCameraSpec>{{videoGraph, audioGraph, busy}});
        engine = std::make_unique<Vorq_Medialib>();
        QObject::connect(engine.get(), &Vorq_Medialib::frameBuffer, engine.get(),
                         [this](uint8_t*, int, int) { ++pictures; });
        engine->SetCapture(kCard, 0);
        engine->SetVideoSize(size);
        engine->SetFramrate(frameRate);
        engine->StartCapture();
        if (busy) return;
        ASSERT_TRUE(engine->CaptureIsOpen());
        ASSERT_TRUE(waitFor([this] { return pictures > 0; }, 10000));
    }

    // Records for about `ms` milliseconds; returns the wall-clock time from the
    // start of the recording to the request to stop it, in seconds.
    double record(const std::string& path, int ms)
    {
        engine->SetCaptureMicrophone(kMicrophone, 0);
        engine->SetRecordFileName(path);
        if (engine->StartRecord() != 1) {
            ADD_FAILURE() << "StartRecord failed";
            return 0;
        }
        QElapsedTimer elapsed;
        elapsed.start();
        runEventLoopFor(ms);
        const double seconds = elapsed.nsecsElapsed() / 1e9;
        engine->StopRecord();
        return seconds;
    }

    void TearDown() override
    {
        engine.reset();
        cameras.reset();
    }

    TempDir dir;
    std::unique_ptr<FakeCameras> cameras;
    std::unique_ptr<Vorq_Medialib> engine;
    int pictures = 0;
    int frameRate = 30;
};

} // namespace mediatest

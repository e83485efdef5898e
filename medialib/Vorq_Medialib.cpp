#include "medialib/Vorq_Medialib.h"

#include <QDebug>

#include <dlfcn.h>

#include <string>
#include <system_error>

#include "MediaEngine.h"

#ifdef VORQ_MEDIA_ENGINE_LINKED
extern "C" MediaEngine* vorq_media_engine_create(const MediaEngine::FrameSink* sink);
#endif

namespace {

struct EngineLoad {
    MediaEngineFactory factory = nullptr;
    std::string problem; // why there is no factory
};

// The engine's plug-in sits beside this library, in the build tree and an
// installed tree alike. Loaded once and kept: FFmpeg and the engine's types
// stay registered for the life of the process.
const EngineLoad& engineLoad()
{
#ifdef VORQ_MEDIA_ENGINE_LINKED
    static const EngineLoad load{&vorq_media_engine_create, {}};
#else
    static const EngineLoad load = []() {
        EngineLoad result;
        Dl_info self{};
        if (!dladdr(reinterpret_cast<void*>(&engineLoad), &self) || !self.dli_fname) {
            result.problem = "the media library's own folder is unknown";
        } else {
            std::string path = self.dli_fname;
            const size_t slash = path.rfind('/');
            path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + VORQ_MEDIA_ENGINE_PLUGIN;
            if (void* plugin = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                result.factory = reinterpret_cast<MediaEngineFactory>(dlsym(plugin, VORQ_MEDIA_ENGINE_FACTORY));
                if (!result.factory)
                    result.problem = path + ": no " VORQ_MEDIA_ENGINE_FACTORY;
                else
                    qDebug().noquote() << "media engine loaded:" << QString::fromStdString(path);
            } else {
                const char* why = dlerror();
                result.problem = why ? why : path;
            }
        }
        if (!result.factory)
            qWarning().noquote() << "media engine not loaded:" << QString::fromStdString(result.problem);
        return result;
    }();
#endif
    return load;
}

} // namespace

#include <cerrno>

Vorq_Medialib::Vorq_Medialib() : QObject(nullptr)
{
    InitCapture();
}

Vorq_Medialib::~Vorq_Medialib()
{
    // The engine's destructor ends any recording and capture.
    capture.reset();
    if (engineLoader.joinable()) engineLoader.join();
}

void Vorq_Medialib::PrepareEngine()
{
    if (capture || engineLoader.joinable()) return;
    try {
        // The plug-in is loaded once per process; engine() waits for a load
        // still under way.
        engineLoader = std::thread([] { engineLoad(); });
    } catch (const std::system_error&) {
        // Loaded on first use instead.
    }
}

void Vorq_Medialib::InitCapture()
{
    // The engine is made on first use (engine()); the settings wait for it.
}

MediaEngine* Vorq_Medialib::engine()
{
    if (capture || engineUnavailable) return capture.get();
    const MediaEngineFactory factory = engineLoad().factory;
    // The sink forwards each picture exactly once, directly, so the receiver
    // runs while the buffer is valid.
    const MediaEngine::FrameSink sink = [this](uint8_t* buffer, int width, int height) {
        emit frameBuffer(buffer, width, height);
    };
    capture.reset(factory ? factory(&sink) : nullptr);
    if (!capture) {
        engineUnavailable = true;
        return nullptr;
    }
    // A file that cannot be written ends the recording here, in the owner's
    // thread; the file keeps what was written and plays.
    capture->SetWriteFailureSink([this](int error) {
        QMetaObject::invokeMethod(
            this,
            [this, error] {
                if (!capture || !capture->IsRecording()) return;
                capture->StopRecord();
                emit recordingFailed(error < 0 && error > -4096 ? -error : EIO);
            },
            Qt::QueuedConnection);
    });
    for (auto& apply : pendingSettings)
        if (apply) apply(*capture);
    return capture.get();
}

void Vorq_Medialib::setting(Setting which, std::function<void(MediaEngine&)> apply)
{
    if (capture)
        apply(*capture);
    else
        pendingSettings[which] = std::move(apply);
}

void Vorq_Medialib::SetCapture(std::string name, int number)
{
    setting(CameraSetting, [name = std::move(name), number](MediaEngine& e) { e.SetCapture(name, number); });
}

void Vorq_Medialib::SetCaptureMicrophone(std::string name, int number)
{
    setting(MicrophoneSetting,
            [name = std::move(name), number](MediaEngine& e) { e.SetCaptureMicrophone(name, number); });
}

void Vorq_Medialib::SetInputFormat(std::string format)
{
    setting(InputFormatSetting, [format = std::move(format)](MediaEngine& e) { e.SetInputFormat(format); });
}

void Vorq_Medialib::SetVideoSize(std::string size)
{
    setting(VideoSizeSetting, [size = std::move(size)](MediaEngine& e) { e.SetVideoSize(size); });
}

void Vorq_Medialib::SetFramrate(int rate)
{
    setting(FrameRateSetting, [rate](MediaEngine& e) { e.SetFramrate(rate); });
}

void Vorq_Medialib::SetRtBufSize(long long size)
{
    setting(BufferSetting, [size](MediaEngine& e) { e.SetRtBufSize(size); });
}

void Vorq_Medialib::SetOutputFormat(std::string format)
{
    setting(OutputFormatSetting, [format = std::move(format)](MediaEngine& e) { e.SetOutputFormat(format); });
}

void Vorq_Medialib::SetRecordFileName(std::string fileName)
{
    setting(RecordFileSetting, [fileName = std::move(fileName)](MediaEngine& e) { e.SetRecordFileName(fileName); });
}

void Vorq_Medialib::StartCapture()
{
    if (MediaEngine* e = engine()) e->StartCapture();
}

// Nothing runs before the engine exists, so nothing needs loading to stop.
void Vorq_Medialib::StopCapture()
{
    if (capture) capture->StopCapture();
}

bool Vorq_Medialib::CaptureIsOpen()
{
    return capture && capture->CaptureIsOpen();
}

std::string Vorq_Medialib::EngineProblem() const
{
    if (!engineUnavailable) return std::string();
    const std::string& problem = engineLoad().problem;
    return problem.empty() ? std::string("the media engine could not be made") : problem;
}

std::shared_ptr<const uint8_t> Vorq_Medialib::HoldFrameBuffer(const uint8_t* buffer) const
{
    return capture ? capture->HoldFrameBuffer(buffer) : nullptr;
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

#include "CaptureInputSource.h"

#include <mutex>

namespace vorq::media {

namespace {
std::mutex overrideMutex;
CaptureInputSource::CameraResolver cameraOverride;
CaptureInputSource::MicrophoneResolver microphoneOverride;
} // namespace

int CaptureInputSource::resolveCamera(const std::string& name, int number, const platform::VideoRequest& request,
                                      platform::CaptureInput& out)
{
    CameraResolver resolver;
    {
        std::lock_guard<std::mutex> lock(overrideMutex);
        resolver = cameraOverride;
    }
    if (resolver) return resolver(name, number, request, out);
    return platform::CaptureInputResolver::resolveCamera(name, number, request, out);
}

int CaptureInputSource::resolveMicrophone(const std::string& name, int number, platform::CaptureInput& out)
{
    MicrophoneResolver resolver;
    {
        std::lock_guard<std::mutex> lock(overrideMutex);
        resolver = microphoneOverride;
    }
    if (resolver) return resolver(name, number, out);
    return platform::CaptureInputResolver::resolveMicrophone(name, number, out);
}

void CaptureInputSource::setForTesting(CameraResolver camera, MicrophoneResolver microphone)
{
    std::lock_guard<std::mutex> lock(overrideMutex);
    cameraOverride = std::move(camera);
    microphoneOverride = std::move(microphone);
}

} // namespace vorq::media

#pragma once

#include <functional>
#include <string>

#include "platform/CaptureInput.h"

namespace vorq::media {

// Where the capture object gets its FFmpeg inputs: the platform layer, unless a
// benchmark installs inputs of its own (e.g. an MJPEG stream paced like a camera).
class CaptureInputSource {
public:
    using CameraResolver = std::function<int(const std::string& name, int number,
                                             const platform::VideoRequest& request, platform::CaptureInput& out)>;
    using MicrophoneResolver =
        std::function<int(const std::string& name, int number, platform::CaptureInput& out)>;

    static int resolveCamera(const std::string& name, int number, const platform::VideoRequest& request,
                             platform::CaptureInput& out);
    static int resolveMicrophone(const std::string& name, int number, platform::CaptureInput& out);

    // Empty functions restore the platform layer.
    static void setForTesting(CameraResolver camera, MicrophoneResolver microphone);
};

} // namespace vorq::media

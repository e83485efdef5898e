#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/Export.h"

namespace vorq::platform {

// What FFmpeg is to open for one camera or microphone.
struct CaptureInput {
    std::string format;                                      // "v4l2", "pulse", "lavfi"
    std::string url;
    std::vector<std::pair<std::string, std::string>> options; // AVDictionary entries
};

struct VideoRequest {
    std::string pixelFormat = "mjpeg";
    std::string videoSize = "800x600";
    int frameRate = 30;
};

// Turns the names the program knows (friendly name plus ordinal, microphone
// name plus number) into FFmpeg inputs. Results are 0 or an errno: ENOENT
// when there is no such device, EBUSY when a simulated camera is held by
// another program, EINVAL for a malformed request.
class VORQ_PLATFORM_API CaptureInputResolver {
public:
    // ordinal: position among the cameras with exactly this friendly name.
    static int resolveCamera(const std::string& friendlyName, int ordinal, const VideoRequest& request,
                             CaptureInput& out);
    // name: "麦克风 (TELDORA TX42)"; the device part inside the parentheses
    // picks the source. number: position among the matching sources.
    static int resolveMicrophone(const std::string& name, int number, CaptureInput& out);
};

} // namespace vorq::platform

#pragma once

#include <string>
#include <vector>

#include "platform/Export.h"

namespace vorq::platform {

// A camera whose node the system walk could not open.
struct UnavailableCamera {
    std::string node;   // "/dev/video0"
    std::string name;   // what sysfs calls it; may be empty
    int error = 0;      // the errno of the open (EACCES, EBUSY, ...)
    std::string reason; // its text, "Permission denied"
};

// Cameras are listed only when they can be opened; these are the ones the
// latest walk of the system's cameras had to leave out, so tools and the
// program can say why a plugged-in camera is missing.
class VORQ_PLATFORM_API UnavailableCameras {
public:
    static std::vector<UnavailableCamera> fromLastWalk();
};

} // namespace vorq::platform

#pragma once

#include <string>

#include "platform/Export.h"

namespace vorq::platform {

// A short sine tone on a speaker, so the user hears that it works.
class VORQ_PLATFORM_API TestTone {
public:
    // Plays `ms` milliseconds of 440 Hz at a moderate level on the sink whose
    // description is `description`, or on the default sink when none is so
    // called. Blocks until played, at most ms + timeoutMs: call it off the GUI
    // thread. False when the server did not play it; *error says why.
    static bool play(const std::string& description, int ms, int timeoutMs, std::string* error);
};

} // namespace vorq::platform

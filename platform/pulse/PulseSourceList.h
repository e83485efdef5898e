#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorq::platform {

struct PulseSource {
    std::string name;         // what the "pulse" input opens
    std::string description;  // what the user sees
    bool monitor = false;     // the monitor of a sink, not a microphone
};

class PulseSourceList {
public:
    // The server's sources in its order; false when no server answers.
    static bool list(std::vector<PulseSource>& out, std::string* error, int timeoutMs = 2000);
};

} // namespace vorq::platform

#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Export.h"

namespace vorq::platform {

class PulseConnection;

enum class EndpointFlow {
    Render,   // speakers: the server's sinks
    Capture,  // microphones: the sources that are not monitors of a sink
};

struct AudioEndpoint {
    std::string name;                 // what the server calls it
    std::string description;          // what the user sees
    std::vector<float> channelLevels; // per channel, 1.0 = the nominal volume
};

// The system's speaker and microphone levels, over one connection to the
// sound server. Levels are linear scalars (volume / nominal volume), so 0.5 is
// the 50 % that the server's own tools show.
class VORQ_PLATFORM_API EndpointVolume {
public:
    // Null when no server answers within timeoutMs; *error says why.
    static std::unique_ptr<EndpointVolume> connect(int timeoutMs, std::string* error);
    ~EndpointVolume();

    EndpointVolume(const EndpointVolume&) = delete;
    EndpointVolume& operator=(const EndpointVolume&) = delete;

    // The endpoints of one direction in the server's order; false when the
    // server does not answer the listing.
    bool list(EndpointFlow flow, std::vector<AudioEndpoint>& out);
    // Sets every channel of the named endpoint to `level` (negative becomes
    // 0); false when the server refuses or does not answer.
    bool setLevel(EndpointFlow flow, const std::string& name, int channels, float level);
    // Sets each channel of the named endpoint to its own level (negative
    // becomes 0); false when the server refuses or does not answer.
    bool setChannelLevels(EndpointFlow flow, const std::string& name, const std::vector<float>& levels);

private:
    explicit EndpointVolume(std::unique_ptr<PulseConnection> connection, int timeoutMs);

    std::unique_ptr<PulseConnection> connection_;
    int timeoutMs_;
};

} // namespace vorq::platform

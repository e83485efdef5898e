#include "EndpointLevels.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <QDebug>

#include "platform/EndpointVolume.h"

using vorq::platform::AudioEndpoint;
using vorq::platform::EndpointFlow;
using vorq::platform::EndpointVolume;

namespace {

// The GUI thread waits for these calls; a server that does not answer must
// not freeze the window for long.
constexpr int kTimeoutMs = 1000;

std::unique_ptr<EndpointVolume> connectOrReport()
{
    auto endpoints = EndpointVolume::connect(kTimeoutMs, nullptr);
    if (!endpoints) {
        std::fputs("CoCreateInstance Failed!/n", stdout);
        std::fflush(stdout);
    }
    return endpoints;
}

bool listOrReport(EndpointVolume& endpoints, EndpointFlow flow, std::vector<AudioEndpoint>& out)
{
    if (endpoints.list(flow, out)) return true;
    std::fputs("EnumAudioEndpoints Failed!/n", stdout);
    std::fflush(stdout);
    return false;
}

float clampLevel(float level) { return std::clamp(level, 0.0f, 100.0f); }

// The loudest channel goes to `master` and the others keep their share, so
// a balance set in the mixer survives; silent channels all get `master`.
std::vector<float> scaledChannels(const std::vector<float>& channels, float master)
{
    const float loudest = *std::max_element(channels.begin(), channels.end());
    std::vector<float> scaled(channels.size(), master);
    if (loudest > 0.0f)
        for (size_t c = 0; c < channels.size(); ++c) scaled[c] = std::max(channels[c], 0.0f) * master / loudest;
    return scaled;
}

int setAll(EndpointFlow flow, float level)
{
    auto endpoints = connectOrReport();
    if (!endpoints) return 0;
    std::vector<AudioEndpoint> list;
    if (!listOrReport(*endpoints, flow, list)) return 1;
    for (const auto& endpoint : list)
        if (!endpoint.channelLevels.empty())
            endpoints->setChannelLevels(flow, endpoint.name, scaledChannels(endpoint.channelLevels, level / 100.0f));
    return 1;
}

} // namespace

int getSpeakerVolume(float& level)
{
    auto endpoints = connectOrReport();
    if (!endpoints) return 0;
    std::vector<AudioEndpoint> list;
    if (!listOrReport(*endpoints, EndpointFlow::Render, list)) return 0;
    for (const auto& endpoint : list) {
        if (endpoint.channelLevels.empty()) continue;
        // The master level is the loudest channel, as a mixer shows it.
        const float master = *std::max_element(endpoint.channelLevels.begin(), endpoint.channelLevels.end());
        qDebug().nospace() << "fVolumeTemp: " << master;
        level = master * 100.0f;
    }
    return 0;
}

int setSpeakerVolume(float level) { return setAll(EndpointFlow::Render, clampLevel(level)); }

int getMicrophoneVolume(float& level)
{
    auto endpoints = connectOrReport();
    if (!endpoints) return -1;
    std::vector<AudioEndpoint> list;
    if (!listOrReport(*endpoints, EndpointFlow::Capture, list)) return 0;
    for (const auto& endpoint : list) {
        if (endpoint.channelLevels.empty()) continue;
        level = *std::max_element(endpoint.channelLevels.begin(), endpoint.channelLevels.end()) * 100.0f;
    }
    return 0;
}

// Clamped like the speaker: a level above 100 would amplify the microphone.
int setMicrophoneVolume(float level) { return setAll(EndpointFlow::Capture, clampLevel(level)); }

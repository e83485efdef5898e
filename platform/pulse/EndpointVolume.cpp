#include "platform/EndpointVolume.h"

#include <cmath>

#include "pulse/PulseConnection.h"

namespace vorq::platform {

namespace {

float levelOf(pa_volume_t volume) { return static_cast<float>(volume) / static_cast<float>(PA_VOLUME_NORM); }

pa_volume_t volumeOf(float level)
{
    if (!(level > 0.0f)) return PA_VOLUME_MUTED; // also NaN
    double v = std::lround(static_cast<double>(level) * PA_VOLUME_NORM);
    return v >= PA_VOLUME_MAX ? PA_VOLUME_MAX : static_cast<pa_volume_t>(v);
}

AudioEndpoint endpointOf(const char* name, const char* description, const pa_cvolume& volume)
{
    AudioEndpoint e;
    e.name = name ? name : "";
    e.description = description ? description : "";
    for (unsigned c = 0; c < volume.channels && c < PA_CHANNELS_MAX; ++c) e.channelLevels.push_back(levelOf(volume.values[c]));
    return e;
}

void onSink(pa_context*, const pa_sink_info* info, int eol, void* user)
{
    if (eol || !info) return;
    static_cast<std::vector<AudioEndpoint>*>(user)->push_back(endpointOf(info->name, info->description, info->volume));
}

void onSource(pa_context*, const pa_source_info* info, int eol, void* user)
{
    // A monitor records what a sink plays; it is no microphone.
    if (eol || !info || info->monitor_of_sink != PA_INVALID_INDEX) return;
    static_cast<std::vector<AudioEndpoint>*>(user)->push_back(endpointOf(info->name, info->description, info->volume));
}

struct SetResult {
    bool success = false;
};

void onSet(pa_context*, int success, void* user) { static_cast<SetResult*>(user)->success = success != 0; }

} // namespace

std::unique_ptr<EndpointVolume> EndpointVolume::connect(int timeoutMs, std::string* error)
{
    auto connection = PulseConnection::connect(timeoutMs, error);
    if (!connection) return nullptr;
    return std::unique_ptr<EndpointVolume>(new EndpointVolume(std::move(connection), timeoutMs));
}

EndpointVolume::EndpointVolume(std::unique_ptr<PulseConnection> connection, int timeoutMs)
    : connection_(std::move(connection)), timeoutMs_(timeoutMs)
{
}

EndpointVolume::~EndpointVolume() = default;

bool EndpointVolume::list(EndpointFlow flow, std::vector<AudioEndpoint>& out)
{
    out.clear();
    pa_context* ctx = connection_->context();
    pa_operation* op = flow == EndpointFlow::Render ? pa_context_get_sink_info_list(ctx, onSink, &out)
                                                    : pa_context_get_source_info_list(ctx, onSource, &out);
    return connection_->wait(op, timeoutMs_);
}

bool EndpointVolume::setLevel(EndpointFlow flow, const std::string& name, int channels, float level)
{
    if (name.empty() || channels <= 0 || channels > static_cast<int>(PA_CHANNELS_MAX)) return false;
    return setChannelLevels(flow, name, std::vector<float>(static_cast<size_t>(channels), level));
}

bool EndpointVolume::setChannelLevels(EndpointFlow flow, const std::string& name, const std::vector<float>& levels)
{
    if (name.empty() || levels.empty() || levels.size() > PA_CHANNELS_MAX) return false;
    pa_cvolume volume;
    pa_cvolume_init(&volume);
    volume.channels = static_cast<uint8_t>(levels.size());
    for (size_t c = 0; c < levels.size(); ++c) volume.values[c] = volumeOf(levels[c]);
    SetResult result;
    pa_context* ctx = connection_->context();
    pa_operation* op = flow == EndpointFlow::Render
                           ? pa_context_set_sink_volume_by_name(ctx, name.c_str(), &volume, onSet, &result)
                           : pa_context_set_source_volume_by_name(ctx, name.c_str(), &volume, onSet, &result);
    return connection_->wait(op, timeoutMs_) && result.success;
}

} // namespace vorq::platform

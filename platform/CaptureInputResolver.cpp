#include "platform/CaptureInput.h"

#include <cerrno>
#include <cstdio>

#include "platform/DeviceProvider.h"
#include "pulse/PulseSourceList.h"

namespace vorq::platform {

namespace {

bool parseVideoSize(const std::string& text, int& width, int& height)
{
    unsigned w = 0, h = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%ux%u%c", &w, &h, &tail) != 2) return false;
    if (w == 0 || h == 0 || w > 16384 || h > 16384) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
}

// The simulator's graphs name the size and rate as {size} and {rate}; a graph
// without them gets a scaler and a rate filter behind it.
std::string videoGraphFor(const std::string& graph, int width, int height, int rate)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (graph.find("{size}") == std::string::npos && graph.find("{rate}") == std::string::npos)
        return graph + ",scale=" + std::to_string(width) + ":" + std::to_string(height) + ",fps=" +
               std::to_string(rate);
    std::string out = graph;
    replaceAll(out, "{size}", size);
    replaceAll(out, "{rate}", std::to_string(rate));
    return out;
}

// "麦克风 (TELDORA TX42)" -> "TELDORA TX42"; a name without parentheses is
// used whole.
std::string devicePartOf(const std::string& name)
{
    size_t open = name.find('(');
    size_t close = name.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close <= open + 1) return name;
    return name.substr(open + 1, close - open - 1);
}

} // namespace

int CaptureInputResolver::resolveCamera(const std::string& friendlyName, int ordinal, const VideoRequest& request,
                                        CaptureInput& out)
{
    int width = 0, height = 0;
    if (friendlyName.empty() || ordinal < 0 || request.frameRate <= 0 || request.frameRate > 1000 ||
        !parseVideoSize(request.videoSize, width, height))
        return EINVAL;

    DeviceList devices = DeviceProvider::enumerate();
    int seen = 0;
    for (const auto& device : devices) {
        const UvcIdentity& id = device->identity();
        if (id.card != friendlyName || seen++ != ordinal) continue;
        CaptureInput input;
        if (id.simulated) {
            if (id.busy) return EBUSY;
            if (id.videoGraph.empty()) return ENOENT;
            input.format = "lavfi";
            input.url = videoGraphFor(id.videoGraph, width, height, request.frameRate);
        } else {
            input.format = "v4l2";
            input.url = id.videoNode;
            if (!request.pixelFormat.empty()) input.options.emplace_back("input_format", request.pixelFormat);
            input.options.emplace_back("video_size", request.videoSize);
            input.options.emplace_back("framerate", std::to_string(request.frameRate));
        }
        out = std::move(input);
        return 0;
    }
    return ENOENT;
}

int CaptureInputResolver::resolveMicrophone(const std::string& name, int number, CaptureInput& out)
{
    if (name.empty() || number < 0) return EINVAL;

    // A simulated camera's microphone is its own tone graph.
    DeviceList devices = DeviceProvider::enumerate();
    int seen = 0;
    for (const auto& device : devices) {
        const UvcIdentity& id = device->identity();
        if (!id.simulated || id.microphone != name || id.audioGraph.empty() || seen++ != number) continue;
        out = CaptureInput{"lavfi", id.audioGraph, {}};
        return 0;
    }

    std::vector<PulseSource> sources;
    std::string error;
    if (!PulseSourceList::list(sources, &error)) {
        std::fprintf(stderr, "vorq-platform: no microphone list: %s\n", error.c_str());
        return ENOENT;
    }
    const std::string part = devicePartOf(name);
    seen = 0;
    for (const auto& source : sources) {
        if (source.monitor || source.description.find(part) == std::string::npos || seen++ != number) continue;
        out = CaptureInput{"pulse", source.name, {}};
        return 0;
    }
    return ENOENT;
}

} // namespace vorq::platform

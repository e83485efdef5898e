#include "platform/CaptureInput.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/CaptureModes.h"
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

bool sameHex(const std::string& text, uint16_t value)
{
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text.c_str(), &end, 16);
    return !text.empty() && end && *end == '\0' && parsed == value;
}

// Whether a sound-server source belongs to the same USB device as a camera:
// its sysfs path runs through the camera's USB device, or its udev bus path
// names the camera's port chain, or vendor, product and serial agree.
bool sourceOfCamera(const PulseSource& source, const UvcIdentity& camera)
{
    if (!camera.usb || camera.simulated || camera.busPath.empty()) return false;
    const std::string& bus = camera.busPath;
    if (!source.sysfsPath.empty()) {
        const std::string path = source.sysfsPath + "/";
        // "/1-4/" or "/1-4:1.2/": the USB device itself or one of its interfaces.
        if (path.find("/" + bus + "/") != std::string::npos || path.find("/" + bus + ":") != std::string::npos)
            return true;
    }
    // udev's path id: "...-usb-0:<port chain>:<configuration>.<interface>".
    if (const auto dash = bus.find('-'); !source.busPath.empty() && dash != std::string::npos) {
        const std::string ports = "-usb-0:" + bus.substr(dash + 1) + ":";
        if (source.busPath.find(ports) != std::string::npos) return true;
    }
    if (sameHex(source.vendorId, camera.vendorId) && sameHex(source.productId, camera.productId)) {
        // Without serials on both sides the ids alone do not tell two
        // cameras of one model apart; the walk order decides then.
        if (camera.serial.empty() || source.serial.empty()) return source.busPath.empty() && source.sysfsPath.empty();
        return source.serial.find(camera.serial) != std::string::npos;
    }
    return false;
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
            NegotiatedMode mode;
            std::vector<CaptureMode> offered;
            const int asked = device->captureModes(offered);
            if (asked == 0 && CaptureModes::negotiate(offered, request.pixelFormat, width, height,
                                                      request.frameRate, mode)) {
                std::fprintf(stderr, "vorq-platform: %s (%s): capture mode %s%s\n", id.card.c_str(),
                             id.videoNode.c_str(), CaptureModes::describe(mode).c_str(),
                             mode.exact ? "" : " (nearest to the one asked for)");
                input.options.emplace_back("input_format", mode.format);
                input.options.emplace_back("video_size",
                                           std::to_string(mode.width) + "x" + std::to_string(mode.height));
                char rate[32];
                std::snprintf(rate, sizeof rate, "%g", mode.frameRate);
                input.options.emplace_back("framerate", rate);
            } else {
                // The camera would not tell: ask for the mode as requested
                // and let the driver adjust it.
                std::fprintf(stderr, "vorq-platform: %s (%s): no capture modes (%s), asking for %s@%d\n",
                             id.card.c_str(), id.videoNode.c_str(),
                             asked ? std::strerror(asked) : "none usable", request.videoSize.c_str(),
                             request.frameRate);
                if (!request.pixelFormat.empty()) input.options.emplace_back("input_format", request.pixelFormat);
                input.options.emplace_back("video_size", request.videoSize);
                input.options.emplace_back("framerate", std::to_string(request.frameRate));
            }
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

    // The microphones of the cameras of that name, by USB identity, in walk
    // order; then the sources whose description names the device.
    std::vector<const PulseSource*> candidates;
    auto add = [&candidates](const PulseSource& source) {
        if (std::find(candidates.begin(), candidates.end(), &source) == candidates.end())
            candidates.push_back(&source);
    };
    for (const auto& device : devices) {
        const UvcIdentity& id = device->identity();
        if (id.simulated || id.card != part) continue;
        for (const auto& source : sources)
            if (!source.monitor && sourceOfCamera(source, id)) add(source);
    }
    for (const auto& source : sources)
        if (!source.monitor && source.description.find(part) != std::string::npos) add(source);

    if (static_cast<std::size_t>(number) >= candidates.size()) return ENOENT;
    out = CaptureInput{"pulse", candidates[static_cast<std::size_t>(number)]->name, {}};
    return 0;
}

} // namespace vorq::platform

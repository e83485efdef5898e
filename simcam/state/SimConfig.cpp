#include "simcam/SimConfig.h"

#include <cerrno>
#include <cstdlib>

namespace vorq::simcam {

namespace {

std::string trim(const std::string& s)
{
    const char* ws = " \t\r\n";
    size_t first = s.find_first_not_of(ws);
    if (first == std::string::npos) return {};
    size_t last = s.find_last_not_of(ws);
    return s.substr(first, last - first + 1);
}

void note(std::string* diagnostics, const std::string& text)
{
    if (diagnostics) *diagnostics += "sim.conf: " + text + "\n";
}

// Resolves the keys of one camera. A bad global value is reported once (for
// camera 0), a bad camera-specific one for its camera.
class KeyReader {
public:
    KeyReader(const SimConfig& config, int camera, std::string* diagnostics)
        : config_(config), camera_(camera), diagnostics_(diagnostics)
    {
    }

    void number(const std::string& key, int64_t minimum, int64_t maximum, int64_t& out) const
    {
        std::string text;
        bool own = false;
        if (!find(key, text, own)) return;
        errno = 0;
        char* end = nullptr;
        long long v = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || errno || !end || *end) {
            report(own, key + "=" + text + " is not a number; using " + std::to_string(out));
            return;
        }
        if (v < minimum || v > maximum) {
            long long clamped = v < minimum ? minimum : maximum;
            report(own, key + "=" + text + " is outside " + std::to_string(minimum) + ".." +
                            std::to_string(maximum) + "; using " + std::to_string(clamped));
            v = clamped;
        }
        out = v;
    }

    void integer(const std::string& key, int minimum, int maximum, int& out) const
    {
        int64_t v = out;
        number(key, minimum, maximum, v);
        out = static_cast<int>(v);
    }

    void flag(const std::string& key, bool& out) const
    {
        std::string text;
        bool own = false;
        if (!find(key, text, own)) return;
        if (text == "1" || text == "true" || text == "yes" || text == "on")
            out = true;
        else if (text == "0" || text == "false" || text == "no" || text == "off")
            out = false;
        else
            report(own, key + "=" + text + " is not 0 or 1; using " + (out ? "1" : "0"));
    }

private:
    bool find(const std::string& key, std::string& text, bool& own) const
    {
        return config_.lookup(key, camera_, text, &own);
    }
    void report(bool own, const std::string& text) const
    {
        if (own || camera_ <= 0) note(diagnostics_, text);
    }

    const SimConfig& config_;
    int camera_;
    std::string* diagnostics_;
};

} // namespace

SimConfig SimConfig::parse(const std::string& text, std::string* diagnostics)
{
    SimConfig config;
    size_t lineNumber = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        line = trim(line);
        if (line.empty()) continue;
        size_t eq = line.find('=');
        std::string key = eq == std::string::npos ? std::string() : trim(line.substr(0, eq));
        if (key.empty()) {
            note(diagnostics, "line " + std::to_string(lineNumber) + " is not key=value: " + line);
            continue;
        }
        config.values_[key] = trim(line.substr(eq + 1));
    }

    // cameras= is global only: a per-camera count would make no sense.
    int64_t cameras = kDefaultCameras;
    KeyReader(config, -1, diagnostics).number("cameras", 1, kSimMaxCameras, cameras);
    config.cameras_ = static_cast<int>(cameras);

    for (int cam = 0; cam < kSimMaxCameras; ++cam) {
        const KeyReader read(config, cam, diagnostics);
        SimCameraConfig& c = config.perCamera_[cam];
        read.flag("busy", c.busy);
        read.flag("unplugged", c.unplugged);
        read.number("unplug_after", 0, INT64_MAX / 2, c.unplugAfter);
        read.integer("reboot_ms", 0, 3600 * 1000, c.rebootMs);
        read.integer("error_status", 0, 255, c.errorStatus);
        read.flag("endless_busy", c.endlessBusy);
        read.flag("short_reads", c.shortReads);
        read.integer("slow_flash_ms", 0, 3600 * 1000, c.slowFlashMs);
        read.integer("flash_poll_ms", 0, 3600 * 1000, c.flashPollMs);
        read.integer("package_size", kMinPackageSize, 65535, c.packageSize);
    }
    return config;
}

const SimCameraConfig& SimConfig::camera(int index) const
{
    static const SimCameraConfig defaults;
    if (index < 0 || index >= kSimMaxCameras) return defaults;
    return perCamera_[index];
}

bool SimConfig::lookup(const std::string& key, int camera, std::string& value, bool* cameraSpecific) const
{
    if (cameraSpecific) *cameraSpecific = false;
    if (camera >= 0) {
        auto own = values_.find("cam" + std::to_string(camera) + "." + key);
        if (own != values_.end()) {
            value = own->second;
            if (cameraSpecific) *cameraSpecific = true;
            return true;
        }
    }
    auto global = values_.find(key);
    if (global == values_.end()) return false;
    value = global->second;
    return true;
}

} // namespace vorq::simcam

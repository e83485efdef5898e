#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "simcam/SimStateLayout.h"

namespace vorq::simcam {

// What sim.conf says about one camera: "camN.key" overrides "key".
struct SimCameraConfig {
    bool busy = false;
    bool unplugged = false;
    int64_t unplugAfter = kSimUnplugNone; // transfers until the camera vanishes
    int rebootMs = 3000;
    int errorStatus = 0;                  // upgrade unit, error-status control
    bool endlessBusy = false;             // upgrade unit's data control answers only busy packets
    bool shortReads = false;              // GET_CUR of the data control fails with EIO
    int slowFlashMs = 0;                  // 0: the upgrade unit's own pace
    int flashPollMs = 0;                  // 0: the upgrade unit's own pace
    int packageSize = 3085;               // length of the upgrade unit's data control
};

// The parsed sim.conf: key=value lines, '#' starts a comment. Every key is
// optional; unknown keys are kept for lookup() so later units can add their own.
class SimConfig {
public:
    static constexpr int kDefaultCameras = 1;
    static constexpr int kDefaultPackageSize = 3085;
    // The data control carries at least an upgrade packet's header.
    static constexpr int kMinPackageSize = 13;

    // Problems (malformed lines, bad numbers) are appended to diagnostics, one
    // line each; the affected key keeps its default.
    static SimConfig parse(const std::string& text, std::string* diagnostics = nullptr);

    int cameras() const { return cameras_; }
    // index outside 0..kSimMaxCameras-1 gives the defaults.
    const SimCameraConfig& camera(int index) const;

    // Raw value of a key for one camera ("camN.key" first, then "key"; a
    // negative camera looks at "key" only).
    bool lookup(const std::string& key, int camera, std::string& value, bool* cameraSpecific = nullptr) const;

private:
    int cameras_ = kDefaultCameras;
    SimCameraConfig perCamera_[kSimMaxCameras];
    std::map<std::string, std::string> values_;
};

} // namespace vorq::simcam

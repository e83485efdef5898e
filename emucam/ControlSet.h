#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <linux/videodev2.h>

#include "UvcDescriptors.h"

namespace vorq::emucam {

struct EmulatedControl {
    uint32_t id = 0;
    const char* name = "";
    uint32_t type = V4L2_CTRL_TYPE_INTEGER;
    int32_t minimum = 0, maximum = 0, step = 1, defaultValue = 0;
    int32_t value = 0;
    // Menu entries by index, nullptr where the camera does not offer one.
    std::vector<const char*> menu;
    uint32_t master = 0;      // the auto control this one follows
    int32_t masterManual = 0; // the master's value in which this one is writable
    bool writeOnly = false;
    // A relative (speed) control under older kernels: the range is the
    // device's speed 1..max and the sign, a separate direction byte, is kept.
    bool signedSpeed = false;
};

// The V4L2 controls uvcvideo maps from a camera terminal's and a processing
// unit's bmControls, with the driver's rules for ranges, menus and masters.
class ControlSet {
public:
    enum class SpeedConvention { Current, Old };

    void build(const VideoFunction& function, SpeedConvention speeds);
    // "brightness=10" style overrides of a profile: value, or min/max/def.
    bool applyOverride(const std::string& key, const std::string& value);

    // errno results, as the driver's ioctls give them.
    int query(v4l2_queryctrl& q) const;
    int queryMenu(v4l2_querymenu& m) const;
    int get(uint32_t id, int32_t& value) const;
    int set(uint32_t id, int32_t value);

    std::vector<uint32_t> ids() const;

private:
    const EmulatedControl* find(uint32_t id) const;
    EmulatedControl* find(uint32_t id);
    bool inactive(const EmulatedControl& c) const;

    mutable std::mutex mutex_;
    std::vector<EmulatedControl> controls_; // in id order
};

} // namespace vorq::emucam

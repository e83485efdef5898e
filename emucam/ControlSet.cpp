#include "ControlSet.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vorq::emucam {

namespace {
const char* const kExposureMenu[] = {"Auto Mode", "Manual Mode", "Shutter Priority Mode", "Aperture Priority Mode"};
const char* const kPowerLineMenu[] = {"Disabled", "50 Hz", "60 Hz", "Auto"};

EmulatedControl integer(uint32_t id, const char* name, int32_t min, int32_t max, int32_t step, int32_t def)
{
    EmulatedControl c;
    c.id = id;
    c.name = name;
    c.minimum = min;
    c.maximum = max;
    c.step = step;
    c.defaultValue = def;
    c.value = def;
    return c;
}

EmulatedControl boolean(uint32_t id, const char* name, int32_t def)
{
    EmulatedControl c = integer(id, name, 0, 1, 1, def);
    c.type = V4L2_CTRL_TYPE_BOOLEAN;
    return c;
}

EmulatedControl slave(EmulatedControl c, uint32_t master, int32_t manual)
{
    c.master = master;
    c.masterManual = manual;
    return c;
}
} // namespace

void ControlSet::build(const VideoFunction& function, SpeedConvention speeds)
{
    std::lock_guard<std::mutex> lock(mutex_);
    controls_.clear();
    auto add = [this](EmulatedControl c) {
        if (!find(c.id)) controls_.push_back(std::move(c));
    };
    // Relative (speed) controls: current kernels map GET_MIN to -max and
    // may default to 0 (stopped); older ones reported the device's 1..max.
    const bool oldSpeeds = speeds == SpeedConvention::Old;

    if (const ControlUnit* ct = function.first(ControlUnit::CameraTerminal)) {
        if (ct->hasControl(1)) {
            EmulatedControl c = integer(V4L2_CID_EXPOSURE_AUTO, "Auto Exposure", 0, 3, 1, V4L2_EXPOSURE_APERTURE_PRIORITY);
            c.type = V4L2_CTRL_TYPE_MENU;
            // Most cameras offer manual and aperture priority only.
            c.menu = {nullptr, kExposureMenu[1], nullptr, kExposureMenu[3]};
            c.minimum = 1;
            add(c);
        }
        if (ct->hasControl(2)) add(boolean(V4L2_CID_EXPOSURE_AUTO_PRIORITY, "Exposure, Dynamic Framerate", 0));
        if (ct->hasControl(3))
            add(slave(integer(V4L2_CID_EXPOSURE_ABSOLUTE, "Exposure Time, Absolute", 3, 2047, 1, 250),
                      V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL));
        if (ct->hasControl(5))
            add(slave(integer(V4L2_CID_FOCUS_ABSOLUTE, "Focus, Absolute", 0, 250, 5, 0), V4L2_CID_FOCUS_AUTO, 0));
        if (ct->hasControl(6)) add(integer(V4L2_CID_FOCUS_RELATIVE, "Focus, Relative", -127, 127, 1, 0));
        if (ct->hasControl(7)) add(integer(V4L2_CID_IRIS_ABSOLUTE, "Iris, Absolute", 0, 10, 1, 0));
        if (ct->hasControl(8)) add(integer(V4L2_CID_IRIS_RELATIVE, "Iris, Relative", -1, 1, 1, 0));
        if (ct->hasControl(9)) add(integer(V4L2_CID_ZOOM_ABSOLUTE, "Zoom, Absolute", 100, 500, 1, 100));
        if (ct->hasControl(10))
            add(integer(V4L2_CID_ZOOM_CONTINUOUS, "Zoom, Continuous", oldSpeeds ? 1 : -7, 7, 1, oldSpeeds ? 1 : 0));
        if (ct->hasControl(11)) {
            add(integer(V4L2_CID_PAN_ABSOLUTE, "Pan, Absolute", -36000, 36000, 3600, 0));
            add(integer(V4L2_CID_TILT_ABSOLUTE, "Tilt, Absolute", -36000, 36000, 3600, 0));
        }
        if (ct->hasControl(12)) {
            if (oldSpeeds) {
                EmulatedControl pan = integer(V4L2_CID_PAN_SPEED, "Pan, Speed", 1, 24, 1, 1);
                EmulatedControl tilt = integer(V4L2_CID_TILT_SPEED, "Tilt, Speed", 1, 24, 1, 1);
                pan.signedSpeed = tilt.signedSpeed = true;
                pan.value = tilt.value = 0;
                add(pan);
                add(tilt);
            } else {
                add(integer(V4L2_CID_PAN_SPEED, "Pan, Speed", -24, 24, 1, 0));
                add(integer(V4L2_CID_TILT_SPEED, "Tilt, Speed", -24, 24, 1, 0));
            }
        }
        if (ct->hasControl(17)) add(boolean(V4L2_CID_FOCUS_AUTO, "Focus, Automatic Continuous", 1));
        if (ct->hasControl(18)) add(boolean(V4L2_CID_PRIVACY, "Privacy", 0));
    }
    if (const ControlUnit* pu = function.first(ControlUnit::ProcessingUnit)) {
        if (pu->hasControl(0)) add(integer(V4L2_CID_BRIGHTNESS, "Brightness", -64, 64, 1, 0));
        if (pu->hasControl(1)) add(integer(V4L2_CID_CONTRAST, "Contrast", 0, 95, 1, 32));
        if (pu->hasControl(2)) add(slave(integer(V4L2_CID_HUE, "Hue", -2000, 2000, 1, 0), V4L2_CID_HUE_AUTO, 0));
        if (pu->hasControl(3)) add(integer(V4L2_CID_SATURATION, "Saturation", 0, 100, 1, 55));
        if (pu->hasControl(4)) add(integer(V4L2_CID_SHARPNESS, "Sharpness", 0, 7, 1, 2));
        if (pu->hasControl(5)) add(integer(V4L2_CID_GAMMA, "Gamma", 100, 300, 1, 100));
        if (pu->hasControl(6))
            add(slave(integer(V4L2_CID_WHITE_BALANCE_TEMPERATURE, "White Balance Temperature", 2800, 6500, 10, 4600),
                      V4L2_CID_AUTO_WHITE_BALANCE, 0));
        if (pu->hasControl(7)) {
            add(slave(integer(V4L2_CID_BLUE_BALANCE, "White Balance Blue Component", 0, 255, 1, 128),
                      V4L2_CID_AUTO_WHITE_BALANCE, 0));
            add(slave(integer(V4L2_CID_RED_BALANCE, "White Balance Red Component", 0, 255, 1, 128),
                      V4L2_CID_AUTO_WHITE_BALANCE, 0));
        }
        if (pu->hasControl(8)) add(integer(V4L2_CID_BACKLIGHT_COMPENSATION, "Backlight Compensation", 0, 2, 1, 1));
        if (pu->hasControl(9)) add(integer(V4L2_CID_GAIN, "Gain", 0, 100, 1, 0));
        if (pu->hasControl(10)) {
            EmulatedControl c = integer(V4L2_CID_POWER_LINE_FREQUENCY, "Power Line Frequency", 0, 2, 1, 1);
            c.type = V4L2_CTRL_TYPE_MENU;
            c.menu = {kPowerLineMenu[0], kPowerLineMenu[1], kPowerLineMenu[2]};
            if (function.uvcVersion >= 0x0150) {
                c.menu.push_back(kPowerLineMenu[3]);
                c.maximum = 3;
            }
            add(c);
        }
        if (pu->hasControl(11)) add(boolean(V4L2_CID_HUE_AUTO, "Hue, Auto", 0));
        if (pu->hasControl(12) || pu->hasControl(13))
            add(boolean(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic", 1));
    }
    std::sort(controls_.begin(), controls_.end(),
              [](const EmulatedControl& a, const EmulatedControl& b) { return a.id < b.id; });
}

bool ControlSet::applyOverride(const std::string& key, const std::string& value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto dot = key.find('.');
    const std::string name = key.substr(0, dot);
    const std::string field = dot == std::string::npos ? "value" : key.substr(dot + 1);
    char* end = nullptr;
    const long v = std::strtol(value.c_str(), &end, 0);
    if (value.empty() || *end) return false;
    for (auto& c : controls_) {
        std::string lower;
        for (const char* p = c.name; *p; ++p)
            lower += (*p == ' ' || *p == ',') ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
        while (lower.find("__") != std::string::npos) lower.erase(lower.find("__"), 1);
        if (lower != name && std::to_string(c.id) != name) continue;
        const auto n = static_cast<int32_t>(v);
        if (field == "value") c.value = n;
        else if (field == "min") c.minimum = n;
        else if (field == "max") c.maximum = n;
        else if (field == "step") c.step = n;
        else if (field == "default") c.defaultValue = c.value = n;
        else return false;
        return true;
    }
    return false;
}

const EmulatedControl* ControlSet::find(uint32_t id) const
{
    for (const auto& c : controls_)
        if (c.id == id) return &c;
    return nullptr;
}

EmulatedControl* ControlSet::find(uint32_t id)
{
    for (auto& c : controls_)
        if (c.id == id) return &c;
    return nullptr;
}

bool ControlSet::inactive(const EmulatedControl& c) const
{
    if (!c.master) return false;
    const EmulatedControl* master = find(c.master);
    return master && master->value != c.masterManual;
}

int ControlSet::query(v4l2_queryctrl& q) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const EmulatedControl* c = nullptr;
    if (q.id & V4L2_CTRL_FLAG_NEXT_CTRL) {
        const uint32_t after = q.id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
        for (const auto& x : controls_)
            if (x.id > after) {
                c = &x;
                break;
            }
    } else {
        c = find(q.id);
    }
    if (!c) return EINVAL;
    std::memset(&q, 0, sizeof q);
    q.id = c->id;
    q.type = c->type;
    std::strncpy(reinterpret_cast<char*>(q.name), c->name, sizeof q.name - 1);
    q.minimum = c->minimum;
    q.maximum = c->maximum;
    q.step = c->type == V4L2_CTRL_TYPE_MENU ? 1 : c->step;
    q.default_value = c->defaultValue;
    if (inactive(*c)) q.flags |= V4L2_CTRL_FLAG_INACTIVE;
    if (c->master == 0) {
        for (const auto& x : controls_)
            if (x.master == c->id) q.flags |= V4L2_CTRL_FLAG_UPDATE;
    }
    if (c->writeOnly) q.flags |= V4L2_CTRL_FLAG_WRITE_ONLY;
    return 0;
}

int ControlSet::queryMenu(v4l2_querymenu& m) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const EmulatedControl* c = find(m.id);
    if (!c || c->type != V4L2_CTRL_TYPE_MENU) return EINVAL;
    if (m.index >= c->menu.size() || !c->menu[m.index]) return EINVAL;
    const uint32_t index = m.index;
    std::memset(m.name, 0, sizeof m.name);
    std::strncpy(reinterpret_cast<char*>(m.name), c->menu[index], sizeof m.name - 1);
    return 0;
}

int ControlSet::get(uint32_t id, int32_t& value) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const EmulatedControl* c = find(id);
    if (!c) return EINVAL;
    if (c->writeOnly) return EACCES;
    value = c->value;
    return 0;
}

int ControlSet::set(uint32_t id, int32_t value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    EmulatedControl* c = find(id);
    if (!c) return EINVAL;
    // The camera refuses a manual value while its auto master rules
    // (request error "wrong state"), which uvcvideo reports as EACCES.
    if (inactive(*c)) return EACCES;
    if (c->type == V4L2_CTRL_TYPE_MENU) {
        if (value < c->minimum || value > c->maximum || static_cast<std::size_t>(value) >= c->menu.size() ||
            !c->menu[value])
            return EINVAL;
    } else {
        if (c->signedSpeed) {
            // 0 stops; any other value moves at a speed within the range.
            if (value == 0) {
                c->value = 0;
                return 0;
            }
            const int64_t speed = std::clamp<int64_t>(std::abs(static_cast<int64_t>(value)), c->minimum, c->maximum);
            c->value = static_cast<int32_t>(value < 0 ? -speed : speed);
            return 0;
        }
        // Clamp to the range, then round to the nearest step from the minimum.
        int64_t v = std::clamp<int64_t>(value, c->minimum, c->maximum);
        if (c->step > 1) {
            const int64_t offset = v - c->minimum;
            v = c->minimum + (offset + c->step / 2) / c->step * c->step;
            if (v > c->maximum) v -= c->step;
        }
        value = static_cast<int32_t>(v);
    }
    c->value = value;
    return 0;
}

std::vector<uint32_t> ControlSet::ids() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint32_t> ids;
    for (const auto& c : controls_) ids.push_back(c.id);
    return ids;
}

} // namespace vorq::emucam

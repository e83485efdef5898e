#include "EmulatedCamera.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <linux/usb/video.h>
#include <sstream>

namespace vorq::emucam {

namespace {
std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}
} // namespace

bool CameraProfile::parse(const std::string& text, CameraProfile& profile, std::string& error)
{
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        line = trim(line);
        if (line.empty()) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            error = "line " + std::to_string(number) + ": expected key=value";
            return false;
        }
        const std::string key = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));
        if (key == "product") profile.product = value;
        else if (key == "manufacturer") profile.manufacturer = value;
        else if (key == "serial") profile.serial = value;
        else if (key == "units" && (value == "simulated" || value == "plain")) profile.simulatedUnits = value == "simulated";
        else if (key == "sim_state") profile.simState = value;
        else if (key == "speeds" && (value == "old" || value == "current"))
            profile.speeds = value == "old" ? ControlSet::SpeedConvention::Old : ControlSet::SpeedConvention::Current;
        else if (key.rfind("ctrl.", 0) == 0) profile.controls.emplace_back(key.substr(5), value);
        else if (key.rfind("xu.", 0) == 0) profile.unitLengths.emplace_back(key.substr(3), value);
        else {
            error = "line " + std::to_string(number) + ": unknown key or value \"" + key + "\"";
            return false;
        }
    }
    return true;
}

EmulatedCamera::EmulatedCamera(UsbCamera usb, CameraProfile profile, std::unique_ptr<UnitResponder> units)
    : usb_(std::move(usb)), profile_(std::move(profile)), units_(std::move(units))
{
    controls_.build(function(), profile_.speeds);
    for (const auto& [key, value] : profile_.controls) controls_.applyOverride(key, value);
}

std::string EmulatedCamera::cardName() const
{
    if (!profile_.product.empty()) return profile_.product;
    char name[32];
    std::snprintf(name, sizeof name, "UVC Camera (%04x:%04x)", usb_.vendorId, usb_.productId);
    return name;
}

int EmulatedCamera::xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    if (!plugged_) return ENODEV;
    const ControlUnit* xu = function().unit(unit);
    if (!xu || xu->kind != ControlUnit::Extension) return ENOENT;
    // Only controls the unit advertises in bmControls exist for the driver.
    if (selector == 0 || !xu->hasControl(selector - 1u)) return ENOENT;

    // The driver learns each control's capabilities and length from the
    // device, and checks every request against them.
    uint8_t info = 0;
    uint8_t lengthBytes[2] = {};
    if (units_->request(unit, selector, UVC_GET_INFO, &info, 1) != 0 ||
        units_->request(unit, selector, UVC_GET_LEN, lengthBytes, 2) != 0)
        return EIO;
    const uint16_t length = static_cast<uint16_t>(lengthBytes[0] | lengthBytes[1] << 8);

    uint8_t flag = 0;
    switch (query) {
    case UVC_GET_LEN:
        if (size != 2) return ENOBUFS;
        data[0] = lengthBytes[0];
        data[1] = lengthBytes[1];
        return 0;
    case UVC_GET_INFO:
        if (size != 1) return ENOBUFS;
        data[0] = info;
        return 0;
    case UVC_SET_CUR: flag = UVC_CONTROL_CAP_SET; break;
    case UVC_GET_CUR: flag = UVC_CONTROL_CAP_GET; break;
    // The driver assumes every control answers these.
    case UVC_GET_MIN:
    case UVC_GET_MAX:
    case UVC_GET_DEF:
    case UVC_GET_RES: break;
    default: return EINVAL;
    }
    if (flag && !(info & flag)) return EBADRQC;
    if (size != length) return ENOBUFS;
    if (!data) return EFAULT;
    return units_->request(unit, selector, query, data, size);
}

} // namespace vorq::emucam

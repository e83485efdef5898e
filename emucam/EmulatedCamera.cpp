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

int EmulatedCamera::setControl(uint32_t cid, int32_t& value)
{
    int error = controls_.set(cid, value);
    if (error == 0) error = controls_.get(cid, value);
    units_->controlWritten(cid, value, error);
    return error;
}

int EmulatedCamera::xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    if (!plugged_) return ENODEV;
    const ControlUnit* xu = function().unit(unit);
    if (!xu || xu->kind != ControlUnit::Extension) return ENOENT;
    // Only controls the unit advertises in bmControls exist for the driver.
    if (selector == 0 || !xu->hasControl(selector - 1u)) return ENOENT;

    // On first use the driver learns a control's capabilities and length
    // from the device, and checks every later request against them.
    const auto key = std::make_pair(unit, selector);
    std::unique_lock<std::mutex> lock(unitsMutex_);
    auto known = unitInfo_.find(key);
    if (known == unitInfo_.end()) {
        uint8_t info = 0;
        uint8_t lengthBytes[2] = {};
        if (const int r = units_->request(unit, selector, UVC_GET_INFO, &info, 1)) return r;
        if (const int r = units_->request(unit, selector, UVC_GET_LEN, lengthBytes, 2)) return r;
        known = unitInfo_.emplace(key, std::make_pair(info, static_cast<uint16_t>(lengthBytes[0] | lengthBytes[1] << 8)))
                    .first;
    }
    const uint8_t info = known->second.first;
    const uint16_t length = known->second.second;
    lock.unlock();

    uint8_t flag = 0;
    switch (query) {
    case UVC_GET_LEN:
    case UVC_GET_INFO:
        // Asked by the application: passed to the device.
        if (size != (query == UVC_GET_LEN ? 2 : 1)) return ENOBUFS;
        if (!data) return EFAULT;
        return units_->request(unit, selector, query, data, size);
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

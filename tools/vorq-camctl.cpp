// vorq-camctl: what the suite sees of the cameras, through the same
// DirectShow-shaped calls the program, the upgrade engine and the dialog use.
//
//   vorq-camctl [--json] list | controls <index> | modes <index>
//   vorq-camctl [--json] get <index> <control> | set <index> <control> <value>
//   vorq-camctl xu <index> <guid> <selector> get|set [hex]
//
// Each report is built once as a JSON document; the text output is rendered
// from that same document, so the two never disagree.

#include <cctype>
#include <cerrno>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/CaptureModes.h"
#include "platform/ComPtr.h"
#include "platform/DeviceProvider.h"
#include "platform/DevicePath.h"
#include "platform/DirectShow.h"
#include "platform/UnavailableCameras.h"

namespace {

using Json = nlohmann::ordered_json;

struct KnownUnit {
    const char* guid;
    const char* role;
};
constexpr KnownUnit kKnownUnits[] = {
    {"{A7A6A934-3A4A-4351-85F4-042EF2CDCAAB}", "settings"},
    {"{9D33BBE7-E619-435C-8FAC-528EECCCBCA4}", "zoom"},
    {"{1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54}", "upgrade"},
};

struct Camera {
    std::string friendlyName;
    std::string devicePath;
    ComPtr<IMoniker> moniker;
};

constexpr char kUsage[] = "usage: vorq-camctl list\n"
                         "       vorq-camctl controls <index>\n"
                         "       vorq-camctl modes <index>\n"
                         "       vorq-camctl get <index> <control>\n"
                         "       vorq-camctl set <index> <control> <value>|auto\n"
                         "       vorq-camctl xu <index> <guid> <selector> get|set [hex]\n"
                         "       vorq-camctl --help | --version\n"
                         "list, controls, modes, get and set take --json.\n";

void usage() { std::fputs(kUsage, stderr); }

void help()
{
    std::fputs(kUsage, stdout);
    std::fputs("\n"
               "Shows and sets the TELDORA cameras as the suite sees them.\n"
               "  list       name, device path, node and extension units of each camera\n"
               "  controls   camera-control and proc-amp ranges and values of camera <index>\n"
               "  modes      the formats, frame sizes and frame rates camera <index> streams\n"
               "  get        the value of one control, by the name controls shows\n"
               "             (\"white balance\", white_balance and white-balance all work)\n"
               "  set        writes one control: a whole number within its range and step,\n"
               "             or auto where the control has an automatic mode\n"
               "  xu         reads (get) or writes (set, hex bytes) one extension-unit control\n"
               "  --json     one JSON document on standard output instead of text\n"
               "             (list, controls, modes, get, set)\n"
               "Cameras are numbered from 0 in the order of list. VORQ_SIM=1 adds the\n"
               "simulated camera. Exit status: 0 done, 1 failed, 2 bad arguments.\n",
               stdout);
}

std::string hresultText(HRESULT hr)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<uint32_t>(hr));
    return buf;
}

bool walkCameras(std::vector<Camera>& cameras)
{
    CoInitialize(nullptr);
    ComPtr<ICreateDevEnum> devEnum;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  devEnum.putVoid());
    if (FAILED(hr)) {
        std::fprintf(stderr, "vorq-camctl: cannot create the device enumerator (%s)\n", hresultText(hr).c_str());
        return false;
    }
    ComPtr<IEnumMoniker> monikers;
    hr = devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0);
    if (hr != S_OK || !monikers) return true;
    for (;;) {
        Camera camera;
        ULONG fetched = 0;
        if (monikers->Next(1, camera.moniker.put(), &fetched) != S_OK || fetched != 1) break;
        ComPtr<IPropertyBag> bag;
        if (SUCCEEDED(camera.moniker->BindToStorage(IID_IPropertyBag, bag.putVoid()))) {
            bag->Read("FriendlyName", camera.friendlyName);
            bag->Read("DevicePath", camera.devicePath);
        }
        cameras.push_back(std::move(camera));
    }
    return true;
}

bool parseIndex(const char* text, size_t count, size_t& index)
{
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno || !end || *end || end == text || v < 0) {
        std::fprintf(stderr, "vorq-camctl: not a camera index: %s\n", text);
        return false;
    }
    if (static_cast<size_t>(v) >= count) {
        std::fprintf(stderr, "vorq-camctl: no camera with index %ld (%zu camera%s found)\n", v, count,
                     count == 1 ? "" : "s");
        return false;
    }
    index = static_cast<size_t>(v);
    return true;
}

bool bindFilter(const Camera& camera, ComPtr<IBaseFilter>& filter)
{
    HRESULT hr = camera.moniker->BindToObject(IID_IBaseFilter, filter.putVoid());
    if (FAILED(hr)) {
        std::fprintf(stderr, "vorq-camctl: cannot open %s (%s)\n", camera.friendlyName.c_str(), hresultText(hr).c_str());
        return false;
    }
    return true;
}

HRESULT xuRequest(IKsControl* control, const GUID& set, ULONG selector, ULONG flags, ULONG node, void* data,
                  ULONG length, ULONG* returned)
{
    KSP_NODE request{};
    request.Property.Set = set;
    request.Property.Id = selector;
    request.Property.Flags = flags | KSPROPERTY_TYPE_TOPOLOGY;
    request.NodeId = node;
    return control->KsProperty(&request.Property, sizeof request, data, length, returned);
}

// The topology node that carries a property set, or -1.
long findUnitNode(IBaseFilter* filter, const GUID& set, ComPtr<IKsControl>& control)
{
    ComPtr<IKsTopologyInfo> topology;
    if (FAILED(filter->QueryInterface(IID_IKsTopologyInfo, topology.putVoid()))) return -1;
    if (FAILED(filter->QueryInterface(IID_IKsControl, control.putVoid()))) return -1;
    DWORD nodes = 0;
    if (FAILED(topology->get_NumNodes(&nodes))) return -1;
    for (DWORD node = 0; node < nodes; ++node) {
        GUID type{};
        if (FAILED(topology->get_NodeType(node, &type)) || type != KSNODETYPE_DEV_SPECIFIC) continue;
        ULONG returned = 0;
        if (xuRequest(control.get(), set, 0, KSPROPERTY_TYPE_SETSUPPORT, node, nullptr, 0, &returned) == S_OK)
            return static_cast<long>(node);
    }
    return -1;
}

std::string videoNodeOf(const std::string& devicePath)
{
    size_t hash = devicePath.rfind('#');
    return hash == std::string::npos ? std::string() : devicePath.substr(hash + 1);
}


// ---- list ------------------------------------------------------------------

Json listReport(const std::vector<Camera>& cameras)
{
    Json report{{"cameras", Json::array()}, {"unavailable", Json::array()}};
    for (size_t i = 0; i < cameras.size(); ++i) {
        const Camera& camera = cameras[i];
        Json entry{{"index", i},
                   {"name", camera.friendlyName},
                   {"device_path", camera.devicePath},
                   {"node", videoNodeOf(camera.devicePath)},
                   {"available", true},
                   {"extension_units", Json::array()}};
        ComPtr<IBaseFilter> filter;
        if (FAILED(camera.moniker->BindToObject(IID_IBaseFilter, filter.putVoid()))) {
            entry["available"] = false;
            report["cameras"].push_back(std::move(entry));
            continue;
        }
        ComPtr<IKsTopologyInfo> topology;
        DWORD nodes = 0;
        if (SUCCEEDED(filter->QueryInterface(IID_IKsTopologyInfo, topology.putVoid())) &&
            SUCCEEDED(topology->get_NumNodes(&nodes))) {
            ComPtr<IKsControl> control;
            filter->QueryInterface(IID_IKsControl, control.putVoid());
            for (DWORD node = 0; node < nodes; ++node) {
                GUID type{};
                if (FAILED(topology->get_NodeType(node, &type)) || type != KSNODETYPE_DEV_SPECIFIC) continue;
                Json unit{{"node", node}, {"guid", nullptr}, {"role", nullptr}};
                for (const auto& k : kKnownUnits) {
                    GUID set{};
                    ULONG returned = 0;
                    if (control && vorq::platform::parseGuid(k.guid, set) &&
                        xuRequest(control.get(), set, 0, KSPROPERTY_TYPE_SETSUPPORT, node, nullptr, 0, &returned) ==
                            S_OK) {
                        unit["guid"] = k.guid;
                        unit["role"] = k.role;
                        break;
                    }
                }
                entry["extension_units"].push_back(std::move(unit));
            }
        }
        report["cameras"].push_back(std::move(entry));
    }
    // Cameras the walk found but may not open: say why they are missing.
    for (const auto& u : vorq::platform::UnavailableCameras::fromLastWalk())
        report["unavailable"].push_back(
            Json{{"name", u.name}, {"node", u.node}, {"error", u.error}, {"reason", u.reason}});
    return report;
}

void printList(const Json& report)
{
    if (report["cameras"].empty()) std::printf("No camera found.\n");
    for (const Json& camera : report["cameras"]) {
        std::printf("[%zu] %s\n", camera["index"].get<size_t>(), camera["name"].get<std::string>().c_str());
        std::printf("    device path: %s\n", camera["device_path"].get<std::string>().c_str());
        std::printf("    node: %s\n", camera["node"].get<std::string>().c_str());
        if (!camera["available"].get<bool>()) {
            std::printf("    (cannot be opened)\n");
            continue;
        }
        const Json& units = camera["extension_units"];
        if (units.empty()) {
            std::printf("    extension units: none\n");
            continue;
        }
        std::printf("    extension units:\n");
        for (const Json& unit : units) {
            if (unit["guid"].is_null())
                std::printf("      node %u: unrecognised property set\n", unit["node"].get<unsigned>());
            else
                std::printf("      node %u: %s (%s)\n", unit["node"].get<unsigned>(),
                            unit["guid"].get<std::string>().c_str(), unit["role"].get<std::string>().c_str());
        }
    }
    for (const Json& u : report["unavailable"]) {
        const std::string name = u["name"].get<std::string>();
        std::printf("[-] %s\n    node: %s\n    not available: %s\n", name.empty() ? "(unnamed camera)" : name.c_str(),
                    u["node"].get<std::string>().c_str(), u["reason"].get<std::string>().c_str());
    }
}

// ---- controls --------------------------------------------------------------

struct ControlName {
    long id;
    const char* name;
};
constexpr ControlName kCameraControls[] = {
    {CameraControl_Pan, "pan"},           {CameraControl_Tilt, "tilt"},
    {CameraControl_Zoom, "zoom"},         {CameraControl_Exposure, "exposure"},
    {CameraControl_Iris, "iris"},         {CameraControl_Focus, "focus"},
    {CameraControl_PanRelative, "pan relative"}, {CameraControl_TiltRelative, "tilt relative"},
};
constexpr ControlName kProcAmpControls[] = {
    {VideoProcAmp_Brightness, "brightness"},
    {VideoProcAmp_Contrast, "contrast"},
    {VideoProcAmp_Hue, "hue"},
    {VideoProcAmp_Saturation, "saturation"},
    {VideoProcAmp_Sharpness, "sharpness"},
    {VideoProcAmp_Gamma, "gamma"},
    {VideoProcAmp_WhiteBalance, "white balance"},
    {VideoProcAmp_BacklightCompensation, "backlight compensation"},
    {VideoProcAmp_Gain, "gain"},
    {VideoProcAmp_PowerlineFrequency, "power line frequency"},
};
constexpr char kCameraControlGroup[] = "camera control";
constexpr char kProcAmpGroup[] = "video proc amp";

Json flagsJson(long flags)
{
    Json out = Json::array();
    if (flags & 1) out.push_back("auto");
    if (flags & 2) out.push_back("manual");
    return out;
}

std::string flagsText(const Json& flags)
{
    std::string out;
    for (const Json& f : flags) out += (out.empty() ? "" : "|") + f.get<std::string>();
    return out.empty() ? "none" : out;
}

// Both interfaces share their shape; this hides which one a control lives on.
class ControlAccess {
public:
    explicit ControlAccess(IBaseFilter* filter)
    {
        filter->QueryInterface(IID_IAMCameraControl, camera_.putVoid());
        filter->QueryInterface(IID_IAMVideoProcAmp, procAmp_.putVoid());
    }
    HRESULT getRange(bool camera, long id, long* min, long* max, long* step, long* def, long* caps)
    {
        if (camera) return camera_ ? camera_->GetRange(id, min, max, step, def, caps) : E_NOINTERFACE;
        return procAmp_ ? procAmp_->GetRange(id, min, max, step, def, caps) : E_NOINTERFACE;
    }
    HRESULT get(bool camera, long id, long* value, long* flags)
    {
        if (camera) return camera_ ? camera_->Get(id, value, flags) : E_NOINTERFACE;
        return procAmp_ ? procAmp_->Get(id, value, flags) : E_NOINTERFACE;
    }
    HRESULT set(bool camera, long id, long value, long flags)
    {
        if (camera) return camera_ ? camera_->Set(id, value, flags) : E_NOINTERFACE;
        return procAmp_ ? procAmp_->Set(id, value, flags) : E_NOINTERFACE;
    }

private:
    ComPtr<IAMCameraControl> camera_;
    ComPtr<IAMVideoProcAmp> procAmp_;
};

Json controlReport(ControlAccess& access, bool camera, const ControlName& control)
{
    Json entry{{"group", camera ? kCameraControlGroup : kProcAmpGroup}, {"id", control.id}, {"name", control.name}};
    long min = 0, max = 0, step = 0, def = 0, caps = 0, value = 0, flags = 0;
    HRESULT hr = access.getRange(camera, control.id, &min, &max, &step, &def, &caps);
    if (FAILED(hr)) {
        entry["supported"] = false;
        entry["error"] = hresultText(hr);
        return entry;
    }
    entry["supported"] = true;
    entry["minimum"] = min;
    entry["maximum"] = max;
    entry["step"] = step;
    entry["default"] = def;
    entry["caps"] = flagsJson(caps);
    hr = access.get(camera, control.id, &value, &flags);
    if (SUCCEEDED(hr)) {
        entry["value"] = value;
        entry["flags"] = flagsJson(flags);
    } else {
        entry["value"] = nullptr;
        entry["error"] = hresultText(hr);
    }
    return entry;
}

Json cameraHeader(const Camera& camera, size_t index)
{
    return Json{{"index", index}, {"name", camera.friendlyName}};
}

Json controlsReport(const Camera& camera, size_t index, IBaseFilter* filter)
{
    ControlAccess access(filter);
    Json report = cameraHeader(camera, index);
    report["controls"] = Json::array();
    for (const auto& c : kCameraControls) report["controls"].push_back(controlReport(access, true, c));
    for (const auto& c : kProcAmpControls) report["controls"].push_back(controlReport(access, false, c));
    return report;
}

void printControls(const Json& report)
{
    std::printf("%s\n", report["name"].get<std::string>().c_str());
    std::string group;
    for (const Json& c : report["controls"]) {
        if (c["group"] != group) {
            group = c["group"].get<std::string>();
            std::printf("  %s:\n", group.c_str());
        }
        const long id = c["id"].get<long>();
        const std::string name = c["name"].get<std::string>();
        if (!c["supported"].get<bool>()) {
            std::printf("    %-3ld %-24s not supported (%s)\n", id, name.c_str(), c["error"].get<std::string>().c_str());
            continue;
        }
        std::printf("    %-3ld %-24s range %ld..%ld step %ld default %ld caps %s", id, name.c_str(),
                    c["minimum"].get<long>(), c["maximum"].get<long>(), c["step"].get<long>(),
                    c["default"].get<long>(), flagsText(c["caps"]).c_str());
        if (c["value"].is_null())
            std::printf(", value unreadable (%s)\n", c["error"].get<std::string>().c_str());
        else
            std::printf(", value %ld (%s)\n", c["value"].get<long>(), flagsText(c["flags"]).c_str());
    }
}

// "White_Balance", "white-balance" and "white balance" name the same control.
std::string normalisedName(const std::string& text)
{
    std::string out;
    for (char c : text) out += (c == '_' || c == '-') ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool findControl(const std::string& text, bool& camera, const ControlName*& control)
{
    const std::string name = normalisedName(text);
    for (const auto& c : kCameraControls)
        if (name == c.name) {
            camera = true;
            control = &c;
            return true;
        }
    for (const auto& c : kProcAmpControls)
        if (name == c.name) {
            camera = false;
            control = &c;
            return true;
        }
    return false;
}

bool parseLong(const char* text, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return !errno && end && !*end && end != text;
}

// get and set: the control's value afterwards, or an exit status.
int readOrWriteControl(const Camera& camera, size_t index, const char* controlText, const char* valueText, Json& report)
{
    bool isCamera = false;
    const ControlName* control = nullptr;
    if (!findControl(controlText, isCamera, control)) {
        std::fprintf(stderr, "vorq-camctl: no control named \"%s\" (vorq-camctl controls %zu lists them)\n",
                     controlText, index);
        return 2;
    }
    long wanted = 0;
    const bool toAuto = valueText && std::strcmp(valueText, "auto") == 0;
    if (valueText && !toAuto && !parseLong(valueText, wanted)) {
        std::fprintf(stderr, "vorq-camctl: not a value for %s: %s (a whole number or auto)\n", control->name,
                     valueText);
        return 2;
    }
    ComPtr<IBaseFilter> filter;
    if (!bindFilter(camera, filter)) return 1;
    ControlAccess access(filter.get());
    long min = 0, max = 0, step = 0, def = 0, caps = 0, value = 0, flags = 0;
    HRESULT hr = access.getRange(isCamera, control->id, &min, &max, &step, &def, &caps);
    if (FAILED(hr)) {
        std::fprintf(stderr, "vorq-camctl: %s has no %s control (%s)\n", camera.friendlyName.c_str(), control->name,
                     hresultText(hr).c_str());
        return 1;
    }
    if (valueText) {
        const long autoFlag = isCamera ? CameraControl_Flags_Auto : VideoProcAmp_Flags_Auto;
        const long manualFlag = isCamera ? CameraControl_Flags_Manual : VideoProcAmp_Flags_Manual;
        if (toAuto) {
            if (!(caps & autoFlag)) {
                std::fprintf(stderr, "vorq-camctl: %s has no automatic mode\n", control->name);
                return 2;
            }
            // The camera keeps its value; only the mode changes.
            if (FAILED(access.get(isCamera, control->id, &wanted, &flags))) wanted = def;
        } else if (wanted < min || wanted > max || (step > 0 && (wanted - min) % step != 0)) {
            std::fprintf(stderr, "vorq-camctl: %ld is outside %s's range %ld..%ld step %ld\n", wanted, control->name,
                         min, max, step);
            return 2;
        }
        hr = access.set(isCamera, control->id, wanted, toAuto ? autoFlag : manualFlag);
        if (FAILED(hr)) {
            std::fprintf(stderr, "vorq-camctl: writing %s failed (%s)\n", control->name, hresultText(hr).c_str());
            return 1;
        }
    }
    hr = access.get(isCamera, control->id, &value, &flags);
    if (FAILED(hr)) {
        std::fprintf(stderr, "vorq-camctl: reading %s failed (%s)\n", control->name, hresultText(hr).c_str());
        return 1;
    }
    report = cameraHeader(camera, index);
    report["group"] = isCamera ? kCameraControlGroup : kProcAmpGroup;
    report["control"] = control->name;
    report["value"] = value;
    report["flags"] = flagsJson(flags);
    return 0;
}

// ---- modes -----------------------------------------------------------------

int modesReport(const Camera& camera, size_t index, Json& report)
{
    using namespace vorq::platform;
    for (const auto& device : DeviceProvider::enumerate()) {
        if (devicePathOf(device->identity()) != camera.devicePath) continue;
        std::vector<CaptureMode> modes;
        const int err = device->captureModes(modes);
        if (err) {
            std::fprintf(stderr, "vorq-camctl: %s does not tell its capture modes (%s)\n",
                         camera.friendlyName.c_str(), std::strerror(err));
            return 1;
        }
        report = cameraHeader(camera, index);
        report["modes"] = Json::array();
        for (const CaptureMode& m : modes) {
            char fourcc[5] = {};
            for (int i = 0; i < 4; ++i) {
                const char c = static_cast<char>(m.fourcc >> (8 * i) & 0xff);
                fourcc[i] = std::isprint(static_cast<unsigned char>(c)) ? c : '?';
            }
            report["modes"].push_back(Json{{"format", m.format},
                                           {"fourcc", fourcc},
                                           {"compressed", m.compressed},
                                           {"width", m.width},
                                           {"height", m.height},
                                           {"frame_rates", m.frameRates}});
        }
        return 0;
    }
    std::fprintf(stderr, "vorq-camctl: %s went away\n", camera.friendlyName.c_str());
    return 1;
}

void printModes(const Json& report)
{
    std::printf("%s\n", report["name"].get<std::string>().c_str());
    if (report["modes"].empty()) std::printf("  no modes offered\n");
    for (const Json& m : report["modes"]) {
        std::string rates;
        for (const Json& r : m["frame_rates"]) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%g", r.get<double>());
            rates += (rates.empty() ? "" : ", ") + std::string(buf);
        }
        const std::string format = m["format"].get<std::string>();
        std::printf("  %-8s %dx%d @ %s fps\n", format.empty() ? m["fourcc"].get<std::string>().c_str() : format.c_str(),
                    m["width"].get<int>(), m["height"].get<int>(), rates.empty() ? "?" : rates.c_str());
    }
}

bool parseHex(const std::string& text, std::vector<uint8_t>& out)
{
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '-') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        digits += c;
    }
    if (digits.empty() || digits.size() % 2) return false;
    out.clear();
    for (size_t i = 0; i < digits.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return true;
}

int extensionUnit(const Camera& camera, const char* guidText, const char* selectorText, const std::string& action,
                  const char* hexText)
{
    GUID set{};
    if (!vorq::platform::parseGuid(guidText, set)) {
        std::fprintf(stderr, "vorq-camctl: not a GUID: %s (expected {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX})\n", guidText);
        return 2;
    }
    char* end = nullptr;
    errno = 0;
    unsigned long selector = std::strtoul(selectorText, &end, 0);
    if (errno || !end || *end || end == selectorText || selector == 0 || selector > 255) {
        std::fprintf(stderr, "vorq-camctl: not a control selector (1-255): %s\n", selectorText);
        return 2;
    }
    std::vector<uint8_t> data;
    if (action == "set") {
        if (!hexText || !parseHex(hexText, data)) {
            std::fprintf(stderr, "vorq-camctl: set needs the control's bytes in hex, e.g. 01 or 0a0b0c\n");
            return 2;
        }
    } else if (action != "get" || hexText) {
        usage();
        return 2;
    }

    ComPtr<IBaseFilter> filter;
    if (!bindFilter(camera, filter)) return 1;
    ComPtr<IKsControl> control;
    long node = findUnitNode(filter.get(), set, control);
    if (node < 0) {
        std::fprintf(stderr, "vorq-camctl: %s has no extension unit %s\n", camera.friendlyName.c_str(), guidText);
        return 1;
    }
    ULONG length = 0;
    HRESULT hr = xuRequest(control.get(), set, static_cast<ULONG>(selector), KSPROPERTY_TYPE_GET,
                           static_cast<ULONG>(node), nullptr, 0, &length);
    if (hr == HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) {
        std::fprintf(stderr, "vorq-camctl: unit %s does not offer control %lu\n", guidText, selector);
        return 1;
    }
    if ((hr != S_OK && hr != HRESULT_FROM_WIN32(ERROR_MORE_DATA)) || length == 0) {
        std::fprintf(stderr, "vorq-camctl: control %lu of unit %s: length query failed (%s)\n", selector, guidText,
                     hresultText(hr).c_str());
        return 1;
    }
    if (action == "set") {
        if (data.size() != length) {
            std::fprintf(stderr, "vorq-camctl: control %lu is %u bytes long, %zu given\n", selector, length, data.size());
            return 2;
        }
        ULONG returned = 0;
        hr = xuRequest(control.get(), set, static_cast<ULONG>(selector), KSPROPERTY_TYPE_SET, static_cast<ULONG>(node),
                       data.data(), length, &returned);
        if (FAILED(hr)) {
            std::fprintf(stderr, "vorq-camctl: writing control %lu failed (%s)\n", selector, hresultText(hr).c_str());
            return 1;
        }
        std::printf("ok\n");
        return 0;
    }
    data.assign(length, 0);
    ULONG returned = 0;
    hr = xuRequest(control.get(), set, static_cast<ULONG>(selector), KSPROPERTY_TYPE_GET, static_cast<ULONG>(node),
                   data.data(), length, &returned);
    if (FAILED(hr)) {
        std::fprintf(stderr, "vorq-camctl: reading control %lu failed (%s)\n", selector, hresultText(hr).c_str());
        return 1;
    }
    for (ULONG i = 0; i < returned && i < length; ++i) std::printf("%02x", data[i]);
    std::printf("\n");
    return 0;
}

void emit(const Json& report, bool json, void (*printText)(const Json&))
{
    if (json)
        std::printf("%s\n", report.dump(2).c_str());
    else
        printText(report);
}

void printValue(const Json& report) { std::printf("%ld\n", report["value"].get<long>()); }

} // namespace

int main(int argc, char** argv)
{
    // --json may stand anywhere; everything else is positional.
    bool json = false;
    std::vector<const char*> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0)
            json = true;
        else
            args.push_back(argv[i]);
    }
    if (args.empty()) {
        usage();
        return 2;
    }
    const std::string command = args[0];
    const size_t n = args.size();
    if ((command == "--help" || command == "-h") && n == 1 && !json) {
        help();
        return 0;
    }
    if (command == "--version" && n == 1 && !json) {
        std::printf("vorq-camctl (TELDORA Vision Desk) %s\n", VORQ_VERSION);
        return 0;
    }
    const bool indexed = (command == "controls" && n == 2) || (command == "modes" && n == 2) ||
                         (command == "get" && n == 3) || (command == "set" && n == 4) ||
                         (command == "xu" && !json && (n == 5 || n == 6));
    if (!(command == "list" && n == 1) && !indexed) {
        usage();
        return 2;
    }
    std::vector<Camera> cameras;
    if (!walkCameras(cameras)) return 1;
    if (command == "list") {
        emit(listReport(cameras), json, printList);
        return 0;
    }
    size_t index = 0;
    if (!parseIndex(args[1], cameras.size(), index)) return 2;
    const Camera& camera = cameras[index];
    if (command == "xu") return extensionUnit(camera, args[2], args[3], args[4], n == 6 ? args[5] : nullptr);
    if (command == "controls") {
        ComPtr<IBaseFilter> filter;
        if (!bindFilter(camera, filter)) return 1;
        emit(controlsReport(camera, index, filter.get()), json, printControls);
        return 0;
    }
    Json report;
    if (command == "modes") {
        const int rc = modesReport(camera, index, report);
        if (rc == 0) emit(report, json, printModes);
        return rc;
    }
    const int rc = readOrWriteControl(camera, index, args[2], command == "set" ? args[3] : nullptr, report);
    if (rc != 0) return rc;
    if (command == "set" && !json)
        std::printf("ok\n");
    else
        emit(report, json, printValue);
    return 0;
}

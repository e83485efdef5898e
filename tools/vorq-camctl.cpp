// vorq-camctl: what the suite sees of the cameras, through the same
// DirectShow-shaped calls the program, the upgrade engine and the dialog use.
//
//   vorq-camctl list
//   vorq-camctl controls <index>
//   vorq-camctl xu <index> <guid> <selector> get|set [hex]

#include <cctype>
#include <cerrno>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ComPtr.h"
#include "platform/DirectShow.h"
#include "platform/UnavailableCameras.h"

namespace {

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
                         "       vorq-camctl xu <index> <guid> <selector> get|set [hex]\n"
                         "       vorq-camctl --help | --version\n";

void usage() { std::fputs(kUsage, stderr); }

void help()
{
    std::fputs(kUsage, stdout);
    std::fputs("\n"
               "Shows the TELDORA cameras as the suite sees them.\n"
               "  list       name, device path, node and extension units of each camera\n"
               "  controls   camera-control and proc-amp ranges and values of camera <index>\n"
               "  xu         reads (get) or writes (set, hex bytes) one extension-unit control\n"
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

// Cameras the walk found but may not open: say why they are missing.
void listUnavailable()
{
    for (const auto& u : vorq::platform::UnavailableCameras::fromLastWalk())
        std::printf("[-] %s\n    node: %s\n    not available: %s\n", u.name.empty() ? "(unnamed camera)" : u.name.c_str(),
                    u.node.c_str(), u.reason.c_str());
}

int listCameras(const std::vector<Camera>& cameras)
{
    if (cameras.empty()) {
        std::printf("No camera found.\n");
        listUnavailable();
        return 0;
    }
    for (size_t i = 0; i < cameras.size(); ++i) {
        const Camera& camera = cameras[i];
        std::printf("[%zu] %s\n", i, camera.friendlyName.c_str());
        std::printf("    device path: %s\n", camera.devicePath.c_str());
        std::printf("    node: %s\n", videoNodeOf(camera.devicePath).c_str());
        ComPtr<IBaseFilter> filter;
        if (FAILED(camera.moniker->BindToObject(IID_IBaseFilter, filter.putVoid()))) {
            std::printf("    (cannot be opened)\n");
            continue;
        }
        ComPtr<IKsTopologyInfo> topology;
        DWORD nodes = 0;
        if (FAILED(filter->QueryInterface(IID_IKsTopologyInfo, topology.putVoid())) ||
            FAILED(topology->get_NumNodes(&nodes))) {
            std::printf("    extension units: none\n");
            continue;
        }
        ComPtr<IKsControl> control;
        filter->QueryInterface(IID_IKsControl, control.putVoid());
        int units = 0;
        for (DWORD node = 0; node < nodes; ++node) {
            GUID type{};
            if (FAILED(topology->get_NodeType(node, &type)) || type != KSNODETYPE_DEV_SPECIFIC) continue;
            if (units++ == 0) std::printf("    extension units:\n");
            const KnownUnit* known = nullptr;
            for (const auto& k : kKnownUnits) {
                GUID set{};
                ULONG returned = 0;
                if (control && vorq::platform::parseGuid(k.guid, set) &&
                    xuRequest(control.get(), set, 0, KSPROPERTY_TYPE_SETSUPPORT, node, nullptr, 0, &returned) == S_OK) {
                    known = &k;
                    break;
                }
            }
            if (known)
                std::printf("      node %u: %s (%s)\n", node, known->guid, known->role);
            else
                std::printf("      node %u: unrecognised property set\n", node);
        }
        if (units == 0) std::printf("    extension units: none\n");
    }
    listUnavailable();
    return 0;
}

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

std::string flagsText(long flags)
{
    std::string out;
    if (flags & 1) out += "auto";
    if (flags & 2) out += out.empty() ? "manual" : "|manual";
    return out.empty() ? "none" : out;
}

template <typename Interface>
void printControls(Interface* control, const char* title, const ControlName* names, size_t count)
{
    std::printf("  %s:\n", title);
    for (size_t i = 0; i < count; ++i) {
        long min = 0, max = 0, step = 0, def = 0, caps = 0, value = 0, flags = 0;
        HRESULT hr = control ? control->GetRange(names[i].id, &min, &max, &step, &def, &caps) : E_NOINTERFACE;
        if (FAILED(hr)) {
            std::printf("    %-3ld %-24s not supported (%s)\n", names[i].id, names[i].name, hresultText(hr).c_str());
            continue;
        }
        hr = control->Get(names[i].id, &value, &flags);
        std::printf("    %-3ld %-24s range %ld..%ld step %ld default %ld caps %s", names[i].id, names[i].name, min, max,
                    step, def, flagsText(caps).c_str());
        if (SUCCEEDED(hr))
            std::printf(", value %ld (%s)\n", value, flagsText(flags).c_str());
        else
            std::printf(", value unreadable (%s)\n", hresultText(hr).c_str());
    }
}

int showControls(const Camera& camera)
{
    ComPtr<IBaseFilter> filter;
    if (!bindFilter(camera, filter)) return 1;
    ComPtr<IAMCameraControl> cameraControl;
    ComPtr<IAMVideoProcAmp> procAmp;
    filter->QueryInterface(IID_IAMCameraControl, cameraControl.putVoid());
    filter->QueryInterface(IID_IAMVideoProcAmp, procAmp.putVoid());
    std::printf("%s\n", camera.friendlyName.c_str());
    printControls(cameraControl.get(), "camera control", kCameraControls, std::size(kCameraControls));
    printControls(procAmp.get(), "video proc amp", kProcAmpControls, std::size(kProcAmpControls));
    return 0;
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

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        usage();
        return 2;
    }
    const std::string command = argv[1];
    if ((command == "--help" || command == "-h") && argc == 2) {
        help();
        return 0;
    }
    if (command == "--version" && argc == 2) {
        std::printf("vorq-camctl (TELDORA Vision Desk) %s\n", VORQ_VERSION);
        return 0;
    }
    std::vector<Camera> cameras;
    if (command == "list" && argc == 2) {
        if (!walkCameras(cameras)) return 1;
        return listCameras(cameras);
    }
    if (command == "controls" && argc == 3) {
        if (!walkCameras(cameras)) return 1;
        size_t index = 0;
        if (!parseIndex(argv[2], cameras.size(), index)) return 2;
        return showControls(cameras[index]);
    }
    if (command == "xu" && (argc == 6 || argc == 7)) {
        if (!walkCameras(cameras)) return 1;
        size_t index = 0;
        if (!parseIndex(argv[2], cameras.size(), index)) return 2;
        return extensionUnit(cameras[index], argv[3], argv[4], argv[5], argc == 7 ? argv[6] : nullptr);
    }
    usage();
    return 2;
}

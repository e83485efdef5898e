#include "EmulatedTestbed.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include <umockdev.h>

#include "SimulatedUnits.h"

namespace vorq::emucam {

namespace {
constexpr int kVideoMajor = 81;

bool readFile(const std::string& path, std::string& contents)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    contents = s.str();
    return static_cast<bool>(in) || in.eof();
}

std::string hex(unsigned value, int width)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", width, value);
    return text;
}

// A relative link, as sysfs has them: umockdev's own links are absolute
// and would lead out of the testbed once resolved.
void relativeLink(UMockdevTestbed* testbed, const std::string& devPath, const std::string& name,
                  const std::string& target)
{
    gchar* sys = umockdev_testbed_get_sys_dir(testbed);
    const std::filesystem::path root = std::filesystem::path(sys).parent_path();
    g_free(sys);
    const std::filesystem::path from = root / devPath.substr(1);
    const std::filesystem::path to = root / target.substr(1);
    std::error_code ec;
    std::filesystem::remove(from / name, ec);
    std::filesystem::create_symlink(to.lexically_relative(from), from / name, ec);
}

const char* driverOf(const UsbInterface& i)
{
    if (i.interfaceClass == 0x0E) return "uvcvideo";
    if (i.interfaceClass == 0x01) return "snd-usb-audio";
    return nullptr;
}
} // namespace

EmulatedTestbed::EmulatedTestbed() : testbed_(umockdev_testbed_new()) {}

EmulatedTestbed::~EmulatedTestbed()
{
    slots_.clear();
    if (testbed_) g_object_unref(testbed_);
}

std::string EmulatedTestbed::rootDir() const
{
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    std::string dir = root ? root : "";
    g_free(root);
    return dir;
}

std::size_t EmulatedTestbed::nodeCount() const
{
    std::size_t n = 0;
    for (const auto& s : slots_) n += s.nodes.size();
    return n;
}

bool EmulatedTestbed::addCamera(const std::string& descriptorsPath, const std::string& profilePath, std::string& error)
{
    std::string bytes, profileText;
    if (!readFile(descriptorsPath, bytes)) {
        error = descriptorsPath + ": cannot be read";
        return false;
    }
    if (!profilePath.empty() && !readFile(profilePath, profileText)) {
        error = profilePath + ": cannot be read";
        return false;
    }
    UsbCamera usb;
    CameraProfile profile;
    if (!UsbCamera::parse(bytes, usb, error)) {
        error = descriptorsPath + ": " + error;
        return false;
    }
    if (!CameraProfile::parse(profileText, profile, error)) {
        error = profilePath + ": " + error;
        return false;
    }
    std::unique_ptr<UnitResponder> units;
    if (profile.simulatedUnits) {
        // Tests and bug reports point the simulated camera at a state of their own.
        const char* state = std::getenv("VORQ_EMUCAM_SIM_STATE");
        if (profile.simState.empty() && state && *state) profile.simState = state;
        units = SimulatedUnits::open(profile.simState, error);
        if (!units) return false;
    } else {
        auto plain = std::make_unique<PlainUnits>();
        for (const auto& [key, value] : profile.unitLengths) {
            unsigned unit = 0, selector = 0, length = 0;
            if (std::sscanf(key.c_str(), "%u.%u.len", &unit, &selector) != 2 ||
                std::sscanf(value.c_str(), "%u", &length) != 1 || unit > 255 || selector > 255 || length > 0xffff) {
                error = profilePath + ": bad extension-unit length \"" + key + "=" + value + "\"";
                return false;
            }
            plain->setLength(static_cast<uint8_t>(unit), static_cast<uint8_t>(selector), static_cast<uint16_t>(length));
        }
        units = std::move(plain);
    }
    Slot slot;
    slot.camera = std::make_unique<EmulatedCamera>(std::move(usb), std::move(profile), std::move(units));
    slot.port = static_cast<int>(slots_.size()) + 1;
    slots_.push_back(std::move(slot));
    return plug(slots_.back(), error);
}

bool EmulatedTestbed::plug(Slot& slot, std::string& error)
{
    EmulatedCamera& camera = *slot.camera;
    const UsbCamera& usb = camera.usb();
    const CameraProfile& profile = camera.profile();
    const std::string name = "1-" + std::to_string(slot.port);
    camera.setPort(std::to_string(slot.port));
    slot.deviceNumber = nextDeviceNumber_++;

    std::vector<std::string> attributes = {
        "idVendor", hex(usb.vendorId, 4), "idProduct", hex(usb.productId, 4), "bcdDevice", hex(usb.bcdDevice, 4),
        "busnum", "1", "devnum", std::to_string(slot.deviceNumber), "devpath", std::to_string(slot.port),
        "bDeviceClass", hex(usb.deviceClass, 2), "bConfigurationValue", std::to_string(usb.configurationValue),
        "bNumInterfaces", std::to_string(usb.interfaces.size()), "speed", "480", "version", " 2.00"};
    if (!profile.product.empty()) attributes.insert(attributes.end(), {"product", profile.product});
    if (!profile.manufacturer.empty()) attributes.insert(attributes.end(), {"manufacturer", profile.manufacturer});
    if (!profile.serial.empty()) attributes.insert(attributes.end(), {"serial", profile.serial});
    std::vector<const gchar*> attrs;
    for (const auto& a : attributes) attrs.push_back(a.c_str());
    attrs.push_back(nullptr);
    const std::string devName = "/dev/bus/usb/001/" + std::to_string(1000 + slot.deviceNumber).substr(1);
    const gchar* props[] = {"DEVTYPE", "usb_device", "BUSNUM", "001", nullptr};
    gchar* usbPath = umockdev_testbed_add_devicev(testbed_, "usb", name.c_str(), nullptr,
                                                  const_cast<gchar**>(attrs.data()), const_cast<gchar**>(props));
    if (!usbPath) {
        error = "umockdev refused the USB device";
        return false;
    }
    slot.usbPath = usbPath;
    g_free(usbPath);
    umockdev_testbed_set_attribute_binary(testbed_, slot.usbPath.c_str(), "descriptors",
                                          reinterpret_cast<guint8*>(const_cast<char*>(usb.raw.data())),
                                          static_cast<gint>(usb.raw.size()));

    const gchar* noProps[] = {"DEVTYPE", "usb_interface", nullptr};
    std::string controlPath;
    for (const auto& i : usb.interfaces) {
        const std::string ifName = name + ":" + std::to_string(usb.configurationValue) + "." + std::to_string(i.number);
        const std::string number = hex(i.number, 2), cls = hex(i.interfaceClass, 2), sub = hex(i.subClass, 2),
                          proto = hex(i.protocol, 2), eps = hex(i.endpoints, 2);
        const gchar* ifAttrs[] = {"bInterfaceNumber", number.c_str(), "bInterfaceClass", cls.c_str(),
                                  "bInterfaceSubClass", sub.c_str(), "bInterfaceProtocol", proto.c_str(),
                                  "bAlternateSetting", " 0", "bNumEndpoints", eps.c_str(), nullptr};
        gchar* ifPath = umockdev_testbed_add_devicev(testbed_, "usb", ifName.c_str(), slot.usbPath.c_str(),
                                                     const_cast<gchar**>(ifAttrs), const_cast<gchar**>(noProps));
        if (!ifPath) continue;
        slot.childPaths.push_back(ifPath);
        if (const char* driver = driverOf(i)) {
            gchar* sys = umockdev_testbed_get_sys_dir(testbed_);
            const std::string driverDir = std::string(sys) + "/bus/usb/drivers/" + driver;
            g_free(sys);
            g_mkdir_with_parents(driverDir.c_str(), 0755);
            relativeLink(testbed_, ifPath, "driver", std::string("/sys/bus/usb/drivers/") + driver);
        }
        if (i.number == camera.function().controlInterface) controlPath = ifPath;
        g_free(ifPath);
    }
    if (controlPath.empty()) {
        error = "the VideoControl interface could not be added";
        return false;
    }

    // uvcvideo registers the streaming interfaces' capture nodes, each
    // followed by its metadata node, under the VideoControl interface.
    const auto& streams = camera.function().streaming;
    if (!slot.attached) slot.firstNode = nextNode_;
    int node = slot.firstNode;
    for (std::size_t s = 0; s < streams.size(); ++s)
        for (auto kind : {V4l2Node::Kind::Capture, V4l2Node::Kind::Metadata}) {
            const std::string video = "video" + std::to_string(node);
            const std::string devnode = "/dev/" + video;
            const std::string dev = std::to_string(kVideoMajor) + ":" + std::to_string(node);
            const std::string index = kind == V4l2Node::Kind::Capture ? "0" : "1";
            const std::string cardName = camera.cardName();
            const gchar* vAttrs[] = {"name", cardName.c_str(), "dev", dev.c_str(), "index", index.c_str(), nullptr};
            const std::string major = std::to_string(kVideoMajor), minor = std::to_string(node);
            const gchar* vProps[] = {"DEVNAME", devnode.c_str(), "MAJOR", major.c_str(), "MINOR", minor.c_str(), nullptr};
            gchar* vPath = umockdev_testbed_add_devicev(testbed_, "video4linux", video.c_str(), controlPath.c_str(),
                                                        const_cast<gchar**>(vAttrs), const_cast<gchar**>(vProps));
            if (!vPath) {
                error = "umockdev refused " + devnode;
                return false;
            }
            relativeLink(testbed_, vPath, "device", controlPath);
            slot.childPaths.push_back(vPath);
            g_free(vPath);
            // umockdev's preload makes this plain file look like the
            // character device the "dev" attribute names.
            const std::string nodeFile = rootDir() + devnode;
            if (!g_file_set_contents(nodeFile.c_str(), "", 0, nullptr)) {
                error = "cannot create " + nodeFile;
                return false;
            }
            if (!slot.attached) {
                const std::string buffers = rootDir() + "/emucam-" + video + ".buffers";
                slot.nodes.push_back(std::make_unique<V4l2Node>(camera, &streams[s], kind, devnode, buffers));
                if (!slot.nodes.back()->attach(testbed_, error)) return false;
            }
            ++node;
        }
    if (!slot.attached) nextNode_ = node;
    slot.attached = true;
    camera.setPlugged(true);
    return true;
}

void EmulatedTestbed::unplugAll()
{
    for (auto& slot : slots_) {
        slot.camera->setPlugged(false);
        for (auto& node : slot.nodes) node->unplugged();
        // Children one by one, last first: removing the parent alone would
        // leave their /sys/bus and /sys/class links behind.
        for (auto it = slot.childPaths.rbegin(); it != slot.childPaths.rend(); ++it)
            umockdev_testbed_remove_device(testbed_, it->c_str());
        slot.childPaths.clear();
        if (!slot.usbPath.empty()) umockdev_testbed_remove_device(testbed_, slot.usbPath.c_str());
        slot.usbPath.clear();
    }
}

bool EmulatedTestbed::replugAll(std::string& error)
{
    for (auto& slot : slots_)
        if (slot.usbPath.empty() && !plug(slot, error)) return false;
    return true;
}

} // namespace vorq::emucam

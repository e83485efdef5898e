#include "v4l2/SysfsCameraWalk.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <utility>

#include "v4l2/CapabilityCache.h"
#include "v4l2/KernelFd.h"
#include "v4l2/KernelSeam.h"
#include "v4l2/UsbDescriptorParser.h"
#include "v4l2/V4l2UvcDevice.h"

namespace vorq::platform {

namespace {
const char kClassDir[] = "class/video4linux/";

std::string trim(const std::string& s)
{
    const char* space = " \t\r\n";
    const auto first = s.find_first_not_of(space);
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(space) - first + 1);
}

// Fixed-size, NUL-padded text fields of the V4L2 structures.
std::string fixedText(const uint8_t* field, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(field);
    return trim(std::string(text, strnlen(text, size)));
}

std::string baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// "videoN" -> N; -1 for any other name.
int nodeNumber(const std::string& name)
{
    const std::string prefix = "video";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
    long n = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return -1;
        n = n * 10 + (name[i] - '0');
        if (n > INT_MAX) return -1;
    }
    return static_cast<int>(n);
}

bool readText(const KernelSeam& kernel, const std::string& path, std::string& text)
{
    std::string raw;
    if (!kernel.readFile(path, raw, 4096)) return false;
    text = trim(raw);
    return true;
}

bool readHex(const KernelSeam& kernel, const std::string& path, unsigned long maximum, unsigned long& value)
{
    std::string text;
    if (!readText(kernel, path, text) || text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text.c_str(), &end, 16);
    if (errno != 0 || *end != '\0' || v > maximum) return false;
    value = v;
    return true;
}

std::string driverName(const KernelSeam& kernel, const std::string& deviceDir)
{
    std::string driver;
    if (!kernel.resolve(deviceDir + "/driver", driver)) return {};
    return baseName(driver);
}

// Fills the USB part of the identity from the VideoControl interface
// directory and its parent, the USB device. False when the node does not sit
// on a USB interface.
bool describeUsbCamera(const KernelSeam& kernel, const std::string& interfaceDir, UvcIdentity& id,
                       std::vector<ExtensionUnit>& units)
{
    const std::string usbDir = parentOf(interfaceDir);
    unsigned long interfaceNumber = 0, vendor = 0, product = 0;
    if (usbDir.empty() || !readHex(kernel, interfaceDir + "/bInterfaceNumber", 0xff, interfaceNumber) ||
        !readHex(kernel, usbDir + "/idVendor", 0xffff, vendor) ||
        !readHex(kernel, usbDir + "/idProduct", 0xffff, product))
        return false;

    id.usb = true;
    id.interfaceNumber = static_cast<int>(interfaceNumber);
    id.vendorId = static_cast<uint16_t>(vendor);
    id.productId = static_cast<uint16_t>(product);
    readText(kernel, usbDir + "/serial", id.serial);
    id.busPath = baseName(usbDir);
    if (id.card.empty()) readText(kernel, usbDir + "/product", id.card);

    std::string descriptors;
    if (kernel.readFile(usbDir + "/descriptors", descriptors))
        units = UsbDescriptorParser::extensionUnits(reinterpret_cast<const uint8_t*>(descriptors.data()),
                                                    descriptors.size(), id.interfaceNumber);
    return true;
}
} // namespace

SysfsCameraWalk::SysfsCameraWalk(std::shared_ptr<KernelSeam> kernel, CapabilityCache* cache)
    : kernel_(std::move(kernel)), cache_(cache)
{
}

DeviceList SysfsCameraWalk::enumerate(std::vector<UnavailableCamera>* unavailable) const
{
    std::vector<std::pair<int, std::string>> nodes;
    for (auto& name : kernel_->listDirectory(kClassDir)) {
        const int n = nodeNumber(name);
        if (n >= 0) nodes.emplace_back(n, std::move(name));
    }
    std::sort(nodes.begin(), nodes.end());

    std::vector<std::unique_ptr<V4l2UvcDevice>> found;
    std::vector<std::string> refusedDevices;
    for (const auto& node : nodes) {
        int error = 0;
        if (auto camera = probe(node.second, &error)) {
            found.push_back(std::move(camera));
            continue;
        }
        // A node gone meanwhile is no news; one we may not open is.
        if (!unavailable || error == 0 || error == ENOENT || error == ENODEV || error == ENXIO) continue;
        // A camera's capture and metadata nodes refuse alike: one entry.
        std::string deviceDir;
        kernel_->resolve(kClassDir + node.second + "/device", deviceDir);
        if (!deviceDir.empty() &&
            std::find(refusedDevices.begin(), refusedDevices.end(), deviceDir) != refusedDevices.end())
            continue;
        refusedDevices.push_back(deviceDir);
        unavailable->push_back(unavailableNode(node.second, error));
    }

    // Several capture nodes of one VideoControl interface (one per streaming
    // interface) are one camera: keep the node that offers MJPEG, else the first.
    DeviceList cameras;
    std::vector<bool> taken(found.size(), false);
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (taken[i]) continue;
        const UvcIdentity& id = found[i]->identity();
        std::vector<std::size_t> group{i};
        for (std::size_t j = i + 1; id.usb && j < found.size(); ++j) {
            const UvcIdentity& other = found[j]->identity();
            if (!taken[j] && other.usb && other.busPath == id.busPath && other.interfaceNumber == id.interfaceNumber)
                group.push_back(j);
        }
        std::size_t chosen = i;
        if (group.size() > 1)
            for (std::size_t k : group)
                if (offersMjpeg(baseName(found[k]->identity().videoNode))) {
                    chosen = k;
                    break;
                }
        for (std::size_t k : group) taken[k] = true;
        cameras.push_back(std::move(found[chosen]));
    }

    if (cache_) {
        std::vector<std::string> present;
        for (const auto& node : nodes) present.push_back(node.second);
        cache_->keepOnly(present);
    }
    return cameras;
}

bool SysfsCameraWalk::offersMjpeg(const std::string& nodeName) const
{
    const std::string instance = nodeInstance(nodeName);
    bool mjpeg = false;
    if (cache_ && !instance.empty() && cache_->findMjpeg(nodeName, instance, mjpeg)) return mjpeg;
    const int fd = kernel_->open("/dev/" + nodeName, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    KernelFd node(*kernel_, fd);
    for (uint32_t i = 0; i < 64 && !mjpeg; ++i) {
        v4l2_fmtdesc format{};
        format.index = i;
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (kernel_->ioctl(node.get(), VIDIOC_ENUM_FMT, &format) != 0) break;
        mjpeg = format.pixelformat == V4L2_PIX_FMT_MJPEG || format.pixelformat == V4L2_PIX_FMT_JPEG;
    }
    if (cache_ && !instance.empty()) cache_->storeMjpeg(nodeName, instance, mjpeg);
    return mjpeg;
}

std::string SysfsCameraWalk::nodeInstance(const std::string& nodeName) const
{
    const std::string classEntry = kClassDir + nodeName;
    std::string nodeDir;
    if (!kernel_->resolve(classEntry, nodeDir)) return {};
    return deviceInstance(nodeDir, classEntry);
}

UnavailableCamera SysfsCameraWalk::unavailableNode(const std::string& nodeName, int error) const
{
    UnavailableCamera u;
    u.node = "/dev/" + nodeName;
    u.error = error;
    u.reason = std::strerror(error);
    // The node's own name, as the driver gave it; else the USB product.
    if (!readText(*kernel_, kClassDir + nodeName + "/name", u.name) || u.name.empty()) {
        std::string deviceDir;
        if (kernel_->resolve(kClassDir + nodeName + "/device", deviceDir))
            readText(*kernel_, parentOf(deviceDir) + "/product", u.name);
    }
    return u;
}

std::unique_ptr<V4l2UvcDevice> SysfsCameraWalk::probe(const std::string& nodeName, int* openError) const
{
    if (openError) *openError = 0;
    if (nodeNumber(nodeName) < 0) return nullptr;
    const std::string classEntry = kClassDir + nodeName;
    std::string nodeDir;
    if (!kernel_->resolve(classEntry, nodeDir)) return nullptr;

    UvcIdentity id;
    id.videoNode = "/dev/" + nodeName;

    v4l2_capability cap{};
    if (int err = queryCapabilities(nodeName, deviceInstance(nodeDir, classEntry), cap)) {
        if (openError) *openError = err;
        return nullptr;
    }
    const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    // UVC cameras also expose a metadata node; only the capture node is a camera.
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE)) return nullptr;

    id.card = fixedText(cap.card, sizeof cap.card);

    std::vector<ExtensionUnit> units;
    std::string deviceDir;
    const bool hasDevice = kernel_->resolve(classEntry + "/device", deviceDir);
    if (!hasDevice || !describeUsbCamera(*kernel_, deviceDir, id, units)) id.usb = false;
    if (hasDevice) id.driver = driverName(*kernel_, deviceDir);
    if (id.driver.empty()) id.driver = fixedText(cap.driver, sizeof cap.driver);

    return std::make_unique<V4l2UvcDevice>(kernel_, nodeName, std::move(id), std::move(units));
}

int SysfsCameraWalk::queryCapabilities(const std::string& nodeName, const std::string& instance,
                                       v4l2_capability& cap) const
{
    const bool cacheable = cache_ && !instance.empty();
    if (cacheable && cache_->find(nodeName, instance, cap)) return 0;
    const int fd = kernel_->open("/dev/" + nodeName, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -fd;
    KernelFd node(*kernel_, fd);
    if (int err = kernel_->ioctl(node.get(), VIDIOC_QUERYCAP, &cap)) return err;
    if (cacheable) cache_->store(nodeName, instance, cap);
    return 0;
}

std::string SysfsCameraWalk::deviceInstance(const std::string& nodeDir, const std::string& classEntry) const
{
    // Only a USB device says when it is a new one: its device number changes
    // on every enumeration. Anything else is asked on every walk.
    std::string interfaceDir, busNumber, deviceNumber, dev;
    if (!kernel_->resolve(classEntry + "/device", interfaceDir)) return {};
    const std::string usbDir = parentOf(interfaceDir);
    if (usbDir.empty() || !readText(*kernel_, usbDir + "/busnum", busNumber) ||
        !readText(*kernel_, usbDir + "/devnum", deviceNumber) || busNumber.empty() || deviceNumber.empty())
        return {};
    readText(*kernel_, nodeDir + "/dev", dev);
    return nodeDir + "|" + dev + "|" + busNumber + ":" + deviceNumber;
}

} // namespace vorq::platform

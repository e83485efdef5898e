#include "SysfsTree.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

SysfsTree::SysfsTree()
{
    std::string pattern = (fs::temp_directory_path() / "vorq-sysfs-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
}

SysfsTree::~SysfsTree()
{
    std::error_code ec;
    fs::remove_all(root_, ec);
}

void SysfsTree::write(const std::string& path, const std::string& contents)
{
    const fs::path full = fs::path(root_) / path;
    fs::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << contents;
}

void SysfsTree::remove(const std::string& path) { fs::remove_all(fs::path(root_) / path); }

void SysfsTree::link(const std::string& path, const std::string& target)
{
    const fs::path full = fs::path(root_) / path;
    fs::create_directories(full.parent_path());
    fs::create_directories(fs::path(root_) / target);
    // Relative, as sysfs links are.
    fs::create_symlink((fs::path(root_) / target).lexically_relative(full.parent_path()), full);
}

void SysfsTree::addUsbDevice(const std::string& usbDir, const std::string& vid, const std::string& pid,
                             const std::string& serial, const std::string& product, const std::string& descriptors)
{
    write(usbDir + "/idVendor", vid + "\n");
    write(usbDir + "/idProduct", pid + "\n");
    if (!serial.empty()) write(usbDir + "/serial", serial + "\n");
    write(usbDir + "/product", product + "\n");
    write(usbDir + "/descriptors", descriptors);
}

void SysfsTree::addUsbNode(const std::string& usbDir, int interfaceNumber, const std::string& node)
{
    const std::string interfaceDir =
        usbDir + "/" + fs::path(usbDir).filename().string() + ":1." + std::to_string(interfaceNumber);
    write(interfaceDir + "/bInterfaceNumber", "0" + std::to_string(interfaceNumber) + "\n");
    addNode(interfaceDir, "bus/usb/drivers/uvcvideo", node);
}

void SysfsTree::addPlatformNode(const std::string& deviceDir, const std::string& driver, const std::string& node)
{
    addNode(deviceDir, "bus/platform/drivers/" + driver, node);
}

void SysfsTree::addNode(const std::string& deviceDir, const std::string& driver, const std::string& node)
{
    if (!fs::exists(fs::path(root_) / deviceDir / "driver")) link(deviceDir + "/driver", driver);
    const std::string nodeDir = deviceDir + "/video4linux/" + node;
    link(nodeDir + "/device", deviceDir);
    link("class/video4linux/" + node, nodeDir);
}

#pragma once

#include <string>

// A sysfs tree in a temporary directory, laid out as the kernel lays it out:
// devices under devices/, class/video4linux/videoN linked into them, and each
// node's "device" link pointing at its parent device.
class SysfsTree {
public:
    SysfsTree();
    ~SysfsTree();
    SysfsTree(const SysfsTree&) = delete;
    SysfsTree& operator=(const SysfsTree&) = delete;

    const std::string& root() const { return root_; }
    void write(const std::string& path, const std::string& contents);
    void remove(const std::string& path);

    void addUsbDevice(const std::string& usbDir, const std::string& vid, const std::string& pid,
                      const std::string& serial, const std::string& product, const std::string& descriptors);
    // A node on interface <usbDir>:1.<interfaceNumber> of a USB device.
    void addUsbNode(const std::string& usbDir, int interfaceNumber, const std::string& node);
    void addPlatformNode(const std::string& deviceDir, const std::string& driver, const std::string& node);

private:
    void link(const std::string& path, const std::string& target);
    void addNode(const std::string& deviceDir, const std::string& driver, const std::string& node);

    std::string root_;
};

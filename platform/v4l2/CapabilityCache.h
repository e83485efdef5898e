#pragma once

#include <linux/videodev2.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace vorq::platform {

// What VIDIOC_QUERYCAP answered for each video node, kept across device walks.
// Opening a UVC node resumes a suspended camera, and the program walks the
// cameras once a second; a node is asked again only when sysfs says it now
// belongs to another device instance (a USB device gets a new device number
// on every enumeration).
class CapabilityCache {
public:
    // `instance` identifies the device behind the node; an entry made for
    // another instance does not count.
    bool find(const std::string& node, const std::string& instance, v4l2_capability& cap) const;
    void store(const std::string& node, const std::string& instance, const v4l2_capability& cap);
    // Whether the node offers MJPEG, as asked once for this instance; false
    // when not known yet.
    bool findMjpeg(const std::string& node, const std::string& instance, bool& mjpeg) const;
    void storeMjpeg(const std::string& node, const std::string& instance, bool mjpeg);
    // Forgets the nodes a walk no longer found.
    void keepOnly(const std::vector<std::string>& nodes);

private:
    struct Entry {
        std::string instance;
        v4l2_capability cap;
        int mjpeg = -1; // unknown
    };
    mutable std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

} // namespace vorq::platform

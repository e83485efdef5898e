#pragma once

#include <linux/videodev2.h>

#include <memory>
#include <string>

#include "platform/DeviceProvider.h"

namespace vorq::platform {

class CapabilityCache;
class KernelSeam;
class V4l2UvcDevice;

// Finds the V4L2 capture nodes under <sysfs>/class/video4linux and describes
// the camera behind each from QUERYCAP and the USB device's sysfs attributes.
class SysfsCameraWalk {
public:
    // With a cache (borrowed; it outlives the walk), a node whose device is
    // unchanged since an earlier walk is described without being opened.
    explicit SysfsCameraWalk(std::shared_ptr<KernelSeam> kernel, CapabilityCache* cache = nullptr);

    // Capture nodes in node-number order; nodes that cannot be opened or
    // queried are left out.
    DeviceList enumerate() const;

    // The camera behind one node ("video0"); null when the node is missing,
    // cannot be queried or is not a video capture node.
    std::unique_ptr<V4l2UvcDevice> probe(const std::string& nodeName) const;

private:
    bool queryCapabilities(const std::string& nodeName, const std::string& instance, v4l2_capability& cap) const;
    std::string deviceInstance(const std::string& nodeDir, const std::string& classEntry) const;

    std::shared_ptr<KernelSeam> kernel_;
    CapabilityCache* cache_;
};

} // namespace vorq::platform

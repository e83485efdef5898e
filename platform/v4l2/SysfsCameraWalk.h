#pragma once

#include <linux/videodev2.h>

#include <memory>
#include <string>

#include "platform/DeviceProvider.h"
#include "platform/UnavailableCameras.h"

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

    // One camera per VideoControl interface (the capture node that offers
    // MJPEG where it has several) and other capture nodes, in node-number
    // order. Nodes that cannot be opened are left out and, with `unavailable`,
    // reported there, one per device.
    DeviceList enumerate(std::vector<UnavailableCamera>* unavailable = nullptr) const;

    // The camera behind one node ("video0"); null when the node is missing,
    // cannot be queried or is not a video capture node. `openError` gets the
    // errno of a failed open or query, 0 otherwise.
    std::unique_ptr<V4l2UvcDevice> probe(const std::string& nodeName, int* openError = nullptr) const;

private:
    // 0, or the errno of the failed open or query.
    int queryCapabilities(const std::string& nodeName, const std::string& instance, v4l2_capability& cap) const;
    bool offersMjpeg(const std::string& nodeName) const;
    std::string nodeInstance(const std::string& nodeName) const;
    UnavailableCamera unavailableNode(const std::string& nodeName, int error) const;
    std::string deviceInstance(const std::string& nodeDir, const std::string& classEntry) const;

    std::shared_ptr<KernelSeam> kernel_;
    CapabilityCache* cache_;
};

} // namespace vorq::platform

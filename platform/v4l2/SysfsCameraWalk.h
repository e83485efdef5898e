#pragma once

#include <memory>
#include <string>

#include "platform/DeviceProvider.h"

namespace vorq::platform {

class KernelSeam;
class V4l2UvcDevice;

// Finds the V4L2 capture nodes under <sysfs>/class/video4linux and describes
// the camera behind each from QUERYCAP and the USB device's sysfs attributes.
class SysfsCameraWalk {
public:
    explicit SysfsCameraWalk(std::shared_ptr<KernelSeam> kernel);

    // Capture nodes in node-number order; nodes that cannot be opened or
    // queried are left out.
    DeviceList enumerate() const;

    // The camera behind one node ("video0"); null when the node is missing,
    // cannot be queried or is not a video capture node.
    std::unique_ptr<V4l2UvcDevice> probe(const std::string& nodeName) const;

private:
    std::shared_ptr<KernelSeam> kernel_;
};

} // namespace vorq::platform

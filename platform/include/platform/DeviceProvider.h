#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/Export.h"
#include "platform/UvcDevice.h"

namespace vorq::platform {

using DeviceList = std::vector<std::unique_ptr<UvcDevice>>;

// The cameras of the system in walk order: real V4L2 cameras first, then the
// built-in simulated camera(s) when VORQ_SIM is set, then the cameras of an
// external simulated device when VORQ_SIM_SOCKET is set.
class VORQ_PLATFORM_API DeviceProvider {
public:
    static DeviceList enumerate();

    // Tests replace the whole walk with a source of their own; an empty
    // function restores the system walk.
    static void setSourceForTesting(std::function<DeviceList()> source);
};

} // namespace vorq::platform

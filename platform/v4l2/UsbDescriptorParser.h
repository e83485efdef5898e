#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/UvcDevice.h"

namespace vorq::platform {

// Reads the extension units out of the raw descriptors a USB device reports
// (sysfs "descriptors": the device descriptor followed by its configurations).
class UsbDescriptorParser {
public:
    // The extension units of the VideoControl interface numbered
    // interfaceNumber (any VideoControl interface when it is negative), in
    // descriptor order. Malformed input ends the walk; what was read before
    // it is kept.
    static std::vector<ExtensionUnit> extensionUnits(const uint8_t* data, std::size_t size, int interfaceNumber);
};

} // namespace vorq::platform

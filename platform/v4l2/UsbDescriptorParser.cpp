#include "v4l2/UsbDescriptorParser.h"

#include <algorithm>

namespace vorq::platform {

namespace {
constexpr uint8_t kDescriptorConfiguration = 0x02;
constexpr uint8_t kDescriptorInterface = 0x04;
constexpr uint8_t kDescriptorCsInterface = 0x24;
constexpr uint8_t kVcExtensionUnit = 0x06;
constexpr uint8_t kClassVideo = 0x0E;
constexpr uint8_t kSubclassVideoControl = 0x01;

constexpr std::size_t kInterfaceDescriptorLength = 9;
// bUnitID at 3, guidExtensionCode at 4..19: the least we need to read.
constexpr std::size_t kExtensionUnitMinimumLength = 20;

// bNumControls at 20, bNrInPins p at 21, baSourceID[p] from 22, then
// bControlSize n and bmControls[n]. A descriptor too short for what it
// claims keeps its GUID but says nothing about its controls.
void readPinsAndControls(const uint8_t* d, std::size_t length, ExtensionUnit& unit)
{
    if (length < 23) return;
    const std::size_t pins = d[21];
    const std::size_t controlSizeAt = 22 + pins;
    if (controlSizeAt >= length) return;
    const std::size_t controlSize = d[controlSizeAt];
    if (controlSizeAt + 1 + controlSize > length) return;
    unit.sourceIds.assign(d + 22, d + 22 + pins);
    unit.controls.assign(d + controlSizeAt + 1, d + controlSizeAt + 1 + controlSize);
    unit.controlsKnown = true;
}
} // namespace

std::vector<ExtensionUnit> UsbDescriptorParser::extensionUnits(const uint8_t* data, std::size_t size,
                                                               int interfaceNumber)
{
    std::vector<ExtensionUnit> units;
    if (!data) return units;

    // Class-specific descriptors belong to the interface descriptor before
    // them; the same subtype bytes mean other things in streaming and audio
    // interfaces, so only a matching VideoControl interface counts.
    bool inWantedVideoControl = false;
    std::size_t offset = 0;
    while (size - offset >= 2) {
        const uint8_t* d = data + offset;
        const std::size_t length = d[0];
        if (length < 2 || length > size - offset) break;
        const uint8_t type = d[1];

        if (type == kDescriptorConfiguration) {
            inWantedVideoControl = false;
        } else if (type == kDescriptorInterface) {
            inWantedVideoControl = length >= kInterfaceDescriptorLength && d[5] == kClassVideo &&
                                   d[6] == kSubclassVideoControl &&
                                   (interfaceNumber < 0 || d[2] == interfaceNumber);
        } else if (inWantedVideoControl && type == kDescriptorCsInterface && length >= 3 &&
                   d[2] == kVcExtensionUnit && length >= kExtensionUnitMinimumLength) {
            ExtensionUnit unit;
            unit.unitId = d[3];
            unit.guid = guidFromBytes(d + 4);
            readPinsAndControls(d, length, unit);
            // Unit id 0 is reserved in UVC; a repeated id (the same interface
            // listed under another configuration) adds nothing.
            const bool known = std::any_of(units.begin(), units.end(),
                                           [&](const ExtensionUnit& u) { return u.unitId == unit.unitId; });
            if (unit.unitId != 0 && !known) units.push_back(unit);
        }
        offset += length;
    }
    return units;
}

} // namespace vorq::platform

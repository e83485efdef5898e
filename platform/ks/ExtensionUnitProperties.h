#pragma once

#include <cstdint>
#include <map>
#include <mutex>

#include "platform/DirectShow.h"
#include "platform/UvcDevice.h"

namespace vorq::platform::ks {

class GuardedDevice;

// Kernel-streaming topology and property requests of a filter, translated to
// extension-unit queries: node id = UVC unit id, property set = the unit's
// GUID, property id = control selector.
class ExtensionUnitProperties {
public:
    explicit ExtensionUnitProperties(GuardedDevice& device);

    // Highest unit id + 1; 0 for a camera without extension units.
    DWORD nodeCount() const;
    // KSNODETYPE_DEV_SPECIFIC for an extension unit, GUID_NULL for any other
    // id below nodeCount().
    GUID nodeType(DWORD nodeId) const;

    // One KsProperty request. `ownNode` is the node of a node-level control,
    // which addresses that node whatever NodeId the request carries; null for
    // the filter-level control.
    HRESULT request(const KSPROPERTY* property, ULONG propertyLength, const ULONG* ownNode, void* data,
                    ULONG dataLength, ULONG* bytesReturned);

private:
    const ExtensionUnit* findUnit(ULONG nodeId, const GUID& set) const;
    HRESULT controlLength(const ExtensionUnit& unit, uint8_t selector, uint16_t& length);
    HRESULT read(const ExtensionUnit& unit, uint8_t selector, void* data, ULONG dataLength, ULONG* bytesReturned);
    HRESULT write(const ExtensionUnit& unit, uint8_t selector, const void* data, ULONG dataLength,
                  ULONG* bytesReturned);

    GuardedDevice& device_;
    // Control lengths do not change while a camera stays bound; asking once
    // keeps every later access to a single transfer.
    std::mutex lengthMutex_;
    std::map<uint16_t, uint16_t> lengths_;
};

} // namespace vorq::platform::ks

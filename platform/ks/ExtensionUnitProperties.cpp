#include "ks/ExtensionUnitProperties.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "ks/GuardedDevice.h"
#include "ks/KsStatus.h"

namespace vorq::platform::ks {

ExtensionUnitProperties::ExtensionUnitProperties(GuardedDevice& device) : device_(device) {}

DWORD ExtensionUnitProperties::nodeCount() const
{
    DWORD count = 0;
    for (const ExtensionUnit& unit : device_.extensionUnits())
        if (unit.unitId + 1u > count) count = unit.unitId + 1u;
    return count;
}

GUID ExtensionUnitProperties::nodeType(DWORD nodeId) const
{
    for (const ExtensionUnit& unit : device_.extensionUnits())
        if (unit.unitId == nodeId) return KSNODETYPE_DEV_SPECIFIC;
    return GUID_NULL;
}

const ExtensionUnit* ExtensionUnitProperties::findUnit(ULONG nodeId, const GUID& set) const
{
    for (const ExtensionUnit& unit : device_.extensionUnits())
        if (unit.unitId == nodeId && unit.guid == set) return &unit;
    return nullptr;
}

HRESULT ExtensionUnitProperties::request(const KSPROPERTY* property, ULONG propertyLength, const ULONG* ownNode,
                                         void* data, ULONG dataLength, ULONG* bytesReturned)
{
    if (bytesReturned) *bytesReturned = 0;
    if (!property) return E_POINTER;
    if (propertyLength < sizeof(KSPROPERTY)) return E_INVALIDARG;
    const ULONG flags = property->Flags;
    // Extension units are reached through nodes only; the filter itself
    // carries no property set.
    if (!(flags & KSPROPERTY_TYPE_TOPOLOGY)) return kSetNotFound;
    if (propertyLength < sizeof(KSP_NODE)) return E_INVALIDARG;

    // Copied, not cast: the caller's record need not be aligned for KSP_NODE.
    KSP_NODE node;
    std::memcpy(&node, property, sizeof node);
    const ULONG nodeId = ownNode ? *ownNode : node.NodeId;

    if (device_.vanished()) return hresultFromErrno(ENODEV);
    const ExtensionUnit* unit = findUnit(nodeId, node.Property.Set);

    switch (flags & ~KSPROPERTY_TYPE_TOPOLOGY) {
    case KSPROPERTY_TYPE_SETSUPPORT:
        return unit ? S_OK : kSetNotFound;
    case KSPROPERTY_TYPE_GET:
        if (!unit) return kSetNotFound;
        if (node.Property.Id > 0xFF) return E_INVALIDARG;
        return read(*unit, static_cast<uint8_t>(node.Property.Id), data, dataLength, bytesReturned);
    case KSPROPERTY_TYPE_SET:
        if (!unit) return kSetNotFound;
        if (node.Property.Id > 0xFF) return E_INVALIDARG;
        return write(*unit, static_cast<uint8_t>(node.Property.Id), data, dataLength, bytesReturned);
    default:
        return E_NOTIMPL;
    }
}

HRESULT ExtensionUnitProperties::controlLength(const ExtensionUnit& unit, uint8_t selector, uint16_t& length)
{
    // The kernel reaches only the selectors a unit advertises; say so plainly
    // instead of passing on its ENOENT.
    if (!unit.advertises(selector)) return kControlNotFound;
    const uint16_t key = static_cast<uint16_t>(unit.unitId << 8 | selector);
    {
        std::lock_guard<std::mutex> lock(lengthMutex_);
        if (auto it = lengths_.find(key); it != lengths_.end()) {
            length = it->second;
            return S_OK;
        }
    }
    uint8_t answer[2] = {0, 0};
    if (int err = device_.xuQuery(unit.unitId, selector, UVC_GET_LEN, answer, sizeof answer))
        return hresultFromErrno(err);
    length = static_cast<uint16_t>(answer[0] | (answer[1] << 8));
    std::lock_guard<std::mutex> lock(lengthMutex_);
    lengths_[key] = length;
    return S_OK;
}

HRESULT ExtensionUnitProperties::read(const ExtensionUnit& unit, uint8_t selector, void* data, ULONG dataLength,
                                      ULONG* bytesReturned)
{
    uint16_t length = 0;
    if (HRESULT hr = controlLength(unit, selector, length); FAILED(hr)) return hr;

    // No buffer: the caller asks for the length.
    if (!data || dataLength == 0) {
        if (bytesReturned) *bytesReturned = length;
        return length ? kMoreData : S_OK;
    }
    if (dataLength < length) {
        if (bytesReturned) *bytesReturned = length;
        return kMoreData;
    }
    if (dataLength > length) return E_INVALIDARG;

    // Read aside so that a failed transfer leaves the caller's buffer as it was.
    std::vector<uint8_t> bytes(length);
    if (int err = device_.xuQuery(unit.unitId, selector, UVC_GET_CUR, bytes.data(), length))
        return hresultFromErrno(err);
    std::memcpy(data, bytes.data(), length);
    if (bytesReturned) *bytesReturned = length;
    return S_OK;
}

HRESULT ExtensionUnitProperties::write(const ExtensionUnit& unit, uint8_t selector, const void* data,
                                       ULONG dataLength, ULONG* bytesReturned)
{
    uint16_t length = 0;
    if (HRESULT hr = controlLength(unit, selector, length); FAILED(hr)) return hr;
    if (dataLength != length) return E_INVALIDARG;
    if (!data && length) return E_POINTER;

    // The device interface takes a mutable buffer; the caller's stays const.
    std::vector<uint8_t> bytes(length);
    if (length) std::memcpy(bytes.data(), data, length);
    if (int err = device_.xuQuery(unit.unitId, selector, UVC_SET_CUR, bytes.data(), length))
        return hresultFromErrno(err);
    if (bytesReturned) *bytesReturned = length;
    return S_OK;
}

} // namespace vorq::platform::ks

#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/Guid.h"

// Raw USB descriptors as a camera reports them in sysfs.
namespace descriptors {

using Bytes = std::vector<uint8_t>;

inline Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Device and configuration descriptor.
inline Bytes head()
{
    return {18, 0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40, 0x2B, 0x9F, 0x42, 0x00, 0x00, 0x01, 1, 2, 3, 1,
            9,  0x02, 0,    0,    4,    1,    0,    0x80, 250};
}
inline Bytes interface(uint8_t number, uint8_t cls, uint8_t subclass) { return {9, 0x04, number, 0, 1, cls, subclass, 0, 0}; }
inline Bytes videoControl(uint8_t number) { return interface(number, 0x0E, 0x01); }
inline Bytes videoStreaming(uint8_t number) { return interface(number, 0x0E, 0x02); }
inline Bytes audioControl(uint8_t number) { return interface(number, 0x01, 0x01); }

// A 27-byte VC_EXTENSION_UNIT (8 controls, one input pin).
inline Bytes extensionUnit(uint8_t unitId, const Bytes& guidBytes)
{
    return join({{27, 0x24, 0x06, unitId}, guidBytes, {8, 1, 2, 2, 0xFF, 0xFF, 0}});
}
inline Bytes extensionUnit(uint8_t unitId, const char* guidText)
{
    GUID guid{};
    vorq::platform::parseGuid(guidText, guid);
    uint8_t b[16];
    vorq::platform::guidToBytes(guid, b);
    return extensionUnit(unitId, Bytes(b, b + 16));
}

inline std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

} // namespace descriptors

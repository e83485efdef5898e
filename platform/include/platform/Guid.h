#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/Export.h"

// The Windows GUID layout, so property sets, node types and interface ids are
// written the way the camera's documentation and the Windows headers write them.
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

inline bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

using IID = GUID;
using CLSID = GUID;
using REFIID = const GUID&;
using REFCLSID = const GUID&;
using REFGUID = const GUID&;

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

namespace vorq::platform {

// "{1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54}" (braces optional, any case).
VORQ_PLATFORM_API bool parseGuid(const std::string& text, GUID& out);
// Upper-case, with braces.
VORQ_PLATFORM_API std::string formatGuid(const GUID& guid);
// The 16 bytes as UVC descriptors and Windows store them: Data1..Data3
// little-endian, then Data4 as is.
VORQ_PLATFORM_API void guidToBytes(const GUID& guid, uint8_t out[16]);
VORQ_PLATFORM_API GUID guidFromBytes(const uint8_t in[16]);

} // namespace vorq::platform

#include "platform/UvcDevice.h"

#include <cerrno>
#include <cstdio>

namespace vorq::platform {

UvcDevice::~UvcDevice() = default;

int UvcDevice::queryMenu(uint32_t, uint32_t) { return ENOTTY; }

int UvcDevice::captureModes(std::vector<CaptureMode>& modes)
{
    modes.clear();
    return ENOTTY;
}

namespace {
struct QueryName {
    uint8_t code;
    const char* name;
};
constexpr QueryName kQueryNames[] = {
    {UVC_SET_CUR, "SET_CUR"}, {UVC_GET_CUR, "GET_CUR"}, {UVC_GET_MIN, "GET_MIN"}, {UVC_GET_MAX, "GET_MAX"},
    {UVC_GET_RES, "GET_RES"}, {UVC_GET_LEN, "GET_LEN"}, {UVC_GET_INFO, "GET_INFO"}, {UVC_GET_DEF, "GET_DEF"},
};
} // namespace

std::string uvcQueryName(uint8_t query)
{
    for (const auto& q : kQueryNames)
        if (q.code == query) return q.name;
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", query);
    return buf;
}

bool uvcQueryFromName(const std::string& name, uint8_t& query)
{
    for (const auto& q : kQueryNames)
        if (name == q.name) {
            query = q.code;
            return true;
        }
    return false;
}

} // namespace vorq::platform

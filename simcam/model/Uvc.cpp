#include "simcam/Uvc.h"

#include <cstdio>

namespace vorq::simcam {

namespace {
struct NamedQuery {
    uint8_t code;
    const char* name;
};
constexpr NamedQuery kQueryNames[] = {
    {SET_CUR, "SET_CUR"}, {GET_CUR, "GET_CUR"}, {GET_MIN, "GET_MIN"}, {GET_MAX, "GET_MAX"},
    {GET_RES, "GET_RES"}, {GET_LEN, "GET_LEN"}, {GET_INFO, "GET_INFO"}, {GET_DEF, "GET_DEF"},
};
} // namespace

std::string queryName(uint8_t query)
{
    for (const auto& q : kQueryNames)
        if (q.code == query) return q.name;
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", query);
    return buf;
}

bool queryFromName(const std::string& name, uint8_t& query)
{
    for (const auto& q : kQueryNames)
        if (name == q.name) {
            query = q.code;
            return true;
        }
    return false;
}

void Guid::toBytes(uint8_t out[16]) const
{
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(data1 >> (8 * i));
    for (int i = 0; i < 2; ++i) out[4 + i] = static_cast<uint8_t>(data2 >> (8 * i));
    for (int i = 0; i < 2; ++i) out[6 + i] = static_cast<uint8_t>(data3 >> (8 * i));
    for (int i = 0; i < 8; ++i) out[8 + i] = data4[i];
}

} // namespace vorq::simcam

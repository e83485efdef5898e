#include "platform/Guid.h"

#include <cctype>
#include <cstdio>

namespace vorq::platform {

namespace {
int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

bool parseGuid(const std::string& text, GUID& out)
{
    std::string s = text;
    if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
    if (s.size() != 36) return false;
    static const int dashes[] = {8, 13, 18, 23};
    std::string hex;
    for (size_t i = 0; i < s.size(); ++i) {
        bool dashPos = false;
        for (int d : dashes) dashPos = dashPos || static_cast<int>(i) == d;
        if (dashPos) {
            if (s[i] != '-') return false;
            continue;
        }
        if (hexValue(s[i]) < 0) return false;
        hex += s[i];
    }
    auto field = [&](size_t pos, size_t digits) {
        uint64_t v = 0;
        for (size_t i = 0; i < digits; ++i) v = (v << 4) | static_cast<uint64_t>(hexValue(hex[pos + i]));
        return v;
    };
    GUID g{};
    g.Data1 = static_cast<uint32_t>(field(0, 8));
    g.Data2 = static_cast<uint16_t>(field(8, 4));
    g.Data3 = static_cast<uint16_t>(field(12, 4));
    for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<uint8_t>(field(16 + 2 * i, 2));
    out = g;
    return true;
}

std::string formatGuid(const GUID& g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

void guidToBytes(const GUID& g, uint8_t out[16])
{
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(g.Data1 >> (8 * i));
    for (int i = 0; i < 2; ++i) out[4 + i] = static_cast<uint8_t>(g.Data2 >> (8 * i));
    for (int i = 0; i < 2; ++i) out[6 + i] = static_cast<uint8_t>(g.Data3 >> (8 * i));
    std::memcpy(out + 8, g.Data4, 8);
}

GUID guidFromBytes(const uint8_t in[16])
{
    GUID g{};
    for (int i = 0; i < 4; ++i) g.Data1 |= static_cast<uint32_t>(in[i]) << (8 * i);
    g.Data2 = static_cast<uint16_t>(in[4] | (in[5] << 8));
    g.Data3 = static_cast<uint16_t>(in[6] | (in[7] << 8));
    std::memcpy(g.Data4, in + 8, 8);
    return g;
}

} // namespace vorq::platform

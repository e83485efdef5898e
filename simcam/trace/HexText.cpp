#include "simcam/HexText.h"

namespace vorq::simcam {

namespace {
int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

void appendHex(std::string& out, const uint8_t* data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    size_t at = out.size();
    out.resize(at + 2 * size);
    char* p = &out[at];
    for (size_t i = 0; i < size; ++i) {
        *p++ = digits[data[i] >> 4];
        *p++ = digits[data[i] & 0xF];
    }
}

std::string toHex(const uint8_t* data, size_t size)
{
    std::string out;
    appendHex(out, data, size);
    return out;
}

bool fromHex(const std::string& text, std::vector<uint8_t>& out)
{
    if (text.size() % 2 != 0) return false;
    out.clear();
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = hexDigit(text[i]);
        int lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<uint8_t>((hi << 4) | lo));
    }
    return true;
}

} // namespace vorq::simcam

#include "UnitResponder.h"

#include <cerrno>
#include <cstring>
#include <linux/usb/video.h>

namespace vorq::emucam {

void PlainUnits::setLength(uint8_t unit, uint8_t selector, uint16_t length)
{
    std::lock_guard<std::mutex> lock(mutex_);
    lengths_[{unit, selector}] = length;
}

int PlainUnits::request(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto key = std::make_pair(unit, selector);
    const auto len = lengths_.count(key) ? lengths_[key] : kDefaultLength;
    switch (query) {
    case UVC_GET_INFO:
        if (size != 1) return ENOBUFS;
        data[0] = UVC_CONTROL_CAP_GET | UVC_CONTROL_CAP_SET;
        return 0;
    case UVC_GET_LEN:
        if (size != 2) return ENOBUFS;
        data[0] = static_cast<uint8_t>(len);
        data[1] = static_cast<uint8_t>(len >> 8);
        return 0;
    default:
        break;
    }
    if (size != len) return ENOBUFS;
    std::string& value = values_[key];
    value.resize(len, '\0');
    switch (query) {
    case UVC_SET_CUR:
        value.assign(reinterpret_cast<const char*>(data), size);
        return 0;
    case UVC_GET_CUR:
    case UVC_GET_DEF:
        std::memcpy(data, query == UVC_GET_CUR ? value.data() : std::string(len, '\0').data(), size);
        return 0;
    case UVC_GET_MIN:
        std::memset(data, 0, size);
        return 0;
    case UVC_GET_MAX:
        std::memset(data, 0xff, size);
        return 0;
    case UVC_GET_RES:
        std::memset(data, 0, size);
        data[0] = 1;
        return 0;
    default:
        return EINVAL;
    }
}

} // namespace vorq::emucam

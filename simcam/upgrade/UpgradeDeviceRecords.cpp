#include "upgrade/UpgradeDeviceRecords.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "upgrade/UpgradeDeviceStore.h"

namespace vorq::simcam {

namespace {

void put32(std::vector<uint8_t>& r, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) r[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void put16(std::vector<uint8_t>& r, size_t at, uint16_t v)
{
    r[at] = static_cast<uint8_t>(v);
    r[at + 1] = static_cast<uint8_t>(v >> 8);
}
// A text field that always keeps its terminator.
void putText(std::vector<uint8_t>& r, size_t at, size_t field, const std::string& text)
{
    const size_t n = text.size() < field - 1 ? text.size() : field - 1;
    std::memcpy(r.data() + at, text.data(), n);
}

} // namespace

UpgradeDeviceRecords::UpgradeDeviceRecords(UpgradeDeviceStore& store) : store_(store) {}

std::vector<uint8_t> UpgradeDeviceRecords::record(uint8_t command) const
{
    switch (command) {
    case 42: return hwInfo();
    case 43: return sofInfo();
    case 44: return appConfig();
    case 45: return usbConfig();
    case 46: return uvcInfo();
    case 47: return uacInfo();
    default: return {};
    }
}

std::vector<uint8_t> UpgradeDeviceRecords::hwInfo() const
{
    std::vector<uint8_t> r(45, 0);
    put32(r, 0, kChipId);
    put32(r, 4, 0x00000002);  // board revision
    put32(r, 8, 64u << 20);   // memory size
    put32(r, 12, kFlashSize);
    return r;
}

std::vector<uint8_t> UpgradeDeviceRecords::sofInfo() const
{
    std::vector<uint8_t> r(111, 0);
    putText(r, 0, 32, "TX42");
    putText(r, 32, 32, store_.modelText());
    putText(r, 64, 32, "std");
    versionNumbers(store_.firmwareVersion(), r.data() + 96);
    return r;
}

std::vector<uint8_t> UpgradeDeviceRecords::appConfig() const
{
    std::vector<uint8_t> r(9, 0);
    r[0] = 1; // configuration set in use
    return r;
}

std::vector<uint8_t> UpgradeDeviceRecords::usbConfig() const
{
    std::vector<uint8_t> r(213, 0);
    put16(r, 0, store_.vendorId());
    put16(r, 2, store_.productId());
    uint8_t v[3];
    versionNumbers(store_.firmwareVersion(), v);
    put16(r, 6, static_cast<uint16_t>((v[0] & 0xFF) << 8 | (v[1] & 0xF) << 4 | (v[2] & 0xF)));
    putText(r, 8, 200 - 8, store_.serialNumber());
    r[200] = kHighSpeed;
    r[202] = store_.configNumber("upgrade_uvc", 1) ? 1 : 0;
    r[203] = store_.configNumber("upgrade_uac", 1) ? 1 : 0;
    return r;
}

std::vector<uint8_t> UpgradeDeviceRecords::uvcInfo() const
{
    std::vector<uint8_t> r(68, 0);
    r[0] = 2;  // formats: MJPEG, YUY2
    r[1] = 1;  // one streaming interface
    put16(r, 2, 1920);
    put16(r, 4, 1080);
    r[6] = 30;
    return r;
}

std::vector<uint8_t> UpgradeDeviceRecords::uacInfo() const
{
    std::vector<uint8_t> r(6, 0);
    r[0] = 1;  // microphone
    r[1] = 1;  // speaker
    put16(r, 2, 48000 / 10);
    r[4] = 16; // bits per sample
    r[5] = 1;  // channels
    return r;
}

std::vector<uint8_t> UpgradeDeviceRecords::deviceStatus() const
{
    std::vector<uint8_t> r(5, 0);
    put32(r, 0, static_cast<uint32_t>(store_.configNumber("upgrade_stream_flags", 0)));
    r[4] = kHighSpeed;
    return r;
}

void UpgradeDeviceRecords::versionNumbers(const std::string& version, uint8_t out[3])
{
    out[0] = out[1] = out[2] = 0;
    int part = 0;
    unsigned value = 0;
    bool digits = false;
    for (size_t i = 0; i <= version.size() && part < 3; ++i) {
        const char c = i < version.size() ? version[i] : '.';
        if (std::isdigit(static_cast<unsigned char>(c))) {
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > 255) value = 255;
            digits = true;
        } else if (digits) {
            out[part++] = static_cast<uint8_t>(value);
            value = 0;
            digits = false;
        }
    }
}

std::string UpgradeDeviceRecords::nextFirmwareVersion(const std::string& current, const std::string& fileName)
{
    // "<model>_v1.2.0.img": the version follows "_v" up to the extension.
    std::string stem = fileName;
    const size_t dot = stem.find_last_of('.');
    if (dot != std::string::npos) stem.erase(dot);
    const size_t tag = stem.rfind("_v");
    if (tag != std::string::npos && tag + 2 < stem.size() && std::isdigit(static_cast<unsigned char>(stem[tag + 2]))) {
        uint8_t v[3];
        versionNumbers(stem.substr(tag + 2), v);
        char text[32];
        std::snprintf(text, sizeof text, "%u.%u.%u", v[0], v[1], v[2]);
        return text;
    }
    uint8_t v[3];
    versionNumbers(current, v);
    if (v[2] < 255) ++v[2];
    else if (v[1] < 255) ++v[1], v[2] = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u", v[0], v[1], v[2]);
    return text;
}

} // namespace vorq::simcam

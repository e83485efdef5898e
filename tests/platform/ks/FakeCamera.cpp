#include "FakeCamera.h"

#include <linux/videodev2.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace vorq::platform;

namespace {
struct NamedControl {
    uint32_t cid;
    const char* name;
};
constexpr NamedControl kNames[] = {
    {V4L2_CID_PAN_ABSOLUTE, "PAN_ABSOLUTE"},
    {V4L2_CID_PAN_SPEED, "PAN_SPEED"},
    {V4L2_CID_EXPOSURE_AUTO, "EXPOSURE_AUTO"},
    {V4L2_CID_EXPOSURE_ABSOLUTE, "EXPOSURE_ABSOLUTE"},
    {V4L2_CID_FOCUS_AUTO, "FOCUS_AUTO"},
    {V4L2_CID_FOCUS_ABSOLUTE, "FOCUS_ABSOLUTE"},
    {V4L2_CID_AUTO_WHITE_BALANCE, "AUTO_WHITE_BALANCE"},
    {V4L2_CID_WHITE_BALANCE_TEMPERATURE, "WHITE_BALANCE_TEMPERATURE"},
};

GUID guid(const char* text)
{
    GUID g{};
    parseGuid(text, g);
    return g;
}
} // namespace

std::string controlName(uint32_t cid)
{
    for (const auto& n : kNames)
        if (n.cid == cid) return n.name;
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08x", cid);
    return buf;
}

FakeCamera::FakeCamera(std::shared_ptr<FakeCameraState> state) : state_(std::move(state)) {}

const UvcIdentity& FakeCamera::identity() const { return state_->identity; }

const std::vector<ExtensionUnit>& FakeCamera::extensionUnits() const { return state_->units; }

bool FakeCamera::present(const std::string& call)
{
    state_->calls.push_back(call);
    if (state_->callsUntilUnplug == 0) state_->unplugged = true;
    if (state_->callsUntilUnplug > 0) --state_->callsUntilUnplug;
    return !state_->unplugged;
}

int FakeCamera::xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    if (!present("xu " + std::to_string(unit) + " " + std::to_string(selector) + " " + uvcQueryName(query) + " " +
                 std::to_string(size)))
        return ENODEV;
    auto control = state_->xuControls.find({unit, selector});
    if (control == state_->xuControls.end()) return ENOENT;
    std::vector<uint8_t>& bytes = control->second;
    switch (query) {
    case UVC_GET_LEN:
        if (size != 2) return EINVAL;
        data[0] = static_cast<uint8_t>(bytes.size());
        data[1] = static_cast<uint8_t>(bytes.size() >> 8);
        return 0;
    case UVC_GET_CUR:
        if (size != bytes.size()) return EINVAL;
        if (state_->getCurError) {
            std::memset(data, 0xEE, size);
            return state_->getCurError;
        }
        std::memcpy(data, bytes.data(), size);
        return 0;
    case UVC_SET_CUR:
        if (size != bytes.size()) return EINVAL;
        std::memcpy(bytes.data(), data, size);
        return 0;
    default:
        return EINVAL;
    }
}

int FakeCamera::queryControl(uint32_t cid, ControlRange& range)
{
    if (!present("query " + controlName(cid))) return ENODEV;
    auto it = state_->ranges.find(cid);
    if (it == state_->ranges.end()) return EINVAL;
    range = it->second;
    return 0;
}

int FakeCamera::getControl(uint32_t cid, int32_t& value)
{
    if (!present("get " + controlName(cid))) return ENODEV;
    auto it = state_->values.find(cid);
    if (it == state_->values.end()) return EINVAL;
    value = it->second;
    return 0;
}

int FakeCamera::setControl(uint32_t cid, int32_t value)
{
    if (!present("set " + controlName(cid) + " " + std::to_string(value))) return ENODEV;
    auto it = state_->values.find(cid);
    if (it == state_->values.end()) return EINVAL;
    it->second = value;
    return 0;
}

std::unique_ptr<UvcDevice> FakeCamera::reopen() const
{
    if (state_->unplugged) return nullptr;
    return std::make_unique<FakeCamera>(state_);
}

std::shared_ptr<FakeCameraState> makeTeldoraCamera()
{
    auto s = std::make_shared<FakeCameraState>();
    s->identity.card = "TELDORA TX42";
    s->identity.usb = true;
    s->identity.vendorId = 0x9f2b;
    s->identity.productId = 0x0042;
    s->identity.busPath = "1-4";
    s->identity.interfaceNumber = 0;
    s->identity.videoNode = "/dev/video0";
    s->units = {{4, guid("{A7A6A934-3A4A-4351-85F4-042EF2CDCAAB}")},
                {6, guid("{9D33BBE7-E619-435C-8FAC-528EECCCBCA4}")},
                {3, guid("{1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54}")}};
    s->xuControls[{4, 9}] = std::vector<uint8_t>(24, 0);
    std::memcpy(s->xuControls[{4, 9}].data(), "TX42:1.0.0.5:", 13);
    s->xuControls[{4, 13}] = {5};
    s->xuControls[{3, 6}] = std::vector<uint8_t>(3085, 0);

    s->ranges[V4L2_CID_PAN_ABSOLUTE] = {-36000, 36000, 3600, 0, 0};
    s->ranges[V4L2_CID_PAN_SPEED] = {-3, 3, 1, 2, 0};
    s->ranges[V4L2_CID_EXPOSURE_ABSOLUTE] = {3, 2047, 1, 250, 0};
    s->ranges[V4L2_CID_FOCUS_ABSOLUTE] = {0, 255, 5, 0, 0};
    s->ranges[V4L2_CID_CONTRAST] = {0, 14, 1, 7, 0};
    s->ranges[V4L2_CID_WHITE_BALANCE_TEMPERATURE] = {2800, 6500, 10, 4600, 0};
    s->ranges[V4L2_CID_EXPOSURE_AUTO] = {0, 3, 1, V4L2_EXPOSURE_APERTURE_PRIORITY, 0};
    s->ranges[V4L2_CID_FOCUS_AUTO] = {0, 1, 1, 1, 0};
    s->ranges[V4L2_CID_AUTO_WHITE_BALANCE] = {0, 1, 1, 1, 0};
    for (const auto& [cid, range] : s->ranges) s->values[cid] = range.defaultValue;
    s->values[V4L2_CID_EXPOSURE_AUTO] = V4L2_EXPOSURE_APERTURE_PRIORITY;
    s->values[V4L2_CID_FOCUS_AUTO] = 1;
    s->values[V4L2_CID_AUTO_WHITE_BALANCE] = 1;
    return s;
}

#include "sim/ExternalUvcDevice.h"

#include "sim/ExternalBackend.h"
#include "simcam/HexText.h"

using vorq::simcam::fromHex;
using vorq::simcam::toHex;

#include <cerrno>
#include <cstring>

namespace vorq::platform {

namespace {

// Linux errno values stay well below this; anything else is not an errno.
constexpr int64_t kMaxErrno = 4095;

bool readInt32(const Json& reply, const char* key, int32_t& out)
{
    int64_t n;
    if (!jsonInt(jsonMember(reply, key), n, INT32_MIN, INT32_MAX)) return false;
    out = static_cast<int32_t>(n);
    return true;
}

} // namespace

ExternalUvcDevice::ExternalUvcDevice(std::string socketPath, std::string deviceId, UvcIdentity identity,
                                     std::vector<ExtensionUnit> units, int timeoutMs)
    : deviceId_(std::move(deviceId)), identity_(std::move(identity)), units_(std::move(units)),
      connection_(std::move(socketPath), timeoutMs)
{
}

Json ExternalUvcDevice::newRequest(const char* op) const
{
    Json request = Json::object();
    request["op"] = op;
    request["id"] = deviceId_;
    return request;
}

int ExternalUvcDevice::malformed(const std::string& what, const std::string& problem)
{
    connection_.diagnose("malformed reply to " + what + ": " + problem);
    return EIO;
}

int ExternalUvcDevice::call(const Json& request, Json& reply, const std::string& what)
{
    if (int err = connection_.request(request, reply)) return err;
    int64_t err;
    if (!jsonInt(jsonMember(reply, "errno"), err, 0, kMaxErrno)) return malformed(what, "no valid \"errno\"");
    return static_cast<int>(err);
}

int ExternalUvcDevice::xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    if (!data && size > 0) return EINVAL;
    const std::string queryName = uvcQueryName(query);
    uint8_t known;
    // The protocol only names the eight UVC requests; refuse the rest here
    // rather than sending a name the device cannot know.
    if (!uvcQueryFromName(queryName, known)) return EINVAL;

    Json request = newRequest("xu");
    request["unit"] = unit;
    request["selector"] = selector;
    request["query"] = queryName;
    request["size"] = size;
    if (query == UVC_SET_CUR) request["data"] = toHex(data, size);

    const std::string what = "xu " + queryName;
    Json reply;
    if (int err = call(request, reply, what)) return err;
    if (query == UVC_SET_CUR) return 0;

    std::string hex;
    if (!jsonString(jsonMember(reply, "data"), hex)) return malformed(what, "no \"data\"");
    std::vector<uint8_t> bytes;
    if (!fromHex(hex, bytes)) return malformed(what, "\"data\" is not hex");
    if (bytes.size() != size)
        return malformed(what, "\"data\" has " + std::to_string(bytes.size()) + " bytes, expected " +
                                   std::to_string(size));
    if (size > 0) std::memcpy(data, bytes.data(), size);
    return 0;
}

int ExternalUvcDevice::queryControl(uint32_t cid, ControlRange& range)
{
    Json request = newRequest("queryctrl");
    request["cid"] = cid;
    Json reply;
    if (int err = call(request, reply, "queryctrl")) return err;

    ControlRange r;
    if (!readInt32(reply, "min", r.minimum) || !readInt32(reply, "max", r.maximum) ||
        !readInt32(reply, "step", r.step) || !readInt32(reply, "default", r.defaultValue))
        return malformed("queryctrl", "missing or invalid \"min\", \"max\", \"step\" or \"default\"");
    // A device that reports no flags has none.
    if (const Json* flags = jsonMember(reply, "flags")) {
        int64_t f;
        if (!jsonInt(flags, f, 0, UINT32_MAX)) return malformed("queryctrl", "invalid \"flags\"");
        r.flags = static_cast<uint32_t>(f);
    }
    range = r;
    return 0;
}

int ExternalUvcDevice::getControl(uint32_t cid, int32_t& value)
{
    Json request = newRequest("g_ctrl");
    request["cid"] = cid;
    Json reply;
    if (int err = call(request, reply, "g_ctrl")) return err;
    int32_t v;
    if (!readInt32(reply, "value", v)) return malformed("g_ctrl", "missing or invalid \"value\"");
    value = v;
    return 0;
}

int ExternalUvcDevice::setControl(uint32_t cid, int32_t value)
{
    Json request = newRequest("s_ctrl");
    request["cid"] = cid;
    request["value"] = value;
    Json reply;
    return call(request, reply, "s_ctrl");
}

std::unique_ptr<UvcDevice> ExternalUvcDevice::reopen() const
{
    // The device may have dropped the camera since it was listed: a new
    // handle only while the same camera is still in its list, with what the
    // list says now (a camera may have become busy).
    for (const auto& listed : enumerateExternalCameras(connection_.socketPath())) {
        const auto* camera = dynamic_cast<const ExternalUvcDevice*>(listed.get());
        if (!camera || camera->deviceId_ != deviceId_) continue;
        const UvcIdentity& now = camera->identity_;
        if (now.vendorId != identity_.vendorId || now.productId != identity_.productId ||
            now.serial != identity_.serial || now.busPath != identity_.busPath)
            return nullptr;
        return std::make_unique<ExternalUvcDevice>(connection_.socketPath(), deviceId_, now, camera->units_,
                                                   connection_.timeoutMs());
    }
    return nullptr;
}

} // namespace vorq::platform

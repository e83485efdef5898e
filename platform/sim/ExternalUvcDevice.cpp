#include "sim/ExternalUvcDevice.h"

#include "sim/ExternalBackend.h"
#include "sim/HexText.h"

#include <cerrno>
#include <cstring>

namespace vorq::platform {

namespace {

// Linux errno values stay well below this; anything else is not an errno.
constexpr int64_t kMaxErrno = 4095;

bool readInt32(const JsonValue& reply, const char* key, int32_t& out)
{
    const JsonValue* v = reply.find(key);
    int64_t n;
    if (!v || !v->getInt(n, INT32_MIN, INT32_MAX)) return false;
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

JsonValue ExternalUvcDevice::newRequest(const char* op) const
{
    JsonValue request = JsonValue::object();
    request.set("op", op);
    request.set("id", deviceId_);
    return request;
}

int ExternalUvcDevice::malformed(const std::string& what, const std::string& problem)
{
    connection_.diagnose("malformed reply to " + what + ": " + problem);
    return EIO;
}

int ExternalUvcDevice::call(const JsonValue& request, JsonValue& reply, const std::string& what)
{
    if (int err = connection_.request(request, reply)) return err;
    const JsonValue* errnoValue = reply.find("errno");
    int64_t err;
    if (!errnoValue || !errnoValue->getInt(err, 0, kMaxErrno)) return malformed(what, "no valid \"errno\"");
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

    JsonValue request = newRequest("xu");
    request.set("unit", unit);
    request.set("selector", selector);
    request.set("query", queryName);
    request.set("size", size);
    if (query == UVC_SET_CUR) request.set("data", toHex(data, size));

    const std::string what = "xu " + queryName;
    JsonValue reply;
    if (int err = call(request, reply, what)) return err;
    if (query == UVC_SET_CUR) return 0;

    const JsonValue* hex = reply.find("data");
    if (!hex || !hex->isString()) return malformed(what, "no \"data\"");
    std::vector<uint8_t> bytes;
    if (!fromHex(hex->asString(), bytes)) return malformed(what, "\"data\" is not hex");
    if (bytes.size() != size)
        return malformed(what, "\"data\" has " + std::to_string(bytes.size()) + " bytes, expected " +
                                   std::to_string(size));
    if (size > 0) std::memcpy(data, bytes.data(), size);
    return 0;
}

int ExternalUvcDevice::queryControl(uint32_t cid, ControlRange& range)
{
    JsonValue request = newRequest("queryctrl");
    request.set("cid", cid);
    JsonValue reply;
    if (int err = call(request, reply, "queryctrl")) return err;

    ControlRange r;
    if (!readInt32(reply, "min", r.minimum) || !readInt32(reply, "max", r.maximum) ||
        !readInt32(reply, "step", r.step) || !readInt32(reply, "default", r.defaultValue))
        return malformed("queryctrl", "missing or invalid \"min\", \"max\", \"step\" or \"default\"");
    // A device that reports no flags has none.
    if (const JsonValue* flags = reply.find("flags")) {
        int64_t f;
        if (!flags->getInt(f, 0, UINT32_MAX)) return malformed("queryctrl", "invalid \"flags\"");
        r.flags = static_cast<uint32_t>(f);
    }
    range = r;
    return 0;
}

int ExternalUvcDevice::getControl(uint32_t cid, int32_t& value)
{
    JsonValue request = newRequest("g_ctrl");
    request.set("cid", cid);
    JsonValue reply;
    if (int err = call(request, reply, "g_ctrl")) return err;
    int32_t v;
    if (!readInt32(reply, "value", v)) return malformed("g_ctrl", "missing or invalid \"value\"");
    value = v;
    return 0;
}

int ExternalUvcDevice::setControl(uint32_t cid, int32_t value)
{
    JsonValue request = newRequest("s_ctrl");
    request.set("cid", cid);
    request.set("value", value);
    JsonValue reply;
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

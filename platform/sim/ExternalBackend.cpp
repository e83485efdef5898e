#include "sim/ExternalBackend.h"

#include <set>

#include "sim/ExternalConnection.h"
#include "sim/ExternalUvcDevice.h"

namespace vorq::platform {

namespace {

// Reads an optional string member; a member of another type is reported and
// ignored rather than costing the whole camera.
void readOptionalString(const JsonValue& entry, const char* key, std::string& out, const ExternalConnection& conn,
                        const std::string& where)
{
    const JsonValue* v = entry.find(key);
    if (!v) return;
    if (v->isString()) out = v->asString();
    else conn.diagnose(where + ": ignoring \"" + key + "\", not a string");
}

std::vector<ExtensionUnit> readUnits(const JsonValue& entry, const ExternalConnection& conn, const std::string& where)
{
    std::vector<ExtensionUnit> units;
    const JsonValue* list = entry.find("units");
    if (!list) return units;
    if (!list->isArray()) {
        conn.diagnose(where + ": ignoring \"units\", not an array");
        return units;
    }
    for (size_t i = 0; i < list->items().size(); ++i) {
        const JsonValue& u = list->items()[i];
        const JsonValue* unitValue = u.find("unit");
        const JsonValue* guidValue = u.find("guid");
        int64_t id;
        ExtensionUnit unit;
        if (!unitValue || !unitValue->getInt(id, 0, 255) || !guidValue || !guidValue->isString() ||
            !parseGuid(guidValue->asString(), unit.guid)) {
            conn.diagnose(where + ": skipping unit entry " + std::to_string(i) + ", needs \"unit\" 0-255 and a \"guid\"");
            continue;
        }
        unit.unitId = static_cast<uint8_t>(id);
        units.push_back(unit);
    }
    return units;
}

std::unique_ptr<ExternalUvcDevice> readDevice(const JsonValue& entry, const std::string& socketPath,
                                              const ExternalConnection& conn, const std::string& where)
{
    const JsonValue* id = entry.find("id");
    const JsonValue* card = entry.find("card");
    const JsonValue* vid = entry.find("vid");
    const JsonValue* pid = entry.find("pid");
    int64_t vendor, product;
    if (!id || !id->isString() || id->asString().empty()) {
        conn.diagnose(where + ": skipped, missing or invalid \"id\"");
        return nullptr;
    }
    if (!card || !card->isString()) {
        conn.diagnose(where + ": skipped, missing or invalid \"card\"");
        return nullptr;
    }
    if (!vid || !vid->getInt(vendor, 0, 0xFFFF)) {
        conn.diagnose(where + ": skipped, missing or invalid \"vid\"");
        return nullptr;
    }
    if (!pid || !pid->getInt(product, 0, 0xFFFF)) {
        conn.diagnose(where + ": skipped, missing or invalid \"pid\"");
        return nullptr;
    }

    UvcIdentity identity;
    identity.card = card->asString();
    identity.usb = true;
    identity.vendorId = static_cast<uint16_t>(vendor);
    identity.productId = static_cast<uint16_t>(product);
    identity.videoNode = "ext-" + id->asString();
    identity.simulated = true;
    readOptionalString(entry, "serial", identity.serial, conn, where);
    readOptionalString(entry, "bus", identity.busPath, conn, where);
    readOptionalString(entry, "video", identity.videoGraph, conn, where);
    readOptionalString(entry, "microphone", identity.microphone, conn, where);
    readOptionalString(entry, "audio", identity.audioGraph, conn, where);
    if (const JsonValue* busy = entry.find("busy")) {
        if (busy->isBool()) identity.busy = busy->asBool();
        else conn.diagnose(where + ": ignoring \"busy\", not a boolean");
    }
    return std::make_unique<ExternalUvcDevice>(socketPath, id->asString(), std::move(identity),
                                               readUnits(entry, conn, where), conn.timeoutMs());
}

} // namespace

DeviceList enumerateExternalCameras(const std::string& socketPath)
{
    DeviceList cameras;
    ExternalConnection conn(socketPath);
    JsonValue request = JsonValue::object();
    request.set("op", "list");
    JsonValue reply;
    if (conn.request(request, reply) != 0) return cameras; // the connection said why

    const JsonValue* devices = reply.find("devices");
    if (!devices || !devices->isArray()) {
        const JsonValue* err = reply.find("errno");
        conn.diagnose(err && err->isInt() && err->asInt() != 0
                          ? "device list refused with errno " + std::to_string(err->asInt())
                          : std::string("malformed reply to list: no \"devices\" array"));
        return cameras;
    }

    std::set<std::string> seen;
    for (size_t i = 0; i < devices->items().size(); ++i) {
        const std::string where = "device entry " + std::to_string(i);
        auto camera = readDevice(devices->items()[i], socketPath, conn, where);
        if (!camera) continue;
        // The id addresses every later request; a second camera under the
        // same id would silently talk to the first.
        if (!seen.insert(camera->deviceId()).second) {
            conn.diagnose(where + ": skipped, duplicate \"id\" " + camera->deviceId());
            continue;
        }
        cameras.push_back(std::move(camera));
    }
    return cameras;
}

} // namespace vorq::platform

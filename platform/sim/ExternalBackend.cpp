#include "sim/ExternalBackend.h"

#include <set>

#include "sim/ExternalConnection.h"
#include "sim/ExternalUvcDevice.h"

namespace vorq::platform {

namespace {

// Reads an optional string member; a member of another type is reported and
// ignored rather than costing the whole camera.
void readOptionalString(const Json& entry, const char* key, std::string& out, const ExternalConnection& conn,
                        const std::string& where)
{
    const Json* v = jsonMember(entry, key);
    if (!v) return;
    if (!jsonString(v, out)) conn.diagnose(where + ": ignoring \"" + key + "\", not a string");
}

std::vector<ExtensionUnit> readUnits(const Json& entry, const ExternalConnection& conn, const std::string& where)
{
    std::vector<ExtensionUnit> units;
    const Json* list = jsonMember(entry, "units");
    if (!list) return units;
    if (!list->is_array()) {
        conn.diagnose(where + ": ignoring \"units\", not an array");
        return units;
    }
    for (size_t i = 0; i < list->size(); ++i) {
        const Json& u = (*list)[i];
        int64_t id;
        std::string guid;
        ExtensionUnit unit;
        if (!jsonInt(jsonMember(u, "unit"), id, 0, 255) || !jsonString(jsonMember(u, "guid"), guid) ||
            !parseGuid(guid, unit.guid)) {
            conn.diagnose(where + ": skipping unit entry " + std::to_string(i) + ", needs \"unit\" 0-255 and a \"guid\"");
            continue;
        }
        unit.unitId = static_cast<uint8_t>(id);
        units.push_back(unit);
    }
    return units;
}

std::unique_ptr<ExternalUvcDevice> readDevice(const Json& entry, const std::string& socketPath,
                                              const ExternalConnection& conn, const std::string& where)
{
    std::string id, card;
    int64_t vendor, product;
    if (!jsonString(jsonMember(entry, "id"), id) || id.empty()) {
        conn.diagnose(where + ": skipped, missing or invalid \"id\"");
        return nullptr;
    }
    if (!jsonString(jsonMember(entry, "card"), card)) {
        conn.diagnose(where + ": skipped, missing or invalid \"card\"");
        return nullptr;
    }
    if (!jsonInt(jsonMember(entry, "vid"), vendor, 0, 0xFFFF)) {
        conn.diagnose(where + ": skipped, missing or invalid \"vid\"");
        return nullptr;
    }
    if (!jsonInt(jsonMember(entry, "pid"), product, 0, 0xFFFF)) {
        conn.diagnose(where + ": skipped, missing or invalid \"pid\"");
        return nullptr;
    }

    UvcIdentity identity;
    identity.card = card;
    identity.usb = true;
    identity.vendorId = static_cast<uint16_t>(vendor);
    identity.productId = static_cast<uint16_t>(product);
    identity.videoNode = "ext-" + id;
    identity.simulated = true;
    readOptionalString(entry, "serial", identity.serial, conn, where);
    readOptionalString(entry, "bus", identity.busPath, conn, where);
    readOptionalString(entry, "video", identity.videoGraph, conn, where);
    readOptionalString(entry, "microphone", identity.microphone, conn, where);
    readOptionalString(entry, "audio", identity.audioGraph, conn, where);
    if (const Json* busy = jsonMember(entry, "busy")) {
        if (busy->is_boolean()) identity.busy = busy->get<bool>();
        else conn.diagnose(where + ": ignoring \"busy\", not a boolean");
    }
    return std::make_unique<ExternalUvcDevice>(socketPath, id, std::move(identity),
                                               readUnits(entry, conn, where), conn.timeoutMs());
}

} // namespace

DeviceList enumerateExternalCameras(const std::string& socketPath)
{
    DeviceList cameras;
    ExternalConnection conn(socketPath);
    Json request = Json::object();
    request["op"] = "list";
    Json reply;
    if (conn.request(request, reply) != 0) return cameras; // the connection said why

    const Json* devices = jsonMember(reply, "devices");
    if (!devices || !devices->is_array()) {
        int64_t err = 0;
        conn.diagnose(jsonInt(jsonMember(reply, "errno"), err, INT64_MIN, INT64_MAX) && err != 0
                          ? "device list refused with errno " + std::to_string(err)
                          : std::string("malformed reply to list: no \"devices\" array"));
        return cameras;
    }

    std::set<std::string> seen;
    for (size_t i = 0; i < devices->size(); ++i) {
        const std::string where = "device entry " + std::to_string(i);
        auto camera = readDevice((*devices)[i], socketPath, conn, where);
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

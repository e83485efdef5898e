#include "pulse/PulseSourceList.h"

#include "pulse/PulseConnection.h"

namespace vorq::platform {

bool PulseSourceList::list(std::vector<PulseSource>& out, std::string* error, int timeoutMs)
{
    out.clear();
    auto connection = PulseConnection::connect(timeoutMs, error);
    if (!connection) return false;
    auto onSource = [](pa_context*, const pa_source_info* info, int eol, void* user) {
        if (eol || !info) return;
        auto* sources = static_cast<std::vector<PulseSource>*>(user);
        PulseSource s;
        s.name = info->name ? info->name : "";
        s.description = info->description ? info->description : "";
        s.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
        auto property = [info](const char* key) {
            const char* value = info->proplist ? pa_proplist_gets(info->proplist, key) : nullptr;
            return std::string(value ? value : "");
        };
        s.busPath = property("device.bus_path");
        s.sysfsPath = property("sysfs.path");
        s.vendorId = property("device.vendor.id");
        s.productId = property("device.product.id");
        s.serial = property("device.serial");
        sources->push_back(std::move(s));
    };
    if (!connection->wait(pa_context_get_source_info_list(connection->context(), onSource, &out), timeoutMs)) {
        if (error) *error = "listing the PulseAudio sources failed";
        return false;
    }
    return true;
}

} // namespace vorq::platform

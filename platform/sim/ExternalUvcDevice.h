#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/UvcDevice.h"
#include "sim/ExternalConnection.h"

namespace vorq::platform {

// A camera of an external simulated device. Every query is one request on
// this object's own connection; the device's errno comes back unchanged, and
// transport or protocol failures become ETIMEDOUT, ENODEV or EIO.
class ExternalUvcDevice : public UvcDevice {
public:
    ExternalUvcDevice(std::string socketPath, std::string deviceId, UvcIdentity identity,
                      std::vector<ExtensionUnit> units, int timeoutMs = ExternalConnection::timeoutFromEnvironment());

    const UvcIdentity& identity() const override { return identity_; }
    const std::vector<ExtensionUnit>& extensionUnits() const override { return units_; }
    const std::string& deviceId() const { return deviceId_; }

    int xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) override;
    int queryControl(uint32_t cid, ControlRange& range) override;
    int getControl(uint32_t cid, int32_t& value) override;
    int setControl(uint32_t cid, int32_t value) override;
    std::unique_ptr<UvcDevice> reopen() const override;

private:
    Json newRequest(const char* op) const;
    // Sends the request; on success `reply` holds the answer and the result
    // is the device's errno. `what` names the request in diagnostics.
    int call(const Json& request, Json& reply, const std::string& what);
    int malformed(const std::string& what, const std::string& problem);

    const std::string deviceId_;
    const UvcIdentity identity_;
    const std::vector<ExtensionUnit> units_;
    ExternalConnection connection_;
};

} // namespace vorq::platform

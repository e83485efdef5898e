#pragma once

#include <memory>

#include "ks/ComObject.h"
#include "platform/UvcDevice.h"

namespace vorq::platform::ks {

// One video input device of a walk. It keeps the enumerated device only for
// its identity and to open new handles: every filter binding gets its own.
class DeviceMoniker final : public ComObject<IMoniker> {
public:
    explicit DeviceMoniker(std::unique_ptr<UvcDevice> device);

    HRESULT BindToStorage(REFIID riid, void** ppv) override;
    HRESULT BindToObject(REFIID riid, void** ppv) override;

private:
    ~DeviceMoniker() override;

    const std::unique_ptr<UvcDevice> device_;
};

} // namespace vorq::platform::ks

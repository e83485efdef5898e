#pragma once

#include <mutex>
#include <vector>

#include "ks/ComObject.h"
#include "ks/DeviceMoniker.h"
#include "platform/ComPtr.h"

namespace vorq::platform::ks {

// The devices of one walk, taken once when the enumerator was created; Reset
// goes back to the first of them, it does not walk again.
class DeviceMonikerEnum final : public ComObject<IEnumMoniker> {
public:
    explicit DeviceMonikerEnum(std::vector<ComPtr<DeviceMoniker>> monikers);

    HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;

private:
    ~DeviceMonikerEnum() override;

    const std::vector<ComPtr<DeviceMoniker>> monikers_;
    std::mutex mutex_;
    size_t position_ = 0;
};

} // namespace vorq::platform::ks

#include "ks/DeviceMonikerEnum.h"

namespace vorq::platform::ks {

DeviceMonikerEnum::DeviceMonikerEnum(std::vector<ComPtr<DeviceMoniker>> monikers)
    : ComObject(IID_IEnumMoniker), monikers_(std::move(monikers))
{
}

DeviceMonikerEnum::~DeviceMonikerEnum() = default;

HRESULT DeviceMonikerEnum::Next(ULONG count, IMoniker** monikers, ULONG* fetched)
{
    if (fetched) *fetched = 0;
    if (!monikers) return E_POINTER;
    // Without a count to report, only one at a time can be asked for.
    if (!fetched && count != 1) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    ULONG handed = 0;
    while (handed < count && position_ < monikers_.size()) {
        DeviceMoniker* moniker = monikers_[position_++].get();
        moniker->AddRef();
        monikers[handed++] = moniker;
    }
    if (fetched) *fetched = handed;
    return handed == count ? S_OK : S_FALSE;
}

HRESULT DeviceMonikerEnum::Skip(ULONG count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const size_t left = monikers_.size() - position_;
    if (count > left) {
        position_ = monikers_.size();
        return S_FALSE;
    }
    position_ += count;
    return S_OK;
}

HRESULT DeviceMonikerEnum::Reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    position_ = 0;
    return S_OK;
}

} // namespace vorq::platform::ks

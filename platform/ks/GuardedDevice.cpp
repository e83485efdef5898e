#include "ks/GuardedDevice.h"

#include <cerrno>

namespace vorq::platform::ks {

GuardedDevice::GuardedDevice(std::unique_ptr<UvcDevice> device) : device_(std::move(device)) {}

bool GuardedDevice::vanished() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return vanished_;
}

template <typename Call>
int GuardedDevice::guarded(Call call)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (vanished_) return ENODEV;
    const int err = call();
    if (err == ENODEV) vanished_ = true;
    return err;
}

int GuardedDevice::xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    return guarded([&] { return device_->xuQuery(unit, selector, query, data, size); });
}

int GuardedDevice::queryControl(uint32_t cid, ControlRange& range)
{
    return guarded([&] { return device_->queryControl(cid, range); });
}

int GuardedDevice::getControl(uint32_t cid, int32_t& value)
{
    return guarded([&] { return device_->getControl(cid, value); });
}

int GuardedDevice::setControl(uint32_t cid, int32_t value)
{
    return guarded([&] { return device_->setControl(cid, value); });
}

int GuardedDevice::queryMenu(uint32_t cid, uint32_t index)
{
    return guarded([&] { return device_->queryMenu(cid, index); });
}

} // namespace vorq::platform::ks

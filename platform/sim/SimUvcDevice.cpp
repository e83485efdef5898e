#include "sim/SimUvcDevice.h"

#include <cstring>

#include "platform/CaptureModes.h"
#include "simcam/Camera.h"

namespace vorq::platform {

SimUvcDevice::SimUvcDevice(std::unique_ptr<simcam::Camera> camera) : camera_(std::move(camera))
{
    const simcam::Identity& id = camera_->identity();
    identity_.card = id.card;
    identity_.usb = true;
    identity_.vendorId = id.vendorId;
    identity_.productId = id.productId;
    identity_.serial = id.serial;
    identity_.busPath = id.busPath;
    identity_.interfaceNumber = 0;
    identity_.videoNode = "sim-" + camera_->name();
    identity_.simulated = true;
    identity_.videoGraph = id.videoGraph;
    identity_.microphone = id.microphone;
    identity_.audioGraph = id.audioGraph;
    identity_.busy = id.busy;
    for (const simcam::ExtensionUnit& u : camera_->extensionUnits()) {
        ExtensionUnit unit;
        unit.unitId = u.unitId;
        unit.guid.Data1 = u.guid.data1;
        unit.guid.Data2 = u.guid.data2;
        unit.guid.Data3 = u.guid.data3;
        std::memcpy(unit.guid.Data4, u.guid.data4, sizeof unit.guid.Data4);
        units_.push_back(unit);
    }
}

SimUvcDevice::~SimUvcDevice() = default;

int SimUvcDevice::captureModes(std::vector<CaptureMode>& modes)
{
    modes = CaptureModes::simulatedModes();
    return 0;
}

int SimUvcDevice::xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    return camera_->xuQuery(unit, selector, query, data, size);
}

int SimUvcDevice::queryControl(uint32_t cid, ControlRange& range)
{
    simcam::ControlRange r;
    int err = camera_->queryControl(cid, r);
    if (err == 0) range = ControlRange{r.minimum, r.maximum, r.step, r.defaultValue, r.flags};
    return err;
}

int SimUvcDevice::getControl(uint32_t cid, int32_t& value) { return camera_->getControl(cid, value); }

int SimUvcDevice::setControl(uint32_t cid, int32_t value) { return camera_->setControl(cid, value); }

std::unique_ptr<UvcDevice> SimUvcDevice::reopen() const
{
    auto camera = camera_->reopen();
    return camera ? std::make_unique<SimUvcDevice>(std::move(camera)) : nullptr;
}

} // namespace vorq::platform

#include "sim/SimCamera.h"

#include "platform/CaptureModes.h"

#include "sim/SimCameraModel.h"
#include "sim/SimStateLock.h"
#include "sim/SimStateStore.h"
#include "sim/SimTrace.h"
#include "sim/SimUnitContext.h"

namespace vorq::platform::sim {

std::unique_ptr<SimCamera> SimCamera::open(std::shared_ptr<SimStateStore> store, int index)
{
    if (!store) return nullptr;
    UvcIdentity identity;
    {
        SimStateLock lock(*store);
        const SimCameraModel& model = SimCameraModel::instance();
        if (model.admit(lock, index, false) != 0) return nullptr;
        identity = model.identity(*lock.camera(index), lock.config().camera(index), index);
    }
    return std::unique_ptr<SimCamera>(new SimCamera(std::move(store), index, std::move(identity)));
}

SimCamera::SimCamera(std::shared_ptr<SimStateStore> store, int index, UvcIdentity identity)
    : store_(std::move(store)),
      index_(index),
      identity_(std::move(identity)),
      traceName_("cam" + std::to_string(index)),
      trace_(SimTrace::fromEnvironment())
{
}

const std::vector<ExtensionUnit>& SimCamera::extensionUnits() const
{
    return SimCameraModel::instance().extensionUnits();
}

int SimCamera::captureModes(std::vector<CaptureMode>& modes)
{
    modes = CaptureModes::simulatedModes();
    return 0;
}

int SimCamera::xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    int err;
    {
        SimStateLock lock(*store_);
        const SimCameraModel& model = SimCameraModel::instance();
        err = model.admit(lock, index_, true);
        if (err == 0) {
            SimUnitContext context(lock, index_);
            err = model.xuQuery(context, unit, selector, query, data, size);
        }
    }
    if (trace_) trace_->xuQuery(traceName_, unit, selector, query, data, size, err);
    return err;
}

int SimCamera::queryControl(uint32_t cid, ControlRange& range)
{
    ControlRange answer;
    int err;
    {
        SimStateLock lock(*store_);
        const SimCameraModel& model = SimCameraModel::instance();
        err = model.admit(lock, index_, true);
        if (err == 0) err = model.controls().query(*lock.camera(index_), cid, answer);
    }
    if (err == 0) range = answer;
    if (trace_) trace_->control(traceName_, "queryctrl", cid, nullptr, err == 0 ? &answer : nullptr, err);
    return err;
}

int SimCamera::getControl(uint32_t cid, int32_t& value)
{
    int32_t answer = 0;
    int err;
    {
        SimStateLock lock(*store_);
        const SimCameraModel& model = SimCameraModel::instance();
        err = model.admit(lock, index_, true);
        if (err == 0) err = model.controls().get(*lock.camera(index_), cid, answer);
    }
    if (err == 0) value = answer;
    if (trace_) trace_->control(traceName_, "g_ctrl", cid, err == 0 ? &answer : nullptr, nullptr, err);
    return err;
}

int SimCamera::setControl(uint32_t cid, int32_t value)
{
    int err;
    {
        SimStateLock lock(*store_);
        const SimCameraModel& model = SimCameraModel::instance();
        err = model.admit(lock, index_, true);
        if (err == 0) err = model.controls().set(*lock.camera(index_), cid, value);
    }
    if (trace_) trace_->control(traceName_, "s_ctrl", cid, &value, nullptr, err);
    return err;
}

std::unique_ptr<UvcDevice> SimCamera::reopen() const { return open(store_, index_); }

} // namespace vorq::platform::sim

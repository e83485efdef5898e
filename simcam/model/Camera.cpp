#include "simcam/Camera.h"

#include "model/SimCameraModel.h"
#include "state/SimStateLock.h"
#include "simcam/SimStateStore.h"
#include "trace/SimTrace.h"
#include "units/SimUnitContext.h"

namespace vorq::simcam {

std::unique_ptr<Camera> Camera::open(std::shared_ptr<SimStateStore> store, int index)
{
    if (!store) return nullptr;
    Identity identity;
    {
        SimStateLock lock(*store);
        const SimCameraModel& model = SimCameraModel::instance();
        if (model.admit(lock, index, false) != 0) return nullptr;
        identity = model.identity(*lock.camera(index), lock.config().camera(index), index);
    }
    return std::unique_ptr<Camera>(new Camera(std::move(store), index, std::move(identity)));
}

Camera::Camera(std::shared_ptr<SimStateStore> store, int index, Identity identity)
    : store_(std::move(store)),
      index_(index),
      identity_(std::move(identity)),
      name_("cam" + std::to_string(index)),
      trace_(SimTrace::fromEnvironment())
{
}

Camera::~Camera() = default;

int Camera::cameraCount(SimStateStore& store)
{
    SimStateLock lock(store);
    return lock.status() ? 0 : lock.config().cameras();
}

const std::vector<ExtensionUnit>& Camera::extensionUnits() const
{
    return SimCameraModel::instance().extensionUnits();
}

int Camera::xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
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
    if (trace_) trace_->xuQuery(name_, unit, selector, query, data, size, err);
    return err;
}

int Camera::queryControl(uint32_t cid, ControlRange& range)
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
    if (trace_) trace_->control(name_, "queryctrl", cid, nullptr, err == 0 ? &answer : nullptr, err);
    return err;
}

int Camera::getControl(uint32_t cid, int32_t& value)
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
    if (trace_) trace_->control(name_, "g_ctrl", cid, err == 0 ? &answer : nullptr, nullptr, err);
    return err;
}

int Camera::setControl(uint32_t cid, int32_t value)
{
    int err;
    {
        SimStateLock lock(*store_);
        const SimCameraModel& model = SimCameraModel::instance();
        err = model.admit(lock, index_, true);
        if (err == 0) err = model.controls().set(*lock.camera(index_), cid, value);
    }
    if (trace_) trace_->control(name_, "s_ctrl", cid, &value, nullptr, err);
    return err;
}


} // namespace vorq::simcam

#include "sim/SimUnitContext.h"

#include "sim/SimCameraModel.h"
#include "sim/SimStateLock.h"

namespace vorq::platform::sim {

SimUnitContext::SimUnitContext(SimStateLock& lock, int cameraIndex)
    : store_(lock.store()), record_(*lock.camera(cameraIndex)), config_(lock.config()), cameraIndex_(cameraIndex)
{
}

void SimUnitContext::scheduleReboot() { SimCameraModel::scheduleReboot(record_, config().rebootMs); }

void SimUnitContext::factoryReset() { SimCameraModel::instance().factoryReset(record_); }

} // namespace vorq::platform::sim

#include "units/SimUnitContext.h"

#include "model/SimCameraModel.h"
#include "state/SimStateLock.h"

namespace vorq::simcam {

SimUnitContext::SimUnitContext(SimStateLock& lock, int cameraIndex)
    : store_(lock.store()), record_(*lock.camera(cameraIndex)), config_(lock.config()), cameraIndex_(cameraIndex)
{
}

void SimUnitContext::scheduleReboot() { SimCameraModel::scheduleReboot(record_, config().rebootMs); }

void SimUnitContext::factoryReset() { SimCameraModel::instance().factoryReset(record_); }

} // namespace vorq::simcam

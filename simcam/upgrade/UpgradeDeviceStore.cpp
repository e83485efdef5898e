#include "upgrade/UpgradeDeviceStore.h"

namespace vorq::simcam {

UpgradeDeviceStore::~UpgradeDeviceStore() = default;

} // namespace vorq::simcam

#include "sim/UpgradeDeviceStore.h"

namespace vorq::platform::sim {

UpgradeDeviceStore::~UpgradeDeviceStore() = default;

} // namespace vorq::platform::sim

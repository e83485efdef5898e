#include "units/SimUpgradeUnit.h"

#include "units/SimUnitContext.h"
#include "upgrade/UpgradeDeviceProtocol.h"
#include "upgrade/UpgradeDeviceSimStore.h"

namespace vorq::simcam {

// Each request runs the camera side of the upgrade protocol over this
// camera's record; the protocol keeps its state in the reserved area.

int SimUpgradeUnit::controlLength(uint8_t selector, const SimUnitContext& context) const
{
    return UpgradeDeviceProtocol::controlLength(selector, static_cast<uint32_t>(context.config().packageSize));
}

int SimUpgradeUnit::getCurrent(uint8_t selector, SimUnitContext& context, uint8_t* data, uint16_t size) const
{
    UpgradeDeviceSimStore store(context);
    UpgradeDeviceProtocol protocol(store);
    return protocol.read(selector, data, size);
}

int SimUpgradeUnit::setCurrent(uint8_t selector, SimUnitContext& context, const uint8_t* data, uint16_t size) const
{
    UpgradeDeviceSimStore store(context);
    UpgradeDeviceProtocol protocol(store);
    return protocol.write(selector, data, size);
}

void SimUpgradeUnit::rebootCompleted(SimUnitContext& context) const
{
    UpgradeDeviceSimStore store(context);
    UpgradeDeviceProtocol protocol(store);
    protocol.rebootCompleted();
}

} // namespace vorq::simcam

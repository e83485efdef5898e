#include "units/SimZoomUnit.h"

#include <cerrno>
#include <cstring>

#include "units/SimUnitContext.h"

namespace vorq::simcam {

int SimZoomUnit::controlLength(uint8_t selector, const SimUnitContext&) const
{
    return selector == kZoomMove ? kZoomMoveLength : -1;
}

int SimZoomUnit::getCurrent(uint8_t, SimUnitContext&, uint8_t*, uint16_t) const { return EPIPE; }

int SimZoomUnit::setCurrent(uint8_t, SimUnitContext& context, const uint8_t* data, uint16_t) const
{
    // Only the three directions exist; anything else stalls the control.
    if (data[0] != 0x00 && data[0] != 0x01 && data[0] != 0xFF) return EPIPE;
    std::memcpy(context.camera().zoomMotion, data, kZoomMoveLength);
    return 0;
}

void SimZoomUnit::factoryReset(SimCameraRecord& record) const
{
    std::memset(record.zoomMotion, 0, sizeof record.zoomMotion);
}

} // namespace vorq::simcam

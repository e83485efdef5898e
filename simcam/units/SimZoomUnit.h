#pragma once

#include "units/SimUnit.h"

namespace vorq::simcam {

// The zoom motion unit (id 5): one write-only control that starts and stops
// a continuous zoom.
class SimZoomUnit final : public SimUnit {
public:
    static constexpr uint8_t kUnitId = 5;
    static constexpr Guid kGuid = {0x9D33BBE7, 0xE619, 0x435C, {0x8F, 0xAC, 0x52, 0x8E, 0xEC, 0xCC, 0xBC, 0xA4}};
    // direction (0x01 in, 0xFF out, 0x00 stop), 0, speed
    static constexpr uint8_t kZoomMove = 12;
    static constexpr uint16_t kZoomMoveLength = 3;

    uint8_t unitId() const override { return kUnitId; }
    Guid guid() const override { return kGuid; }
    int controlLength(uint8_t selector, const SimUnitContext& context) const override;
    int getCurrent(uint8_t selector, SimUnitContext& context, uint8_t* data, uint16_t size) const override;
    int setCurrent(uint8_t selector, SimUnitContext& context, const uint8_t* data, uint16_t size) const override;
    void factoryReset(SimCameraRecord& record) const override;
};

} // namespace vorq::simcam

#pragma once

#include "units/SimUnit.h"

namespace vorq::simcam {

// The picture and audio settings unit (id 4): one-byte controls plus the
// 24-byte device information text.
class SimSettingsUnit final : public SimUnit {
public:
    static constexpr uint8_t kUnitId = 4;
    static constexpr Guid kGuid = {0xA7A6A934, 0x3A4A, 0x4351, {0x85, 0xF4, 0x04, 0x2E, 0xF2, 0xCD, 0xCA, 0xAB}};

    enum Selector : uint8_t {
        DeviceInfo = 9,     // read-only, "TX42:<firmware>:<serial>" NUL-padded
        AeMode = 10,        // 1 automatic, 0 manual exposure
        Exposure = 11,      // signed byte
        ImageStyle = 13,    // 5 Live, 6 Meeting
        BlueShift = 14,     // signed byte
        RedShift = 15,      // signed byte
        FactoryReset = 23,  // write-only: 1 restores every setting
        FlipV = 24,
        FlipH = 25,
        AudioEnable = 26,   // a change takes a reboot to apply
        AudioAlgo = 27,
    };
    static constexpr uint16_t kDeviceInfoLength = 24;

    uint8_t unitId() const override { return kUnitId; }
    Guid guid() const override { return kGuid; }
    int controlLength(uint8_t selector, const SimUnitContext& context) const override;
    int getCurrent(uint8_t selector, SimUnitContext& context, uint8_t* data, uint16_t size) const override;
    int setCurrent(uint8_t selector, SimUnitContext& context, const uint8_t* data, uint16_t size) const override;
    int getAttribute(uint8_t query, uint8_t selector, SimUnitContext& context, uint8_t* data,
                     uint16_t size) const override;
    void initialise(SimCameraRecord& record) const override;
    void factoryReset(SimCameraRecord& record) const override;
};

} // namespace vorq::simcam

#pragma once

#include <memory>
#include <vector>

#include "simcam/Uvc.h"
#include "simcam/SimConfig.h"
#include "model/SimControlTable.h"
#include "simcam/SimStateLayout.h"
#include "units/SimUnit.h"

namespace vorq::simcam {

class SimStateLock;
class SimUnitContext;

// What the simulated camera is: its identity, its units and controls, and
// the rules of its life (reboot, unplugging). Stateless and shared: the
// state is the camera record the caller holds locked.
class SimCameraModel {
public:
    static constexpr uint8_t kCameraTerminalId = 1;
    static constexpr uint8_t kProcessingUnitId = 2;
    static constexpr uint8_t kOutputTerminalId = 3;

    static const SimCameraModel& instance();

    const std::vector<ExtensionUnit>& extensionUnits() const { return extensionUnits_; }
    const SimControlTable& controls() const { return controls_; }
    const SimUnit* unit(uint8_t unitId) const;

    // The identity of the camera in slot `index`, as the walk shows it now.
    Identity identity(const SimCameraRecord& record, const SimCameraConfig& config, int index) const;

    // A fresh camera in slot `index` (record zeroed first).
    void initialiseRecord(SimCameraRecord& record, int index) const;
    // Puts back fields a damaged state file may hold; true when it did.
    bool repairRecord(SimCameraRecord& record, int index) const;
    // Settings, zoom motion and V4L2 controls back to their defaults.
    void factoryReset(SimCameraRecord& record) const;
    static void scheduleReboot(SimCameraRecord& record, int rebootMs);

    // 0 when the camera in slot `index` is on the bus, else ENODEV. Finishes
    // a reboot whose time is up and runs the unplug_after countdown; a
    // transfer (countTransfer) is counted when it is let through.
    int admit(SimStateLock& lock, int index, bool countTransfer) const;

    // One extension-unit request: checks unit, selector and size, answers
    // GET_LEN and GET_INFO, hands the rest to the unit.
    int xuQuery(SimUnitContext& context, uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data,
                uint16_t size) const;

private:
    SimCameraModel();

    std::vector<std::unique_ptr<SimUnit>> units_;
    std::vector<ExtensionUnit> extensionUnits_;
    SimControlTable controls_;
};

} // namespace vorq::simcam

#pragma once

#include <cstddef>
#include <cstdint>

#include "simcam/Uvc.h"
#include "simcam/SimStateLayout.h"

namespace vorq::simcam {

// The camera-terminal and processing-unit controls of the simulated camera,
// as V4L2 presents them: ranges, defaults, menus and the auto controls that
// make their manual partners inactive. Values live in the camera record,
// indexed by position in the table.
class SimControlTable {
public:
    enum class Kind { Integer, Boolean, Menu };
    struct Control {
        uint32_t cid;
        Kind kind;
        int32_t minimum, maximum, step, defaultValue;
        uint32_t menuMask;       // Menu: bit n set when item n exists
        uint32_t autoCid;        // 0, or the control that governs this one
        int32_t manualValue;     // the governor's value in which this one is active
    };

    size_t size() const;
    const Control* find(uint32_t cid, size_t* index = nullptr) const;

    void initialise(SimCameraRecord& record) const;

    // Results as VIDIOC_QUERYCTRL, VIDIOC_G_CTRL and VIDIOC_S_CTRL give them:
    // EINVAL for an unknown id; integers are clamped and rounded to the step,
    // booleans clamped, menus checked (ERANGE outside, EINVAL for a gap).
    int query(const SimCameraRecord& record, uint32_t cid, ControlRange& range) const;
    int get(const SimCameraRecord& record, uint32_t cid, int32_t& value) const;
    int set(SimCameraRecord& record, uint32_t cid, int32_t value) const;

private:
    bool valid(const Control& control, int32_t value) const;
};

} // namespace vorq::simcam

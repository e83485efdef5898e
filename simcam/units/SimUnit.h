#pragma once

#include <cstdint>
#include <type_traits>

#include "simcam/Uvc.h"
#include "simcam/SimStateLayout.h"

namespace vorq::simcam {

class SimUnitContext;

// One extension unit of the simulated camera. Units keep no state of their
// own: everything lives in the camera's record, which the context hands them
// locked. The camera model checks the unit id, the selector and the buffer
// size before a unit sees a request, so getCurrent/setCurrent always get
// exactly controlLength() bytes. Results are 0 or an errno; EPIPE is what a
// stalled control answers.
class SimUnit {
public:
    virtual ~SimUnit();

    virtual uint8_t unitId() const = 0;
    virtual Guid guid() const = 0;

    // Byte length of the selector's control, or -1 when there is none.
    virtual int controlLength(uint8_t selector, const SimUnitContext& context) const = 0;
    // GET_INFO: bit 0 GET supported, bit 1 SET supported.
    virtual uint8_t info(uint8_t selector) const;

    // Fill `data` only on success: a failed read leaves the caller's buffer
    // as it was, as the kernel does.
    virtual int getCurrent(uint8_t selector, SimUnitContext& context, uint8_t* data, uint16_t size) const = 0;
    virtual int setCurrent(uint8_t selector, SimUnitContext& context, const uint8_t* data, uint16_t size) const = 0;
    // GET_MIN, GET_MAX, GET_RES and GET_DEF; EPIPE unless a unit has them.
    virtual int getAttribute(uint8_t query, uint8_t selector, SimUnitContext& context, uint8_t* data,
                             uint16_t size) const;

    // A camera record starts zeroed; a unit sets its defaults here.
    virtual void initialise(SimCameraRecord& record) const;
    // Restores what a factory reset restores.
    virtual void factoryReset(SimCameraRecord& record) const;
    // Puts values a damaged state file may hold back to defaults; true when
    // something changed.
    virtual bool repair(SimCameraRecord& record) const;
    // The camera is back from a reboot.
    virtual void rebootCompleted(SimUnitContext& context) const;
};

// The unit's own view of the camera record's reserved area.
template <typename T>
T& unitReservedState(SimCameraRecord& record)
{
    static_assert(std::is_trivially_copyable_v<T>, "the reserved area holds plain data");
    static_assert(sizeof(T) <= kSimUnitReservedBytes, "the unit state must fit the reserved area");
    static_assert(alignof(T) <= 8, "the reserved area is 8-byte aligned");
    return *reinterpret_cast<T*>(record.unitReserved);
}

} // namespace vorq::simcam

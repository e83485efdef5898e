#pragma once

#include "UVCXU.h"

namespace fwflash {

// Holds the camera's upgrade-unit accessor for the engine.
class UvcControl {
public:
    UvcControl() = default;
    UvcControl(const UvcControl&) = delete;
    UvcControl& operator=(const UvcControl&) = delete;
    virtual ~UvcControl();

    UVCXU& xu() { return xu_; }
    const UVCXU& xu() const { return xu_; }

private:
    UVCXU xu_;
};

} // namespace fwflash

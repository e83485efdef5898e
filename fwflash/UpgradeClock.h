#pragma once

#include <cstdint>

namespace fwflash {

// Every fixed wait of the upgrade protocol goes through this clock, so tests
// can run the flows without waiting for real.
class UpgradeClock {
public:
    virtual ~UpgradeClock() = default;
    // Monotonic milliseconds; used to bound how long a busy camera is polled.
    virtual uint64_t nowMs() = 0;
    virtual void sleepMs(uint32_t ms) = 0;

    // The clock in use: the real one unless a test installed another.
    static UpgradeClock& current();
    // nullptr restores the real clock. The clock must outlive its use.
    static void install(UpgradeClock* clock);
};

} // namespace fwflash

#include "UpgradeClock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace fwflash {

namespace {

class SteadyClock final : public UpgradeClock {
public:
    uint64_t nowMs() override
    {
        using namespace std::chrono;
        return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    // The protocol's pauses are part of the camera's contract (it needs the
    // time to finish writing), not a synchronisation device.
    void sleepMs(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

SteadyClock steadyClock;
std::atomic<UpgradeClock*> installed{nullptr};

} // namespace

UpgradeClock& UpgradeClock::current()
{
    UpgradeClock* clock = installed.load();
    return clock ? *clock : steadyClock;
}

void UpgradeClock::install(UpgradeClock* clock) { installed.store(clock); }

} // namespace fwflash

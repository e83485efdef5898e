#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Export.h"

namespace vorq::platform {

// The live peak level of one microphone, as the sound server's peak
// detection reports it a few times a second. Runs on a thread of its own
// while the object lives; nothing is captured beyond the peaks.
class VORQ_PLATFORM_API PeakMeter {
public:
    // Called on the meter's thread with the latest peak, 0.0 to 1.0.
    using Callback = std::function<void(float peak)>;
    // Called on the meter's thread, at most once, when the meter cannot run.
    using ErrorCallback = std::function<void(const std::string& why)>;

    // Watches the source whose description is `description`, or the server's
    // default source when none is so called, `rate` peaks a second. Returns at
    // once: connecting happens on the meter's thread, each step bounded by
    // timeoutMs. Null only for bad arguments.
    static std::unique_ptr<PeakMeter> start(const std::string& description, int rate, int timeoutMs,
                                            Callback callback, ErrorCallback failed = {});
    // The callbacks are not called once this returns; it waits at most for
    // the connection step under way.
    ~PeakMeter();

    PeakMeter(const PeakMeter&) = delete;
    PeakMeter& operator=(const PeakMeter&) = delete;

    // The source being watched; empty until the stream runs.
    std::string sourceName() const;

private:
    struct State;
    explicit PeakMeter(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace vorq::platform

#pragma once

#include <functional>
#include <memory>
#include <string>

#include <pulse/pulseaudio.h>

namespace vorq::platform {

// One synchronous connection to the PulseAudio server (PULSE_SERVER or the
// session default). Every wait is bounded, so a hung server never hangs us.
class PulseConnection {
public:
    // Null when no server answers within timeoutMs; *error says why.
    static std::unique_ptr<PulseConnection> connect(int timeoutMs, std::string* error);
    ~PulseConnection();

    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    pa_context* context() const { return context_; }
    // Runs the loop until the operation is done; takes ownership of op.
    bool wait(pa_operation* op, int timeoutMs);
    // Runs the loop until done() holds; false on timeout or a loop failure.
    bool iterateUntil(const std::function<bool()>& done, int timeoutMs);
    pa_mainloop* loop() const { return loop_; }

private:
    PulseConnection() = default;

    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

} // namespace vorq::platform

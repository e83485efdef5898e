#include "pulse/PulseConnection.h"

#include <chrono>

namespace vorq::platform {

std::unique_ptr<PulseConnection> PulseConnection::connect(int timeoutMs, std::string* error)
{
    std::unique_ptr<PulseConnection> c(new PulseConnection);
    c->loop_ = pa_mainloop_new();
    if (!c->loop_) {
        if (error) *error = "cannot create a PulseAudio main loop";
        return nullptr;
    }
    c->context_ = pa_context_new(pa_mainloop_get_api(c->loop_), "TELDORA Vision Desk");
    if (!c->context_) {
        if (error) *error = "cannot create a PulseAudio context";
        return nullptr;
    }
    if (pa_context_connect(c->context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        if (error) *error = pa_strerror(pa_context_errno(c->context_));
        return nullptr;
    }
    pa_context* ctx = c->context_;
    bool ready = c->iterateUntil(
        [ctx] {
            pa_context_state_t s = pa_context_get_state(ctx);
            return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
        },
        timeoutMs);
    if (!ready || pa_context_get_state(ctx) != PA_CONTEXT_READY) {
        if (error) *error = ready ? pa_strerror(pa_context_errno(ctx)) : "no PulseAudio server answered in time";
        return nullptr;
    }
    return c;
}

PulseConnection::~PulseConnection()
{
    if (context_) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (loop_) pa_mainloop_free(loop_);
}

bool PulseConnection::iterateUntil(const std::function<bool()>& done, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        if (pa_mainloop_prepare(loop_, static_cast<int>(left)) < 0) return false;
        if (pa_mainloop_poll(loop_) < 0) return false;
        if (pa_mainloop_dispatch(loop_) < 0) return false;
    }
    return true;
}

bool PulseConnection::wait(pa_operation* op, int timeoutMs)
{
    if (!op) return false;
    bool ok = iterateUntil([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, timeoutMs);
    if (!ok) pa_operation_cancel(op);
    bool done = ok && pa_operation_get_state(op) == PA_OPERATION_DONE;
    pa_operation_unref(op);
    return done;
}

} // namespace vorq::platform

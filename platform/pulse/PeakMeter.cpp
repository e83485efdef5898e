#include "platform/PeakMeter.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "pulse/PulseConnection.h"

namespace vorq::platform {

struct PeakMeter::State {
    std::string description;
    int rate = 0;
    int timeoutMs = 0;
    Callback callback;
    ErrorCallback failed;

    std::mutex mutex; // guards connection (for the wake-up) and source
    std::unique_ptr<PulseConnection> connection;
    std::string source;
    std::atomic<bool> stop{false};
    std::thread thread;

    ~State()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
            if (connection) pa_mainloop_wakeup(connection->loop());
        }
        if (thread.joinable()) thread.join();
    }

    static void onRead(pa_stream* s, size_t, void* userdata)
    {
        auto* state = static_cast<State*>(userdata);
        const void* data = nullptr;
        size_t length = 0;
        while (pa_stream_readable_size(s) > 0) {
            if (pa_stream_peek(s, &data, &length) < 0 || length == 0) return;
            // A hole (data null) carries no peak; the last whole sample of a
            // fragment is the newest.
            if (data && length >= sizeof(float)) {
                float peak = 0;
                std::memcpy(&peak, static_cast<const char*>(data) + (length / sizeof(float) - 1) * sizeof(float),
                            sizeof peak);
                state->callback(std::clamp(peak, 0.0f, 1.0f));
            }
            pa_stream_drop(s);
        }
    }

    // Connects, finds the source, opens the peak stream and serves it until
    // stopped; every step before the loop is bounded by timeoutMs.
    void run()
    {
        std::string error;
        auto conn = PulseConnection::connect(timeoutMs, &error);
        if (!conn) return fail(error);
        PulseConnection* c = conn.get();
        {
            std::lock_guard<std::mutex> lock(mutex);
            connection = std::move(conn);
        }
        if (stop) return;
        pa_context* context = c->context();

        struct Lookup {
            const std::string* description;
            std::string found;
        } lookup{&description, {}};
        pa_operation* op = pa_context_get_source_info_list(
            context,
            [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
                auto* l = static_cast<Lookup*>(userdata);
                if (eol || !info || !l->found.empty()) return;
                if (info->monitor_of_sink == PA_INVALID_INDEX && info->description &&
                    *l->description == info->description)
                    l->found = info->name;
            },
            &lookup);
        if (!c->wait(op, timeoutMs)) return fail("the sound server did not list its sources");

        const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(rate), 1};
        pa_stream* stream = pa_stream_new(context, "Microphone level", &format, nullptr);
        if (!stream) return fail(pa_strerror(pa_context_errno(context)));
        pa_stream_set_read_callback(stream, &State::onRead, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.fragsize = sizeof(float);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_PEAK_DETECT | PA_STREAM_ADJUST_LATENCY |
                                                          PA_STREAM_DONT_MOVE);
        // Empty: the server's default source.
        if (pa_stream_connect_record(stream, lookup.found.empty() ? nullptr : lookup.found.c_str(), &attr, flags) <
            0) {
            pa_stream_unref(stream);
            return fail(pa_strerror(pa_context_errno(context)));
        }
        const bool ready = c->iterateUntil(
            [stream, this] {
                const pa_stream_state_t s = pa_stream_get_state(stream);
                return stop || s == PA_STREAM_READY || s == PA_STREAM_FAILED || s == PA_STREAM_TERMINATED;
            },
            timeoutMs);
        if (!stop && (!ready || pa_stream_get_state(stream) != PA_STREAM_READY)) {
            fail("the sound server did not open the level stream");
        } else if (!stop) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                const char* name = pa_stream_get_device_name(stream);
                source = name ? name : "";
            }
            while (!stop)
                if (pa_mainloop_iterate(c->loop(), 1, nullptr) < 0) break;
        }
        pa_stream_set_read_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }

    void fail(const std::string& why)
    {
        if (failed && !stop) failed(why);
    }
};

PeakMeter::PeakMeter(std::unique_ptr<State> state) : state_(std::move(state)) {}

PeakMeter::~PeakMeter() = default;

std::string PeakMeter::sourceName() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->source;
}

std::unique_ptr<PeakMeter> PeakMeter::start(const std::string& description, int rate, int timeoutMs,
                                            Callback callback, ErrorCallback failed)
{
    if (!callback || rate < 1 || rate > 100 || timeoutMs <= 0) return nullptr;
    auto state = std::make_unique<State>();
    state->description = description;
    state->rate = rate;
    state->timeoutMs = timeoutMs;
    state->callback = std::move(callback);
    state->failed = std::move(failed);
    State* raw = state.get();
    state->thread = std::thread([raw] { raw->run(); });
    return std::unique_ptr<PeakMeter>(new PeakMeter(std::move(state)));
}

} // namespace vorq::platform

#include "platform/TestTone.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "pulse/PulseConnection.h"

namespace vorq::platform {

namespace {

constexpr uint32_t kRate = 44100;
constexpr double kFrequency = 440.0;
constexpr double kAmplitude = 0.3 * 32767;

// A sine with short fades, so it starts and ends without a click.
std::vector<int16_t> toneSamples(int ms)
{
    const size_t count = static_cast<size_t>(kRate) * static_cast<size_t>(ms) / 1000;
    const size_t fade = std::min<size_t>(count / 2, kRate / 100);
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) {
        double gain = 1.0;
        if (i < fade) gain = double(i) / double(fade);
        if (count - i <= fade) gain = double(count - i - 1) / double(fade);
        samples[i] = static_cast<int16_t>(std::lround(kAmplitude * gain * std::sin(2 * M_PI * kFrequency * double(i) / kRate)));
    }
    return samples;
}

} // namespace

bool TestTone::play(const std::string& description, int ms, int timeoutMs, std::string* error)
{
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (ms <= 0 || ms > 10000 || timeoutMs <= 0) return fail("bad arguments");
    auto connection = PulseConnection::connect(timeoutMs, error);
    if (!connection) return false;
    pa_context* context = connection->context();

    struct Lookup {
        const std::string* description;
        std::string found;
    } lookup{&description, {}};
    pa_operation* op = pa_context_get_sink_info_list(
        context,
        [](pa_context*, const pa_sink_info* info, int eol, void* userdata) {
            auto* l = static_cast<Lookup*>(userdata);
            if (!eol && info && l->found.empty() && info->description && *l->description == info->description)
                l->found = info->name;
        },
        &lookup);
    if (!connection->wait(op, timeoutMs)) return fail("the sound server did not list its speakers");

    const pa_sample_spec format{PA_SAMPLE_S16NE, kRate, 1};
    pa_stream* stream = pa_stream_new(context, "Test tone", &format, nullptr);
    if (!stream) return fail(pa_strerror(pa_context_errno(context)));
    bool played = false;
    // A short buffer: the default one would hold the tone back by a second.
    pa_buffer_attr attr{};
    attr.maxlength = attr.prebuf = attr.minreq = attr.fragsize = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(100 * 1000, &format));
    if (pa_stream_connect_playback(stream, lookup.found.empty() ? nullptr : lookup.found.c_str(), &attr,
                                   PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0) {
        fail(pa_strerror(pa_context_errno(context)));
    } else if (!connection->iterateUntil(
                   [stream] {
                       const pa_stream_state_t s = pa_stream_get_state(stream);
                       return s == PA_STREAM_READY || s == PA_STREAM_FAILED || s == PA_STREAM_TERMINATED;
                   },
                   timeoutMs) ||
               pa_stream_get_state(stream) != PA_STREAM_READY) {
        fail("the sound server did not open the tone's stream");
    } else {
        const std::vector<int16_t> samples = toneSamples(ms);
        if (pa_stream_write(stream, samples.data(), samples.size() * sizeof(int16_t), nullptr, 0, PA_SEEK_RELATIVE) < 0)
            fail(pa_strerror(pa_context_errno(context)));
        else if (!connection->wait(pa_stream_drain(stream, nullptr, nullptr), ms + timeoutMs))
            fail("the tone did not finish playing");
        else
            played = true;
    }
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    return played;
}

} // namespace vorq::platform

#include "Vorq_FFmpegAudio.h"

#include <QMutexLocker>

#include <algorithm>
#include <climits>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
}

#include "MediaLog.h"
#include "WriteLock.h"

using namespace vorq::media;

namespace {

constexpr AVRational kMicroseconds{1, 1000000};

// The microphone's rate when the encoder takes it; otherwise the nearest
// rate above it that the encoder takes (the resampler bridges the two).
int encoderRate(const AVCodec* codec, int microphoneRate)
{
    if (!codec->supported_samplerates) return microphoneRate;
    int above = 0;
    int highest = 0;
    for (const int* r = codec->supported_samplerates; *r; ++r) {
        if (*r == microphoneRate) return microphoneRate;
        if (*r > microphoneRate && (above == 0 || *r < above)) above = *r;
        highest = std::max(highest, *r);
    }
    return above ? above : highest;
}

void inputLayout(const AVChannelLayout& given, int channels, AVChannelLayout& out)
{
    if (given.order != AV_CHANNEL_ORDER_UNSPEC && given.nb_channels == channels &&
        av_channel_layout_copy(&out, &given) == 0)
        return;
    av_channel_layout_default(&out, channels);
}

} // namespace

Vorq_FFmpegAudio::Vorq_FFmpegAudio(AVFormatContext* input, AVFormatContext* output, int audioIndex,
                                   AVCodecContext* decoder, const std::string& fileName)
    : QObject(nullptr), input(input), output(output), decoder(decoder), fileName(fileName), audioIndex(audioIndex)
{
    packet.reset(av_packet_alloc());
    bool ok = packet && InitAudioDecoder() && InitAudioEncoder();
    if (ok) {
        AVChannelLayout layout{};
        inputLayout(decoder->ch_layout, decoder->ch_layout.nb_channels, layout);
        ok = InitResampler(layout, decoder->sample_fmt, decoder->sample_rate);
        av_channel_layout_uninit(&layout);
    }
    ready = ok;
    if (ready) logInfo("Init audio ok\n");
}

Vorq_FFmpegAudio::~Vorq_FFmpegAudio()
{
    running = false;
    if (convertedSamples) av_freep(&convertedSamples[0]);
    av_freep(&convertedSamples);
    av_channel_layout_uninit(&resamplerLayout);
}

bool Vorq_FFmpegAudio::InitAudioDecoder()
{
    const AVCodec* codec = decoder ? avcodec_find_decoder(decoder->codec_id) : nullptr;
    logInfo("Audio codec: \n");
    if (!codec) {
        logError("Audio decoder not found\n");
        return false;
    }
    if (avcodec_is_open(decoder)) return true;
    if (avcodec_open2(decoder, codec, nullptr) < 0) {
        logError("Could not open audio decoder\n");
        return false;
    }
    return true;
}

bool Vorq_FFmpegAudio::InitAudioEncoder()
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) {
        logError("Can not find output audio encoder! (没有找到合适的编码器！)\n");
        return false;
    }
    const int channels = decoder->ch_layout.nb_channels;
    if (channels <= 0 || decoder->sample_rate <= 0) {
        logError("Microphone reports %d channels at %d Hz\n", channels, decoder->sample_rate);
        return false;
    }
    encoder.reset(avcodec_alloc_context3(codec));
    if (!encoder) return false;
    av_channel_layout_default(&encoder->ch_layout, channels);
    encoder->sample_rate = encoderRate(codec, decoder->sample_rate);
    encoder->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    encoder->bit_rate = 128000;
    encoder->time_base = AVRational{1, encoder->sample_rate};
    encoder->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    logInfo("Audio Code name: %s\n", codec->long_name);
    if (output->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    logInfo("channels: %d, sample_rate: %d, sample_fmt: %d, bit_rate: %d\n", channels, encoder->sample_rate,
            encoder->sample_fmt, static_cast<int>(encoder->bit_rate));

    outStream = avformat_new_stream(output, nullptr);
    if (!outStream) return false;
    outStream->time_base = AVRational{1, encoder->sample_rate};

    fifo.reset(av_audio_fifo_alloc(encoder->sample_fmt, channels, 1));
    if (!fifo) return false;

    if (avcodec_open2(encoder.get(), codec, nullptr) < 0) {
        logError("open audio codec failed\n");
        return false;
    }
    return avcodec_parameters_from_context(outStream->codecpar, encoder.get()) >= 0;
}

bool Vorq_FFmpegAudio::InitResampler(const AVChannelLayout& inLayout, AVSampleFormat inFormat, int inRate)
{
    logInfo("input sample_fmt: %d, sample_rate: %d\n", inFormat, inRate);
    logInfo("output sample_fmt: %d, sample_rate: %d\n", encoder->sample_fmt, encoder->sample_rate);
    resampler.reset();
    av_channel_layout_uninit(&resamplerLayout);
    SwrContext* swr = nullptr;
    if (swr_alloc_set_opts2(&swr, &encoder->ch_layout, encoder->sample_fmt, encoder->sample_rate,
                            const_cast<AVChannelLayout*>(&inLayout),
                            inFormat, inRate, 0, nullptr) < 0 ||
        !swr) {
        logError("av_audio_resample_init fail!!!\n");
        return false;
    }
    resampler.reset(swr);
    // Always through the resampling filter, even at equal rates, so the
    // time line can stretch or squeeze the sound against clock drift.
    av_opt_set_int(swr, "flags", SWR_FLAG_RESAMPLE, 0);
    if (swr_init(swr) < 0) {
        logError("swr_init error! \n");
        resampler.reset();
        return false;
    }
    av_channel_layout_copy(&resamplerLayout, &inLayout);
    resamplerFormat = inFormat;
    resamplerRate = inRate;
    return true;
}

void Vorq_FFmpegAudio::audioFrame(std::shared_ptr<AVFrame> _frame)
{
    if (!_frame) return;
    {
        std::lock_guard<std::mutex> lock(frameLock);
        pendingFrames.push_back(std::move(_frame));
    }
    frameReady.notify_one();
}

void Vorq_FFmpegAudio::start()
{
    running = true;
}

void Vorq_FFmpegAudio::stop()
{
    {
        std::lock_guard<std::mutex> lock(frameLock);
        running = false;
    }
    frameReady.notify_all();
}

void Vorq_FFmpegAudio::AudioEncodeLoop()
{
    logInfo("Start save audio...");
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(frameLock);
            frameReady.wait(lock, [this] { return !pendingFrames.empty() || !running; });
            if (pendingFrames.empty()) break; // stopped, and every queued frame is encoded
        }
        QMutexLocker writeLocker(&writeLock);
        std::shared_ptr<AVFrame> frame;
        {
            std::lock_guard<std::mutex> lock(frameLock);
            if (pendingFrames.empty()) continue;
            frame = std::move(pendingFrames.front());
            pendingFrames.pop_front();
        }
        logFrame("audio write...");
        if (ready) EncodeAudioFrame(*frame);
        logFrame("audio write ok ...");
    }
    if (!ready) return;
    QMutexLocker writeLocker(&writeLock);
    flush();
}

int Vorq_FFmpegAudio::EncodeAudioFrame(const AVFrame& frame)
{
    const int samples = frame.nb_samples;
    logFrame("nb_samples is: %d ", samples);
    if (samples <= 0) return 0;

    // A microphone that changes its format mid-stream gets a new converter.
    const AVSampleFormat format = static_cast<AVSampleFormat>(frame.format);
    const int rate = frame.sample_rate > 0 ? frame.sample_rate : resamplerRate;
    AVChannelLayout layout{};
    inputLayout(frame.ch_layout, frame.ch_layout.nb_channels, layout);
    bool usable = layout.nb_channels > 0;
    if (usable && (format != resamplerFormat || rate != resamplerRate ||
                   av_channel_layout_compare(&layout, &resamplerLayout) != 0))
        usable = InitResampler(layout, format, rate);
    av_channel_layout_uninit(&layout);
    if (!usable) return AVERROR(EINVAL);

    placeOnTimeline(frame, samples);

    // Room for what the resampler holds and for its drift correction.
    const int expected = swr_get_out_samples(resampler.get(), samples);
    if (expected < 0) return expected;
    const int capacity = expected + samples / 50 + 64;
    if (capacity > convertedCapacity) {
        if (convertedSamples) av_freep(&convertedSamples[0]);
        av_freep(&convertedSamples);
        convertedCapacity = 0;
        const int result = av_samples_alloc_array_and_samples(&convertedSamples, nullptr,
                                                              encoder->ch_layout.nb_channels, capacity,
                                                              encoder->sample_fmt, 0);
        if (result < 0) {
            logError("Could not allocate converted input samples\n");
            return result;
        }
        convertedCapacity = capacity;
    }
    const int converted = swr_convert(resampler.get(), convertedSamples, convertedCapacity,
                                      const_cast<const uint8_t**>(frame.extended_data), samples);
    if (converted < 0) {
        logError("Could not convert input samples\n");
        return converted;
    }
    if (av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(convertedSamples), converted) < converted) {
        logError("Couldn't write data to FIFO\n");
        return AVERROR_EXIT;
    }
    outputProduced += converted;
    if (timeline->holding()) return 0;

    dropBeforeStart();

    const int frameSize = encoder->frame_size > 0 ? encoder->frame_size : 1024;
    logFrame("output_frame_size: %d", frameSize);
    while (av_audio_fifo_size(fifo.get()) >= frameSize) {
        const int result = encodeFromFifo(frameSize);
        if (result < 0) return result;
    }
    return 0;
}

void Vorq_FFmpegAudio::dropBeforeStart()
{
    // Sound captured before the recording started is not part of it.
    const int64_t firstPts = (timeline ? timeline->startSample() : 0) + fifoStart;
    if (firstPts >= 0) return;
    const int drop = static_cast<int>(std::min<int64_t>(-firstPts, av_audio_fifo_size(fifo.get())));
    av_audio_fifo_drain(fifo.get(), drop);
    fifoStart += drop;
}

void Vorq_FFmpegAudio::placeOnTimeline(const AVFrame& frame, int samples)
{
    const int inRate = frame.sample_rate > 0 ? frame.sample_rate : resamplerRate;
    if (!timeline) timeline = std::make_unique<AudioTimeline>(inRate, encoder->sample_rate);
    const int64_t stamp = frame.pts != AV_NOPTS_VALUE ? frame.pts : av_gettime_relative();
    const int64_t held = swr_get_delay(resampler.get(), encoder->sample_rate);
    const AudioTimeline::Decision decision = timeline->onFrame(stamp - timeOrigin, samples, outputProduced + held);
    if (decision.gapSamples > 0) {
        logInfo("Microphone input lost %.1f ms; the sound goes on after a pause\n",
                decision.gapSamples * 1000.0 / encoder->sample_rate);
        if (insertSilence(decision.gapAt - fifoStart, decision.gapSamples)) outputProduced += decision.gapSamples;
    }
    // Drift is corrected inside the resampler, over the next second.
    if (swr_set_compensation(resampler.get(), decision.sampleDelta, decision.distance) < 0)
        logFrame("no drift correction possible");
    logFrame("audio offset %.1f ms, correction %d samples", timeline->offsetUs() / 1000, decision.sampleDelta);
}

bool Vorq_FFmpegAudio::insertSilence(int64_t at, int64_t samples)
{
    const int queued = av_audio_fifo_size(fifo.get());
    const int before = static_cast<int>(std::clamp<int64_t>(at, 0, queued));
    const int channels = encoder->ch_layout.nb_channels;
    uint8_t** held = nullptr;
    const int after = queued - before;
    if (av_samples_alloc_array_and_samples(&held, nullptr, channels, std::max(after, 1), encoder->sample_fmt, 0) <
        0)
        return false;
    bool ok = true;
    // The FIFO only appends: take what came after the gap out, and put it
    // back behind the silence.
    if (after > 0) {
        AudioFifoPtr rest(av_audio_fifo_alloc(encoder->sample_fmt, channels, queued));
        ok = rest && av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(held), before) == before;
        if (ok) ok = av_audio_fifo_write(rest.get(), reinterpret_cast<void**>(held), before) == before;
        if (ok) ok = av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(held), after) == after;
        if (ok) {
            fifo.swap(rest);
            ok = padWithSilence(static_cast<int>(samples)) &&
                 av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(held), after) == after;
        }
    } else {
        ok = padWithSilence(static_cast<int>(samples));
    }
    av_freep(&held[0]);
    av_freep(&held);
    return ok;
}

int Vorq_FFmpegAudio::encodeFromFifo(int samples)
{
    FramePtr out(av_frame_alloc());
    if (!out) return AVERROR(ENOMEM);
    out->nb_samples = samples;
    av_channel_layout_copy(&out->ch_layout, &encoder->ch_layout);
    out->format = encoder->sample_fmt;
    out->sample_rate = encoder->sample_rate;
    int result = av_frame_get_buffer(out.get(), 0);
    if (result < 0) {
        logError("Couldn't allocate output frame samples\n");
        return result;
    }
    if (av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(out->extended_data), samples) < samples) {
        logError("Couldn't read data from FIFO\n");
        return AVERROR_EXIT;
    }
    out->pts = timeline ? timeline->startSample() + fifoStart : fifoStart;
    fifoStart += samples;
    encodedSamples += samples;
    return sendAndWrite(out.get());
}

int Vorq_FFmpegAudio::sendAndWrite(AVFrame* frame)
{
    int result = avcodec_send_frame(encoder.get(), frame);
    if (result < 0) {
        logError("Couldn't encode frame\n");
        return result;
    }
    for (;;) {
        result = avcodec_receive_packet(encoder.get(), packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return 0;
        if (result < 0) {
            logError("Couldn't encode frame\n");
            return result;
        }
        av_packet_rescale_ts(packet.get(), encoder->time_base, outStream->time_base);
        packet->stream_index = outStream->index;
        // The writer reports a failure once; the recording is then stopped.
        result = writer ? writer->write(packet.get()) : AVERROR(EINVAL);
        av_packet_unref(packet.get());
        if (result < 0) return result;
    }
}

void Vorq_FFmpegAudio::flush()
{
    dropBeforeStart();
    const int frameSize = encoder->frame_size > 0 ? encoder->frame_size : 1024;
    while (av_audio_fifo_size(fifo.get()) >= frameSize)
        if (encodeFromFifo(frameSize) < 0) break;
    const int rest = av_audio_fifo_size(fifo.get());
    if (rest > 0) {
        const bool smallLastFrame =
            encoder->codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
        if (smallLastFrame) {
            encodeFromFifo(rest);
        } else if (padWithSilence(frameSize - rest)) {
            encodeFromFifo(frameSize);
        }
    }
    sendAndWrite(nullptr);
}

bool Vorq_FFmpegAudio::padWithSilence(int samples)
{
    uint8_t** silence = nullptr;
    const int channels = encoder->ch_layout.nb_channels;
    if (av_samples_alloc_array_and_samples(&silence, nullptr, channels, samples, encoder->sample_fmt, 0) < 0)
        return false;
    av_samples_set_silence(silence, 0, samples, channels, encoder->sample_fmt);
    const bool ok = av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(silence), samples) == samples;
    av_freep(&silence[0]);
    av_freep(&silence);
    return ok;
}

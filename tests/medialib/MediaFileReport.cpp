#include "MediaFileReport.h"

#include <algorithm>
#include <cmath>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/samplefmt.h>
}

namespace mediatest {

namespace {

struct InputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;
using Codec = std::unique_ptr<AVCodecContext, CodecFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;
using Frame = std::unique_ptr<AVFrame, FrameFreer>;

Input openInput(const std::string& path)
{
    AVFormatContext* c = nullptr;
    if (avformat_open_input(&c, path.c_str(), nullptr, nullptr) < 0) return {};
    Input input(c);
    if (avformat_find_stream_info(c, nullptr) < 0) return {};
    return input;
}

Codec openDecoder(const AVStream* stream)
{
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return {};
    Codec ctx(avcodec_alloc_context3(codec));
    if (!ctx || avcodec_parameters_to_context(ctx.get(), stream->codecpar) < 0) return {};
    ctx->pkt_timebase = stream->time_base;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return {};
    return ctx;
}

double seconds(int64_t value, AVRational tb)
{
    return value == AV_NOPTS_VALUE ? -1e9 : static_cast<double>(value) * av_q2d(tb);
}

// Feeds every packet of one stream through its decoder; onFrame sees each frame.
template <typename OnFrame>
void decodeStream(const std::string& path, AVMediaType type, OnFrame onFrame)
{
    Input input = openInput(path);
    if (!input) return;
    const int index = av_find_best_stream(input.get(), type, -1, -1, nullptr, 0);
    if (index < 0) return;
    AVStream* stream = input->streams[index];
    Codec decoder = openDecoder(stream);
    if (!decoder) return;
    Packet packet(av_packet_alloc());
    Frame frame(av_frame_alloc());
    auto drain = [&] {
        while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
            onFrame(*frame, stream->time_base, *decoder);
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == index) {
            avcodec_send_packet(decoder.get(), packet.get());
            drain();
        }
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(decoder.get(), nullptr);
    drain();
}

} // namespace

MediaFileReport MediaFileReport::read(const std::string& path)
{
    MediaFileReport report;
    Input input = openInput(path);
    if (!input) return report;
    report.opened = true;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters* par = input->streams[i]->codecpar;
        StreamPackets s;
        s.codec = avcodec_get_name(par->codec_id);
        s.video = par->codec_type == AVMEDIA_TYPE_VIDEO;
        s.width = par->width;
        s.height = par->height;
        s.sampleRate = par->sample_rate;
        s.channels = par->ch_layout.nb_channels;
        s.frameSize = par->frame_size;
        report.streams.push_back(s);
    }
    Packet packet(av_packet_alloc());
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        const AVRational tb = input->streams[packet->stream_index]->time_base;
        StreamPackets& s = report.streams[static_cast<size_t>(packet->stream_index)];
        s.pts.push_back(seconds(packet->pts, tb));
        s.dts.push_back(seconds(packet->dts, tb));
        s.duration.push_back(seconds(packet->duration, tb));
        av_packet_unref(packet.get());
    }
    return report;
}

const StreamPackets* MediaFileReport::video() const
{
    for (const auto& s : streams)
        if (s.video) return &s;
    return nullptr;
}

const StreamPackets* MediaFileReport::audio() const
{
    for (const auto& s : streams)
        if (!s.video && s.sampleRate > 0) return &s;
    return nullptr;
}

double MediaFileReport::duration() const
{
    double first = 1e18, last = -1e18;
    for (const auto& s : streams) {
        for (size_t i = 0; i < s.pts.size(); ++i) {
            first = std::min(first, std::max(0.0, s.pts[i]));
            last = std::max(last, s.pts[i] + std::max(0.0, s.duration[i]));
        }
    }
    return last > first ? last - first : 0.0;
}

std::vector<LumaSample> decodeVideoLuma(const std::string& path, double rows)
{
    std::vector<LumaSample> out;
    decodeStream(path, AVMEDIA_TYPE_VIDEO, [&](const AVFrame& f, AVRational tb, const AVCodecContext&) {
        double sum = 0;
        const int height = std::max(1, static_cast<int>(f.height * rows));
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = f.data[0] + static_cast<ptrdiff_t>(y) * f.linesize[0];
            for (int x = 0; x < f.width; ++x) sum += row[x];
        }
        out.push_back({seconds(f.best_effort_timestamp, tb), sum / (static_cast<double>(f.width) * height)});
    });
    std::sort(out.begin(), out.end(), [](const LumaSample& a, const LumaSample& b) { return a.time < b.time; });
    return out;
}

GreyPicture decodePictureAt(const std::string& path, double time)
{
    GreyPicture best;
    decodeStream(path, AVMEDIA_TYPE_VIDEO, [&](const AVFrame& f, AVRational tb, const AVCodecContext&) {
        const double t = seconds(f.best_effort_timestamp, tb);
        if (t > time + 0.001 || (best.time >= 0 && t <= best.time)) return;
        best.time = t;
        best.width = f.width;
        best.height = f.height;
        best.luma.resize(static_cast<size_t>(f.width) * f.height);
        for (int y = 0; y < f.height; ++y)
            std::copy_n(f.data[0] + static_cast<ptrdiff_t>(y) * f.linesize[0], f.width,
                        best.luma.begin() + static_cast<ptrdiff_t>(y) * f.width);
    });
    return best;
}

double psnr(const GreyPicture& a, const GreyPicture& b)
{
    if (a.luma.empty() || a.luma.size() != b.luma.size()) return 0;
    double sum = 0;
    for (size_t i = 0; i < a.luma.size(); ++i) {
        const double d = static_cast<double>(a.luma[i]) - b.luma[i];
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(a.luma.size());
    return mse <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::vector<AudioChunk> decodeAudio(const std::string& path, int* sampleRate)
{
    std::vector<AudioChunk> out;
    decodeStream(path, AVMEDIA_TYPE_AUDIO, [&](const AVFrame& f, AVRational tb, const AVCodecContext& c) {
        if (sampleRate) *sampleRate = c.sample_rate;
        AudioChunk chunk;
        chunk.time = seconds(f.best_effort_timestamp, tb);
        // The AAC decoder gives planar float.
        if (f.format == AV_SAMPLE_FMT_FLTP) {
            const auto* first = reinterpret_cast<const float*>(f.extended_data[0]);
            chunk.samples.assign(first, first + f.nb_samples);
        }
        out.push_back(std::move(chunk));
    });
    return out;
}

std::vector<double> beepOnsets(const std::string& path)
{
    std::vector<double> beeps;
    int rate = 0;
    double quietSince = -1;
    for (const AudioChunk& chunk : decodeAudio(path, &rate)) {
        for (size_t i = 0; i < chunk.samples.size(); ++i) {
            const double t = chunk.time + static_cast<double>(i) / rate;
            const float v = std::fabs(chunk.samples[i]);
            if (v < 0.01f) {
                if (quietSince < 0) quietSince = t;
            } else if (v > 0.06f) {
                if (quietSince >= 0 && t - quietSince > 0.2) beeps.push_back(t);
                quietSince = -1;
            }
        }
    }
    return beeps;
}

} // namespace mediatest

#include "FrameSource.h"

#include <linux/videodev2.h>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace vorq::emucam {

namespace {
// Eight bars in Y'CbCr: white, yellow, cyan, green, magenta, red, blue, black.
constexpr uint8_t kBars[8][3] = {{235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
                                 {106, 202, 222}, {81, 90, 240},  {41, 240, 110}, {16, 128, 128}};

const uint8_t* barAt(int x, int width, int phase)
{
    const int shifted = (x + phase * width / FrameSource::kCycle) % width;
    return kBars[shifted * 8 / width];
}

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
} // namespace

std::string FrameSource::makeYuyv(int width, int height, int phase)
{
    std::string out(static_cast<std::size_t>(width) * height * 2, '\0');
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; x += 2) {
            const uint8_t* bar = barAt(x, width, phase);
            // A dark band at the bottom walks with the frame number too.
            const bool band = y > height * 7 / 8 && x * kCycle / width == phase;
            const uint8_t luma = band ? 16 : bar[0];
            *p++ = luma;
            *p++ = bar[1];
            *p++ = luma;
            *p++ = bar[2];
        }
    return out;
}

std::string FrameSource::makeJpeg(int width, int height, int phase)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!codec) return {};
    std::unique_ptr<AVCodecContext, CodecContextFree> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!context || !frame || !packet) return {};
    context->width = width;
    context->height = height;
    context->pix_fmt = AV_PIX_FMT_YUVJ422P;
    context->time_base = {1, 30};
    context->flags |= AV_CODEC_FLAG_QSCALE;
    context->global_quality = FF_QP2LAMBDA * 6;
    if (avcodec_open2(context.get(), codec, nullptr) < 0) return {};
    frame->width = width;
    frame->height = height;
    frame->format = AV_PIX_FMT_YUVJ422P;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return {};
    const std::string yuyv = makeYuyv(width, height, phase);
    const auto* src = reinterpret_cast<const uint8_t*>(yuyv.data());
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = src + static_cast<std::size_t>(y) * width * 2;
        uint8_t* ly = frame->data[0] + y * frame->linesize[0];
        uint8_t* lu = frame->data[1] + y * frame->linesize[1];
        uint8_t* lv = frame->data[2] + y * frame->linesize[2];
        for (int x = 0; x < width / 2; ++x) {
            ly[2 * x] = row[4 * x];
            lu[x] = row[4 * x + 1];
            ly[2 * x + 1] = row[4 * x + 2];
            lv[x] = row[4 * x + 3];
        }
    }
    frame->quality = context->global_quality;
    if (avcodec_send_frame(context.get(), frame.get()) < 0 || avcodec_send_frame(context.get(), nullptr) < 0 ||
        avcodec_receive_packet(context.get(), packet.get()) < 0)
        return {};
    return std::string(reinterpret_cast<const char*>(packet->data), static_cast<std::size_t>(packet->size));
}

const std::string& FrameSource::frame(uint32_t fourcc, int width, int height, uint32_t sequence)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto key = std::make_tuple(fourcc, width, height);
    auto it = cycles_.find(key);
    if (it == cycles_.end()) {
        std::vector<std::string> cycle;
        if (width > 0 && height > 0 && width % 2 == 0)
            for (int phase = 0; phase < kCycle; ++phase) {
                if (fourcc == V4L2_PIX_FMT_YUYV) cycle.push_back(makeYuyv(width, height, phase));
                else if (fourcc == V4L2_PIX_FMT_MJPEG) cycle.push_back(makeJpeg(width, height, phase));
                if (!cycle.empty() && cycle.back().empty()) {
                    cycle.clear();
                    break;
                }
            }
        it = cycles_.emplace(key, std::move(cycle)).first;
    }
    if (it->second.empty()) return empty_;
    return it->second[sequence % it->second.size()];
}

} // namespace vorq::emucam

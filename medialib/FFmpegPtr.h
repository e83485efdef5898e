#pragma once

// Owners for the FFmpeg objects of the engine, each with the free function
// FFmpeg wants for it.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace vorq::media {

struct InputContextDeleter {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
// An output container together with the file it writes.
struct OutputContextDeleter {
    void operator()(AVFormatContext* c) const
    {
        if (!(c->oformat->flags & AVFMT_NOFILE)) avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct SwsContextDeleter {
    void operator()(SwsContext* c) const { sws_freeContext(c); }
};
struct SwrContextDeleter {
    void operator()(SwrContext* c) const { swr_free(&c); }
};
struct AudioFifoDeleter {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct AvFreeDeleter {
    void operator()(void* p) const { av_free(p); }
};

using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextDeleter>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using BufferPtr = std::unique_ptr<uint8_t, AvFreeDeleter>;

// A frame that travels between threads: every decode gets a fresh one, so no
// receiver ever sees a frame that is being decoded into.
inline std::shared_ptr<AVFrame> makeSharedFrame()
{
    AVFrame* f = av_frame_alloc();
    if (!f) return {};
    return std::shared_ptr<AVFrame>(f, FrameDeleter());
}

inline std::shared_ptr<AVPacket> makeSharedPacket()
{
    AVPacket* p = av_packet_alloc();
    if (!p) return {};
    return std::shared_ptr<AVPacket>(p, PacketDeleter());
}

} // namespace vorq::media

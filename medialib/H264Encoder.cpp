#include "H264Encoder.h"

#include <cstdlib>

#include <unistd.h>

extern "C" {
#include <libavutil/opt.h>
}

namespace vorq::media {

namespace {

void describe(AVCodecContext* c, const H264Encoder::Settings& s)
{
    c->codec_id = AV_CODEC_ID_H264;
    c->time_base = s.timeBase;
    if (s.frameRate > 0) c->framerate = AVRational{s.frameRate, 1};
    c->gop_size = s.keyFrameSeconds * (s.frameRate > 0 ? s.frameRate : 30);
    // What the recording's scaler makes of the camera's picture: BT.601
    // colours in the limited range, said in the stream so players show them
    // as meant.
    c->color_range = AVCOL_RANGE_MPEG;
    c->colorspace = AVCOL_SPC_SMPTE170M;
    c->color_primaries = AVCOL_PRI_SMPTE170M;
    c->color_trc = AVCOL_TRC_SMPTE170M;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->width = s.width;
    c->height = s.height;
    c->sample_aspect_ratio = s.aspect;
    if (s.globalHeader) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
}

CodecContextPtr open(const AVCodec* codec, const H264Encoder::Settings& settings, AVDictionary** options, int& error)
{
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) {
        error = AVERROR(ENOMEM);
        return {};
    }
    describe(context.get(), settings);
    error = avcodec_open2(context.get(), codec, options);
    av_dict_free(options);
    if (error < 0) return {};
    return context;
}

} // namespace

const std::vector<std::string>& H264Encoder::presets()
{
    static const std::vector<std::string> ladder{"fast", "faster", "veryfast", "superfast", "ultrafast"};
    return ladder;
}

std::vector<std::string> H264Encoder::hardwareCandidates()
{
    const char* named = std::getenv("VORQ_MEDIA_VIDEO_ENCODER");
    if (named && *named) {
        if (std::string(named) == "libx264") return {};
        return {named};
    }
    std::vector<std::string> found;
    // NVIDIA's encoder takes the pictures as they are; it needs the driver's device.
    if (::access("/dev/nvidiactl", F_OK) == 0) found.push_back("h264_nvenc");
    return found;
}

CodecContextPtr H264Encoder::openSoftware(const Settings& settings, const std::string& preset, int& error)
{
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!codec) {
        error = AVERROR_ENCODER_NOT_FOUND;
        return {};
    }
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", preset.c_str(), 0);
    av_dict_set(&options, "tune", "zerolatency", 0);
    // Key frames asked for by time are real IDR frames, where a player may start.
    av_dict_set(&options, "forced-idr", "1", 0);
    // The parts of the presets that show in the stream headers, held alike on
    // every step of the ladder (High profile), so a file may change presets.
    // "fast" lowers the chroma quantiser by 2 for its psychovisual tuning;
    // the faster ones get the same offset in their headers.
    const std::string params = preset == presets()[0] ? "ref=1:weightp=0:cabac=1:8x8dct=1"
                                                      : "ref=1:weightp=0:cabac=1:8x8dct=1:chroma-qp-offset=-2";
    av_dict_set(&options, "x264-params", params.c_str(), 0);
    return open(codec, settings, &options, error);
}

CodecContextPtr H264Encoder::openHardware(const std::string& name, const Settings& settings, int& error)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec || codec->id != AV_CODEC_ID_H264) {
        error = AVERROR_ENCODER_NOT_FOUND;
        return {};
    }
    AVDictionary* options = nullptr;
    if (name == "h264_nvenc") {
        // Its counterpart of libx264's CRF 23 for a live source.
        av_dict_set(&options, "preset", "p4", 0);
        av_dict_set(&options, "tune", "ll", 0);
        av_dict_set(&options, "rc", "vbr", 0);
        av_dict_set(&options, "cq", "23", 0);
        av_dict_set(&options, "forced-idr", "1", 0);
    }
    return open(codec, settings, &options, error);
}

} // namespace vorq::media

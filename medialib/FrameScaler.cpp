#include "FrameScaler.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace vorq::media {

namespace {

// The full-range (JPEG) formats and their limited-range twins; the range then
// travels as a flag of the context.
AVPixelFormat withoutRange(AVPixelFormat format, bool& fullRange)
{
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

} // namespace

FrameScaler::FrameScaler(int outWidth, int outHeight, AVPixelFormat outFormat, int flags)
    : outWidth(outWidth), outHeight(outHeight), outFormat(outFormat), flags(flags)
{
}

bool FrameScaler::prepare(int width, int height, AVPixelFormat format, bool fullRange)
{
    if (context && width == inWidth && height == inHeight && format == inFormat && fullRange == inFullRange)
        return true;
    context.reset();
    bool outFull = false;
    const AVPixelFormat out = withoutRange(outFormat, outFull);
    bool inFull = fullRange;
    const AVPixelFormat source = withoutRange(format, inFull);
    // Range only means something for luma and chroma input.
    const AVPixFmtDescriptor* described = av_pix_fmt_desc_get(source);
    if (!described || (described->flags & AV_PIX_FMT_FLAG_RGB)) inFull = false;
    context.reset(sws_getContext(width, height, source, outWidth, outHeight, out, flags, nullptr, nullptr, nullptr));
    if (!context) return false;
    ++made;
    int* inverseTable = nullptr;
    int* table = nullptr;
    int sourceRange = 0;
    int destinationRange = 0;
    int brightness = 0;
    int contrast = 0;
    int saturation = 0;
    if (sws_getColorspaceDetails(context.get(), &inverseTable, &sourceRange, &table, &destinationRange, &brightness,
                                 &contrast, &saturation) >= 0)
        sws_setColorspaceDetails(context.get(), inverseTable, inFull ? 1 : 0, table, outFull ? 1 : destinationRange,
                                 brightness, contrast, saturation);
    inWidth = width;
    inHeight = height;
    inFormat = format;
    inFullRange = fullRange;
    return true;
}

bool FrameScaler::scale(const AVFrame& in, uint8_t* const dst[], const int dstStride[])
{
    if (in.width <= 0 || in.height <= 0 || in.format < 0 || outWidth <= 0 || outHeight <= 0) return false;
    const bool fullRange = in.color_range == AVCOL_RANGE_JPEG;
    if (!prepare(in.width, in.height, static_cast<AVPixelFormat>(in.format), fullRange)) return false;
    return sws_scale(context.get(), in.data, in.linesize, 0, in.height, dst, dstStride) > 0;
}

} // namespace vorq::media

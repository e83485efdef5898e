#pragma once

#include "FFmpegPtr.h"

namespace vorq::media {

// Scales frames into one fixed output size and format. The context is made
// once per input size and format: FFmpeg's own cache compares against the
// format it rewrote for full-range (yuvj) input and would rebuild it for every
// camera frame, so full range is mapped here and set on the context itself.
class FrameScaler {
public:
    FrameScaler(int outWidth, int outHeight, AVPixelFormat outFormat, int flags);

    // False when the frame is unusable or no context can be made for it.
    bool scale(const AVFrame& in, uint8_t* const dst[], const int dstStride[]);

    // Contexts made so far (one per change of input).
    int contextsMade() const { return made; }

private:
    bool prepare(int width, int height, AVPixelFormat format, bool fullRange);

    int outWidth;
    int outHeight;
    AVPixelFormat outFormat;
    int flags;
    SwsContextPtr context;
    int inWidth = 0;
    int inHeight = 0;
    AVPixelFormat inFormat = AV_PIX_FMT_NONE;
    bool inFullRange = false;
    int made = 0;
};

} // namespace vorq::media

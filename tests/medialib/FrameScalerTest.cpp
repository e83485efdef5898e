#include <gtest/gtest.h>

#include <cstring>

#include "FrameScaler.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

using vorq::media::FramePtr;
using vorq::media::FrameScaler;

namespace {

// A flat grey frame: every luma sample `luma`, chroma neutral.
FramePtr greyFrame(AVPixelFormat format, int width, int height, int luma)
{
    FramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return {};
    for (int y = 0; y < height; ++y) std::memset(frame->data[0] + y * frame->linesize[0], luma, width);
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    const int chromaWidth = AV_CEIL_RSHIFT(width, d->log2_chroma_w);
    const int chromaHeight = AV_CEIL_RSHIFT(height, d->log2_chroma_h);
    for (int p = 1; p < 3; ++p)
        for (int y = 0; y < chromaHeight; ++y) std::memset(frame->data[p] + y * frame->linesize[p], 128, chromaWidth);
    return frame;
}

struct Out {
    explicit Out(AVPixelFormat format, int width, int height)
    {
        frame.reset(av_frame_alloc());
        frame->format = format;
        frame->width = width;
        frame->height = height;
        av_frame_get_buffer(frame.get(), 0);
    }
    FramePtr frame;
};

} // namespace

TEST(MediaFrameScalerTest, FullRangeCameraInputKeepsItsLevelsAndOneContext)
{
    Out rgb(AV_PIX_FMT_RGB24, 64, 48);
    FrameScaler toRgb(64, 48, AV_PIX_FMT_RGB24, SWS_BICUBIC);
    // Full range: 16 is a dark grey, not black, and 255 is white.
    for (const auto& [luma, expected] : {std::pair{16, 16}, std::pair{255, 255}, std::pair{0, 0}}) {
        FramePtr in = greyFrame(AV_PIX_FMT_YUVJ422P, 64, 48, luma);
        ASSERT_TRUE(toRgb.scale(*in, rgb.frame->data, rgb.frame->linesize));
        EXPECT_NEAR(rgb.frame->data[0][10 * rgb.frame->linesize[0] + 30], expected, 2) << "luma " << luma;
    }
    EXPECT_EQ(toRgb.contextsMade(), 1);

    // The same levels into the encoder's limited-range format.
    Out yuv(AV_PIX_FMT_YUV420P, 64, 48);
    FrameScaler toEncoder(64, 48, AV_PIX_FMT_YUV420P, SWS_BICUBIC);
    FramePtr white = greyFrame(AV_PIX_FMT_YUVJ422P, 64, 48, 255);
    ASSERT_TRUE(toEncoder.scale(*white, yuv.frame->data, yuv.frame->linesize));
    EXPECT_NEAR(yuv.frame->data[0][10 * yuv.frame->linesize[0] + 30], 235, 2);
    FramePtr black = greyFrame(AV_PIX_FMT_YUVJ422P, 64, 48, 0);
    ASSERT_TRUE(toEncoder.scale(*black, yuv.frame->data, yuv.frame->linesize));
    EXPECT_NEAR(yuv.frame->data[0][10 * yuv.frame->linesize[0] + 30], 16, 2);
    EXPECT_EQ(toEncoder.contextsMade(), 1);
}

TEST(MediaFrameScalerTest, NewContextOnlyWhenTheInputChanges)
{
    Out rgb(AV_PIX_FMT_RGB24, 64, 48);
    FrameScaler scaler(64, 48, AV_PIX_FMT_RGB24, SWS_BICUBIC);
    FramePtr small = greyFrame(AV_PIX_FMT_YUV420P, 32, 24, 128);
    FramePtr same = greyFrame(AV_PIX_FMT_YUV420P, 64, 48, 128);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(scaler.scale(*same, rgb.frame->data, rgb.frame->linesize));
    EXPECT_EQ(scaler.contextsMade(), 1);
    // Another size is scaled into the fixed output rather than overrunning it.
    ASSERT_TRUE(scaler.scale(*small, rgb.frame->data, rgb.frame->linesize));
    EXPECT_EQ(scaler.contextsMade(), 2);

    FramePtr empty(av_frame_alloc());
    EXPECT_FALSE(scaler.scale(*empty, rgb.frame->data, rgb.frame->linesize));
}

#include "SeekCheck.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "MediaFileReport.h"
#include "MediaTestSupport.h"

namespace mediatest {

namespace {

GreyPicture gstreamerPictureAt(const std::string& path, double seconds, const std::string& scratch)
{
    int status = -1;
    std::istringstream answer(runCommand(std::string("/usr/bin/python3 '") + GST_PICTURE_AT + "' '" + path + "' " +
                                             std::to_string(seconds) + " '" + scratch + "' 2>&1",
                                         &status));
    GreyPicture picture;
    if (status != 0 || !(answer >> picture.time >> picture.width >> picture.height)) {
        ADD_FAILURE() << "GStreamer could not show " << path << " at " << seconds << " s: " << answer.str();
        return {};
    }
    std::ifstream raw(scratch, std::ios::binary);
    picture.luma.assign(std::istreambuf_iterator<char>(raw), std::istreambuf_iterator<char>());
    return picture;
}

} // namespace

// Where GStreamer lands after a seek shows what ffmpeg decodes at that time:
// no picture smeared by a missing key frame.
void expectSeeksAgree(const std::string& path, std::initializer_list<double> times, const std::string& scratch)
{
    for (double t : times) {
        const GreyPicture shown = gstreamerPictureAt(path, t, scratch);
        if (shown.luma.empty()) continue;
        const GreyPicture decoded = decodePictureAt(path, shown.time);
        const double quality = psnr(shown, decoded);
        std::printf("seek to %.1f s: GStreamer shows %.3f s, %.1f dB against ffmpeg\n", t, shown.time, quality);
        EXPECT_NEAR(shown.time, t, 0.1);
        EXPECT_GT(quality, 35.0) << "seek to " << t << " s";
    }
}

} // namespace mediatest

#pragma once

#include <initializer_list>
#include <string>

namespace mediatest {

// Seeks the file with GStreamer to each time and expects the picture shown
// there to be the one ffmpeg decodes at that time (PSNR above 35 dB), not one
// smeared for want of a key frame. scratch: a file for the picture.
void expectSeeksAgree(const std::string& path, std::initializer_list<double> times, const std::string& scratch);

} // namespace mediatest

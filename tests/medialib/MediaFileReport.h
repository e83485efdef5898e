#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mediatest {

// What a recording holds, read back with libavformat/libavcodec.
struct StreamPackets {
    std::string codec;
    bool video = false;
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
    int frameSize = 0;
    std::vector<double> pts;      // seconds, in file order
    std::vector<double> dts;
    std::vector<double> duration;
};

struct MediaFileReport {
    bool opened = false;
    std::vector<StreamPackets> streams;

    static MediaFileReport read(const std::string& path);
    const StreamPackets* video() const;
    const StreamPackets* audio() const;
    // From the earliest packet start to the latest packet end.
    double duration() const;
};

struct LumaSample {
    double time;
    double meanLuma; // 0..255
};
// Mean luma of every decodable picture (of its top `rows` share), in
// presentation order.
std::vector<LumaSample> decodeVideoLuma(const std::string& path, double rows = 1.0);

struct GreyPicture {
    double time = -1;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> luma; // width * height
};
// The decoded picture on screen at `time`: the last one starting by then.
GreyPicture decodePictureAt(const std::string& path, double time);
// Peak signal-to-noise ratio of two pictures of one size, in dB.
double psnr(const GreyPicture& a, const GreyPicture& b);

struct AudioChunk {
    double time;                // of the first sample
    std::vector<float> samples; // first channel
};
// Decoded sound of the first audio stream (priming already removed).
std::vector<AudioChunk> decodeAudio(const std::string& path, int* sampleRate);
// Times at which the sound rises from silence (over 0.2 s of it) into a beep.
std::vector<double> beepOnsets(const std::string& path);

} // namespace mediatest

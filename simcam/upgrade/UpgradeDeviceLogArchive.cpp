#include "upgrade/UpgradeDeviceLogArchive.h"

#include <cstdio>
#include <cstring>

#include <zlib.h>

namespace vorq::simcam {

namespace {

constexpr size_t kTarBlock = 512;

void octal(char* field, size_t width, uint64_t value)
{
    std::snprintf(field, width, "%0*llo", static_cast<int>(width - 1), static_cast<unsigned long long>(value));
}

} // namespace

std::vector<uint8_t> UpgradeDeviceLogArchive::build(const std::string& logText, uint64_t mtimeSeconds)
{
    return gzip(tar("vorq.log", logText, mtimeSeconds));
}

std::vector<uint8_t> UpgradeDeviceLogArchive::tar(const std::string& name, const std::string& content,
                                                  uint64_t mtimeSeconds)
{
    const size_t dataBlocks = (content.size() + kTarBlock - 1) / kTarBlock;
    // Header, data, and the two empty blocks that end an archive.
    std::vector<uint8_t> out((1 + dataBlocks + 2) * kTarBlock, 0);
    char* header = reinterpret_cast<char*>(out.data());
    std::memcpy(header, name.data(), name.size() < 99 ? name.size() : 99);
    octal(header + 100, 8, 0644);
    octal(header + 108, 8, 0);
    octal(header + 116, 8, 0);
    octal(header + 124, 12, content.size());
    octal(header + 136, 12, mtimeSeconds);
    header[156] = '0';
    std::memcpy(header + 257, "ustar", 6);
    std::memcpy(header + 263, "00", 2);
    // The checksum is taken with its own field read as spaces.
    std::memset(header + 148, ' ', 8);
    unsigned sum = 0;
    for (size_t i = 0; i < kTarBlock; ++i) sum += static_cast<unsigned char>(header[i]);
    std::snprintf(header + 148, 8, "%06o", sum);
    header[155] = ' ';
    std::memcpy(out.data() + kTarBlock, content.data(), content.size());
    return out;
}

std::vector<uint8_t> UpgradeDeviceLogArchive::gzip(const std::vector<uint8_t>& data)
{
    z_stream stream{};
    // 15 window bits + 16: a gzip wrapper instead of zlib's.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    const size_t produced = out.size() - stream.avail_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END) return {};
    out.resize(produced);
    return out;
}

} // namespace vorq::simcam

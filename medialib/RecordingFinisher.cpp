#include "RecordingFinisher.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FFmpegPtr.h"

namespace vorq::media {

namespace {

int copyStreams(AVFormatContext* input, AVFormatContext* output, std::vector<int>& map)
{
    map.assign(input->nb_streams, -1);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* in = input->streams[i];
        const AVMediaType type = in->codecpar->codec_type;
        if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) continue;
        AVStream* out = avformat_new_stream(output, nullptr);
        if (!out) return AVERROR(ENOMEM);
        const int result = avcodec_parameters_copy(out->codecpar, in->codecpar);
        if (result < 0) return result;
        out->codecpar->codec_tag = 0;
        out->time_base = in->time_base;
        out->avg_frame_rate = in->avg_frame_rate;
        out->disposition = in->disposition;
        map[i] = out->index;
    }
    return 0;
}

int remux(const std::string& path, const std::string& temp, const std::string& formatName)
{
    AVFormatContext* in = nullptr;
    int result = avformat_open_input(&in, path.c_str(), nullptr, nullptr);
    if (result < 0) return result;
    InputContextPtr input(in);
    if ((result = avformat_find_stream_info(in, nullptr)) < 0) return result;

    AVFormatContext* out = nullptr;
    result = avformat_alloc_output_context2(&out, nullptr, formatName.c_str(), temp.c_str());
    if (result < 0 || !out) return result < 0 ? result : AVERROR_MUXER_NOT_FOUND;
    OutputContextPtr output(out);
    std::vector<int> map;
    if ((result = copyStreams(in, out, map)) < 0) return result;
    if ((result = avio_open2(&out->pb, temp.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr)) < 0) return result;

    AVDictionary* options = nullptr;
    // The index at the front: a player or a browser starts without reading
    // to the end.
    av_dict_set(&options, "movflags", "faststart", 0);
    result = avformat_write_header(out, &options);
    av_dict_free(&options);
    if (result < 0) return result;

    PacketPtr packet(av_packet_alloc());
    if (!packet) return AVERROR(ENOMEM);
    int64_t copied = 0;
    while ((result = av_read_frame(in, packet.get())) >= 0) {
        const int target = map[static_cast<size_t>(packet->stream_index)];
        if (target < 0) {
            av_packet_unref(packet.get());
            continue;
        }
        av_packet_rescale_ts(packet.get(), in->streams[packet->stream_index]->time_base,
                             out->streams[target]->time_base);
        packet->stream_index = target;
        packet->pos = -1;
        result = av_interleaved_write_frame(out, packet.get());
        if (result < 0) return result;
        ++copied;
    }
    if (result != AVERROR_EOF) return result;
    // Nothing to finish: an empty recording is better left as it is.
    if (copied == 0) return AVERROR_INVALIDDATA;
    if ((result = av_write_trailer(out)) < 0) return result;
    if (out->pb->error < 0) return out->pb->error;
    return 0;
}

// The new file's data and its name reach the disk before the old one goes.
int syncFile(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return AVERROR(errno);
    const int result = ::fsync(fd) == 0 ? 0 : AVERROR(errno);
    ::close(fd);
    return result;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

int RecordingFinisher::finish(const std::string& path, const std::string& formatName)
{
    // In the same folder, so the rename is atomic; hidden, so nobody opens it
    // half made.
    const std::string folder = folderOf(path);
    const size_t slash = path.find_last_of('/');
    std::string pattern = folder + "/." + path.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return AVERROR(errno);
    // The finished file keeps the permissions the recording was made with.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
    ::close(fd);
    const std::string temp(name.data());

    int result = remux(path, temp, formatName);
    if (result >= 0) result = syncFile(temp, O_RDONLY);
    if (result >= 0 && ::rename(temp.c_str(), path.c_str()) != 0) result = AVERROR(errno);
    if (result < 0) {
        ::unlink(temp.c_str());
        return result;
    }
    syncFile(folder, O_RDONLY | O_DIRECTORY);
    return 0;
}

} // namespace vorq::media

#include "RecordingWriter.h"

#include <cerrno>

#include <unistd.h>

#include "MediaLog.h"

namespace vorq::media {

RecordingWriter::RecordingWriter(AVFormatContext* output, std::string path, FailureHandler onFailure)
    : output(output), path(std::move(path)), onFailure(std::move(onFailure))
{
}

int RecordingWriter::write(AVPacket* packet)
{
    const int before = error.load();
    if (before < 0) {
        av_packet_unref(packet);
        return before;
    }
    int result = av_interleaved_write_frame(output, packet);
    // The file layer keeps its error in the I/O context; the muxer may not pass it on.
    if (result >= 0 && output->pb && output->pb->error < 0) result = output->pb->error;
    if (result < 0) {
        fail(result);
        return result;
    }
    markGood();
    return result;
}

void RecordingWriter::markGood()
{
    // Packets are flushed as they are written, and a fragment reaches the
    // file in one piece: what the file holds now is whole.
    if (output->pb && output->pb->error >= 0) goodBytes = avio_tell(output->pb);
}

void RecordingWriter::fail(int code)
{
    error = code;
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof text);
    logError("Recording stopped: cannot write %s: %s\n", path.c_str(), text);
    if (onFailure) onFailure(code);
}

void RecordingWriter::cutToLastGoodFragment()
{
    if (!failed() || goodBytes <= 0) return;
    if (::truncate(path.c_str(), static_cast<off_t>(goodBytes)) != 0)
        logInfo("Could not cut %s back to its last whole fragment (errno %d)\n", path.c_str(), errno);
}

} // namespace vorq::media

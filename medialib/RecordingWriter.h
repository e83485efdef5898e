#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

namespace vorq::media {

// The one way packets reach a recording's file. It notices the first write
// error (a full disk, a device that went away), logs it once, reports it and
// writes nothing more; it remembers where the last fragment that was written
// whole ends, so the file can be cut back to something every player reads.
// Called with writeLock held.
class RecordingWriter {
public:
    using FailureHandler = std::function<void(int error)>;

    RecordingWriter(AVFormatContext* output, std::string path, FailureHandler onFailure);

    // The write's result; after a failure the failure's code, writing nothing.
    int write(AVPacket* packet);
    // Call when the header is written: the file is good up to here.
    void markGood();
    bool failed() const { return error.load() < 0; }
    int failure() const { return error.load(); }
    // After the output was closed: drops whatever follows the last whole fragment.
    void cutToLastGoodFragment();

private:
    void fail(int code);

    AVFormatContext* output;
    std::string path;
    FailureHandler onFailure;
    std::atomic<int> error{0};
    int64_t goodBytes = 0;
};

} // namespace vorq::media

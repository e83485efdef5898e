#pragma once

#include <string>

namespace vorq::media {

// Turns a finished fragmented recording into an ordinary MP4: durations in
// the headers, the index at the front, the common brand. The streams are
// copied, not encoded again, into a new file beside the recording, which
// then replaces it in one rename; until then the fragmented file stays as it
// is, and it plays.
class RecordingFinisher {
public:
    // 0, or the FFmpeg error that left the fragmented file in place.
    static int finish(const std::string& path, const std::string& formatName);
};

} // namespace vorq::media

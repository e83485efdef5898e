#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorq::simcam {

// The camera's log archive: a gzip-compressed tar holding one text file, as
// the camera produces it after a log request.
class UpgradeDeviceLogArchive {
public:
    // Empty on a compression failure.
    static std::vector<uint8_t> build(const std::string& logText, uint64_t mtimeSeconds);

private:
    static std::vector<uint8_t> tar(const std::string& name, const std::string& content, uint64_t mtimeSeconds);
    static std::vector<uint8_t> gzip(const std::vector<uint8_t>& data);
};

} // namespace vorq::simcam

#pragma once

#include <string>

namespace fwflash {

// A file path cut the way the upgrade flows look at it: directory (with its
// trailing separator), name, and extension (with its dot).
struct FilePath {
    std::string directory;
    std::string name;
    std::string extension;

    static FilePath split(const std::string& path);
};

} // namespace fwflash

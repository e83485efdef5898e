#include "FilePath.h"

namespace fwflash {

FilePath FilePath::split(const std::string& path)
{
    FilePath parts;
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    parts.directory = path.substr(0, nameStart);
    const std::string file = path.substr(nameStart);
    const size_t dot = file.find_last_of('.');
    if (dot == std::string::npos) {
        parts.name = file;
    } else {
        parts.name = file.substr(0, dot);
        parts.extension = file.substr(dot);
    }
    return parts;
}

} // namespace fwflash

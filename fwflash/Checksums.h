#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace fwflash {

using Md5 = std::array<uint8_t, 16>;

// Digests of the upgrade protocol: zlib's CRC-32 and OpenSSL's MD5.
class Checksums {
public:
    static uint32_t crc32(const uint8_t* data, size_t size);
    static bool md5(const uint8_t* data, size_t size, Md5& out);
    // Reads the file in 4096-byte blocks; false when it cannot be read.
    static bool md5File(const std::string& path, Md5& out);
    // 32 lower-case hex digits.
    static std::string hex(const Md5& digest);
};

} // namespace fwflash

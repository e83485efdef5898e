#include "Checksums.h"

#include <cstdio>
#include <memory>

#include <openssl/evp.h>
#include <zlib.h>

namespace fwflash {

namespace {

struct MdContextFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
using MdContext = std::unique_ptr<EVP_MD_CTX, MdContextFree>;

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool finish(EVP_MD_CTX* ctx, Md5& out)
{
    unsigned int length = 0;
    return EVP_DigestFinal_ex(ctx, out.data(), &length) == 1 && length == out.size();
}

} // namespace

uint32_t Checksums::crc32(const uint8_t* data, size_t size)
{
    uLong crc = ::crc32(0L, Z_NULL, 0);
    // zlib takes at most a uInt per call.
    while (size > 0) {
        const uInt chunk = size > 0x40000000u ? 0x40000000u : static_cast<uInt>(size);
        crc = ::crc32(crc, data, chunk);
        data += chunk;
        size -= chunk;
    }
    return static_cast<uint32_t>(crc);
}

bool Checksums::md5(const uint8_t* data, size_t size, Md5& out)
{
    MdContext ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1) return false;
    if (size > 0 && EVP_DigestUpdate(ctx.get(), data, size) != 1) return false;
    return finish(ctx.get(), out);
}

bool Checksums::md5File(const std::string& path, Md5& out)
{
    std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    MdContext ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1) return false;
    uint8_t block[4096];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0)
        if (EVP_DigestUpdate(ctx.get(), block, got) != 1) return false;
    if (std::ferror(file.get())) return false;
    return finish(ctx.get(), out);
}

std::string Checksums::hex(const Md5& digest)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(32);
    for (uint8_t byte : digest) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0xF]);
    }
    return text;
}

} // namespace fwflash

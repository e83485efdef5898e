#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace vorq::media {

// Picture buffers of one size that go back to the pool when their last holder
// lets go, so a receiver may keep a picture as long as it likes while the
// converter goes on with another buffer, and steady preview allocates nothing.
class PicturePool : public std::enable_shared_from_this<PicturePool> {
public:
    static std::shared_ptr<PicturePool> create(size_t bytes);
    ~PicturePool();

    PicturePool(const PicturePool&) = delete;
    PicturePool& operator=(const PicturePool&) = delete;

    // Empty when no memory is left.
    std::shared_ptr<uint8_t> take();

    size_t pictureBytes() const { return bytes; }

private:
    explicit PicturePool(size_t bytes) : bytes(bytes) {}
    void giveBack(uint8_t* picture);

    const size_t bytes;
    std::mutex mutex;
    std::vector<uint8_t*> idle;
};

} // namespace vorq::media

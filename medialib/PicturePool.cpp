#include "PicturePool.h"

extern "C" {
#include <libavutil/mem.h>
}

namespace vorq::media {

namespace {
// Enough for the picture being converted, the one waiting and the one shown.
constexpr size_t kIdleKept = 4;
} // namespace

std::shared_ptr<PicturePool> PicturePool::create(size_t bytes)
{
    return std::shared_ptr<PicturePool>(new PicturePool(bytes));
}

PicturePool::~PicturePool()
{
    for (uint8_t* picture : idle) av_free(picture);
}

std::shared_ptr<uint8_t> PicturePool::take()
{
    uint8_t* picture = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!idle.empty()) {
            picture = idle.back();
            idle.pop_back();
        }
    }
    if (!picture) picture = static_cast<uint8_t*>(av_malloc(bytes));
    if (!picture) return {};
    // The deleter keeps the pool alive, so a picture may outlive its converter.
    return std::shared_ptr<uint8_t>(picture, [pool = shared_from_this()](uint8_t* p) { pool->giveBack(p); });
}

void PicturePool::giveBack(uint8_t* picture)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (idle.size() < kIdleKept) {
            idle.push_back(picture);
            return;
        }
    }
    av_free(picture);
}

} // namespace vorq::media

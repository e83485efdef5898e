#include "FileSyncer.h"

#include <chrono>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace vorq::media {

FileSyncer::~FileSyncer()
{
    stop();
}

bool FileSyncer::start(const std::string& path)
{
    stop();
    // Any descriptor of the file syncs all of its dirty pages.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    stopping = false;
    try {
        thread = std::thread(&FileSyncer::run, this);
    } catch (const std::system_error&) {
        ::close(fd);
        fd = -1;
        return false;
    }
    return true;
}

void FileSyncer::stop()
{
    if (thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        thread.join();
    }
    if (fd >= 0) {
        ::fdatasync(fd);
        ::close(fd);
        fd = -1;
    }
}

void FileSyncer::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!wake.wait_for(lock, std::chrono::seconds(1), [this] { return stopping; })) {
        lock.unlock();
        ::fdatasync(fd);
        lock.lock();
    }
}

} // namespace vorq::media

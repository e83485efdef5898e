#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace vorq::media {

// Pushes a recording's written data to the disk once a second, from a thread
// of its own so no encoder ever waits for the disk. Together with one-second
// fragments this bounds what a power loss can take to about two seconds.
class FileSyncer {
public:
    FileSyncer() = default;
    ~FileSyncer();
    FileSyncer(const FileSyncer&) = delete;
    FileSyncer& operator=(const FileSyncer&) = delete;

    // False when the file cannot be opened or no thread started; the
    // recording then relies on the kernel's own write-back.
    bool start(const std::string& path);
    // Syncs a last time and ends the thread.
    void stop();

private:
    void run();

    int fd = -1;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
};

} // namespace vorq::media

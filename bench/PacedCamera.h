#pragma once

// A camera stand-in for the media benchmarks: pre-made pictures written into
// a pipe at a camera's pace, as multipart JPEG ("mpjpeg") or as bare raw
// frames ("rawvideo"). The writer thread's CPU is kept apart, so a benchmark
// can take it out of its process's figure.

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

extern "C" {
#include <libavutil/time.h>
}

namespace bench {

class PacedCamera {
public:
    enum class Framing { Multipart, Raw };

    explicit PacedCamera(std::vector<std::vector<uint8_t>> pictures, Framing framing = Framing::Multipart,
                         int rate = 30)
        : pictures(std::move(pictures)), framing(framing), rate(rate),
          sendTimes(new std::atomic<int64_t>[this->pictures.size()]())
    {
        if (this->pictures.empty()) {
            std::fprintf(stderr, "PacedCamera: no pictures to send\n");
            std::exit(1);
        }
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) std::exit(1);
        readFd = fds[0];
        writeFd = fds[1];
        fcntl(writeFd, F_SETPIPE_SZ, 1 << 20);
        fcntl(writeFd, F_SETFL, O_NONBLOCK);
        size_t total = 0;
        for (const auto& p : this->pictures) total += p.size();
        averageBytes = total / this->pictures.size();
    }
    PacedCamera(const PacedCamera&) = delete;
    PacedCamera& operator=(const PacedCamera&) = delete;
    ~PacedCamera()
    {
        stop();
        if (readFd >= 0) close(readFd);
    }

    std::string url() const { return "pipe:" + std::to_string(readFd); }
    size_t pictureBytes() const { return averageBytes; }

    void start()
    {
        running = true;
        thread = std::thread([this] { run(); });
    }
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            running = false;
        }
        wake.notify_all();
        if (thread.joinable()) thread.join();
        if (writeFd >= 0) close(writeFd);
        writeFd = -1;
    }

    // Engine-clock time at which the newest picture with this number was sent.
    int64_t sentAt(int index) const { return sendTimes[static_cast<size_t>(index)].load(); }
    int64_t framesSent() const { return sent.load(); }
    int64_t cpuUs() const { return writerCpu.load(); }

private:
    static int64_t threadCpuUs()
    {
        timespec ts;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
    }

    void run()
    {
        const int64_t start = av_gettime_relative();
        int64_t n = 0;
        std::unique_lock<std::mutex> lock(mutex);
        while (running) {
            const int64_t due = start + n * 1000000 / rate;
            // Paced like a sensor: a timed wait, cut short by stop().
            if (wake.wait_until(lock, std::chrono::steady_clock::time_point(std::chrono::microseconds(due)),
                                [this] { return !running; }))
                break;
            lock.unlock();
            const size_t index = static_cast<size_t>(n % static_cast<int64_t>(pictures.size()));
            const auto& picture = pictures[index];
            sendTimes[index] = av_gettime_relative();
            bool ok = true;
            if (framing == Framing::Multipart) {
                char header[128];
                const int h = std::snprintf(header, sizeof header,
                                            "--ffmpeg\r\nContent-type: image/jpeg\r\nContent-length: %zu\r\n\r\n",
                                            picture.size());
                ok = writeAll(header, static_cast<size_t>(h)) && writeAll(picture.data(), picture.size()) &&
                     writeAll("\r\n", 2);
            } else {
                ok = writeAll(picture.data(), picture.size());
            }
            ++sent;
            ++n;
            writerCpu = threadCpuUs();
            lock.lock();
            if (!ok) break;
        }
    }

    // Gives up when stop() is called while nobody reads the pipe any more.
    bool writeAll(const void* data, size_t size)
    {
        const auto* p = static_cast<const uint8_t*>(data);
        while (size > 0) {
            const ssize_t n = write(writeFd, p, size);
            if (n > 0) {
                p += n;
                size -= static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN) return false;
            pollfd out{writeFd, POLLOUT, 0};
            poll(&out, 1, 50);
            std::lock_guard<std::mutex> lock(mutex);
            if (!running) return false;
        }
        return true;
    }

    std::vector<std::vector<uint8_t>> pictures;
    Framing framing;
    int rate;
    size_t averageBytes = 0;
    int readFd = -1;
    int writeFd = -1;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool running = false;
    std::unique_ptr<std::atomic<int64_t>[]> sendTimes;
    std::atomic<int64_t> sent{0};
    std::atomic<int64_t> writerCpu{0};
};

} // namespace bench

#pragma once

#include <unistd.h>

#include <utility>

namespace vorq::simcam {

// Owns one file descriptor and closes it when it goes.
class SimFd {
public:
    SimFd() = default;
    explicit SimFd(int fd) : fd_(fd) {}
    SimFd(SimFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    SimFd& operator=(SimFd&& other) noexcept
    {
        if (this != &other) reset(std::exchange(other.fd_, -1));
        return *this;
    }
    SimFd(const SimFd&) = delete;
    SimFd& operator=(const SimFd&) = delete;
    ~SimFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

} // namespace vorq::simcam

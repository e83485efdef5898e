#pragma once

namespace vorq::platform {

class KernelSeam;

// Owns a descriptor opened through the seam and closes it through the same
// seam. The seam is borrowed and must outlive the descriptor.
class KernelFd {
public:
    KernelFd() = default;
    KernelFd(KernelSeam& kernel, int fd) : kernel_(&kernel), fd_(fd) {}
    ~KernelFd();

    KernelFd(KernelFd&& other) noexcept;
    KernelFd& operator=(KernelFd&& other) noexcept;
    KernelFd(const KernelFd&) = delete;
    KernelFd& operator=(const KernelFd&) = delete;

    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }
    void reset();

private:
    KernelSeam* kernel_ = nullptr;
    int fd_ = -1;
};

} // namespace vorq::platform

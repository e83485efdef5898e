#include "v4l2/KernelFd.h"

#include "v4l2/KernelSeam.h"

namespace vorq::platform {

KernelFd::~KernelFd() { reset(); }

KernelFd::KernelFd(KernelFd&& other) noexcept : kernel_(other.kernel_), fd_(other.fd_)
{
    other.kernel_ = nullptr;
    other.fd_ = -1;
}

KernelFd& KernelFd::operator=(KernelFd&& other) noexcept
{
    if (this != &other) {
        reset();
        kernel_ = other.kernel_;
        fd_ = other.fd_;
        other.kernel_ = nullptr;
        other.fd_ = -1;
    }
    return *this;
}

void KernelFd::reset()
{
    if (fd_ >= 0 && kernel_) kernel_->close(fd_);
    fd_ = -1;
}

} // namespace vorq::platform

#include "v4l2/KernelSeam.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/ioctl.h>
#include <unistd.h>


namespace fs = std::filesystem;

namespace vorq::platform {

KernelSeam::KernelSeam(std::string sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

KernelSeam::~KernelSeam() = default;

int KernelSeam::open(const std::string& path, int flags)
{
    int fd;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    return fd >= 0 ? fd : -errno;
}

int KernelSeam::ioctl(int fd, unsigned long request, void* arg)
{
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r < 0 ? errno : 0;
}

int KernelSeam::close(int fd)
{
    // Not retried on EINTR: on Linux the descriptor is released either way.
    return ::close(fd) < 0 ? errno : 0;
}

bool KernelSeam::readFile(const std::string& path, std::string& contents, std::size_t maxSize) const
{
    int fd;
    do {
        fd = ::open((fs::path(sysfsRoot_) / path).c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;

    // sysfs attributes report a nominal size of 4096 whatever they hold, so
    // read to the end rather than trusting stat.
    std::string data;
    char buf[4096];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        if (data.size() + static_cast<std::size_t>(n) > maxSize) {
            ok = false;
            break;
        }
        data.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (ok) contents = std::move(data);
    return ok;
}

std::vector<std::string> KernelSeam::listDirectory(const std::string& path) const
{
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(fs::path(sysfsRoot_) / path, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

bool KernelSeam::resolve(const std::string& path, std::string& resolved) const
{
    std::error_code ec;
    const fs::path root = fs::canonical(sysfsRoot_, ec);
    if (ec) return false;
    const fs::path target = fs::canonical(root / path, ec);
    if (ec) return false;
    const fs::path relative = target.lexically_relative(root);
    if (relative.empty() || *relative.begin() == "..") return false;
    resolved = relative == "." ? std::string() : relative.generic_string();
    return true;
}

} // namespace vorq::platform

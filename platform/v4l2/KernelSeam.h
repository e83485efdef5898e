#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vorq::platform {

// The only way the V4L2 backend reaches the kernel: device nodes through
// open/ioctl/close, and sysfs below a root that tests point at a fixture tree.
// Results never rely on the global errno, so a fake can stand in for all of it.
class KernelSeam {
public:
    explicit KernelSeam(std::string sysfsRoot = "/sys");
    virtual ~KernelSeam();

    KernelSeam(const KernelSeam&) = delete;
    KernelSeam& operator=(const KernelSeam&) = delete;

    // A file descriptor (>= 0), or -errno.
    virtual int open(const std::string& path, int flags);
    // 0, or the errno of the failed call.
    virtual int ioctl(int fd, unsigned long request, void* arg);
    virtual int close(int fd);

    const std::string& sysfsRoot() const { return sysfsRoot_; }

    // Paths below are relative to the sysfs root, e.g. "class/video4linux".
    // Binary-safe; false when the file cannot be read or exceeds maxSize.
    virtual bool readFile(const std::string& path, std::string& contents, std::size_t maxSize = 1 << 20) const;
    // Entry names (not "." or ".."), unsorted; empty when the directory is missing.
    virtual std::vector<std::string> listDirectory(const std::string& path) const;
    // The path with every symbolic link resolved, relative to the root.
    // False when it does not exist or leads outside the root.
    virtual bool resolve(const std::string& path, std::string& resolved) const;

private:
    std::string sysfsRoot_;
};

} // namespace vorq::platform

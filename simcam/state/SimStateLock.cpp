#include "state/SimStateLock.h"

#include <sys/file.h>

#include <cerrno>

#include "simcam/SimStateStore.h"

namespace vorq::simcam {

SimStateLock::SimStateLock(SimStateStore& store) : store_(store), guard_(store.mutex_)
{
    int fd = store_.lockDescriptor();
    if (fd < 0) {
        status_ = errno ? errno : EIO;
        return;
    }
    int rc;
    do
        rc = ::flock(fd, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        status_ = errno;
        return;
    }
    lockFd_ = fd;
    status_ = store_.validateLocked();
}

SimStateLock::~SimStateLock()
{
    if (lockFd_ >= 0) ::flock(lockFd_, LOCK_UN);
}

SimStateHeader* SimStateLock::header() { return status_ ? nullptr : &store_.state_->header; }

SimCameraRecord* SimStateLock::camera(int index)
{
    if (status_ || index < 0 || index >= kSimMaxCameras) return nullptr;
    return &store_.state_->cameras[index];
}

const SimConfig& SimStateLock::config()
{
    if (status_) {
        static const SimConfig defaults;
        return defaults;
    }
    if (!config_) config_ = &store_.refreshConfigLocked();
    return *config_;
}

} // namespace vorq::simcam

#pragma once

#include <mutex>

#include "simcam/SimConfig.h"
#include "simcam/SimStateLayout.h"

namespace vorq::simcam {

class SimStateStore;

// Holds a state store exclusively, against other threads and other
// processes, for as long as it lives. Validates the state file on entry.
class SimStateLock {
public:
    explicit SimStateLock(SimStateStore& store);
    ~SimStateLock();
    SimStateLock(const SimStateLock&) = delete;
    SimStateLock& operator=(const SimStateLock&) = delete;

    // 0, or the errno that kept the lock or a usable state from being had;
    // then every accessor below gives null.
    int status() const { return status_; }

    SimStateHeader* header();
    // Null for an index outside 0..kSimMaxCameras-1.
    SimCameraRecord* camera(int index);
    // The configuration, re-read when sim.conf changed (checked once per
    // lock, on first use).
    const SimConfig& config();
    SimStateStore& store() { return store_; }

private:
    SimStateStore& store_;
    std::unique_lock<std::mutex> guard_;
    int lockFd_ = -1;
    int status_ = 0;
    const SimConfig* config_ = nullptr;
};

} // namespace vorq::simcam

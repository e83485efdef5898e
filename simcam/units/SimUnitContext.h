#pragma once

#include "simcam/SimConfig.h"
#include "simcam/SimStateLayout.h"

namespace vorq::simcam {

class SimStateLock;
class SimStateStore;

// What a unit may use while it answers one request: the camera's record
// (locked for the duration), its configuration, the store's blobs, and the
// camera-wide actions.
class SimUnitContext {
public:
    // lock must be held (status 0) and cameraIndex valid.
    SimUnitContext(SimStateLock& lock, int cameraIndex);

    int cameraIndex() const { return cameraIndex_; }
    SimCameraRecord& camera() { return record_; }
    const SimCameraRecord& camera() const { return record_; }
    const SimCameraConfig& config() const { return config_.camera(cameraIndex_); }
    const SimConfig& fullConfig() const { return config_; }
    // For its blobs: the store's own locking calls would wait for the lock
    // this request already holds.
    SimStateStore& store() { return store_; }

    // The camera leaves the bus for reboot_ms and comes back.
    void scheduleReboot();
    // Every setting and V4L2 control back to its default.
    void factoryReset();

private:
    SimStateStore& store_;
    SimCameraRecord& record_;
    const SimConfig& config_;
    int cameraIndex_;
};

} // namespace vorq::simcam

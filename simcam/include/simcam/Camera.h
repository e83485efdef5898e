#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "simcam/Uvc.h"

namespace vorq::simcam {

class SimStateStore;
class SimTrace;

// One handle on a simulated TX42 in a state directory, at the UVC level.
// Every call takes the state lock, so handles in any thread or process see
// one camera. Results are 0 or a Linux errno (ENODEV once the camera has
// left the bus).
class Camera {
public:
    // Null when the camera in slot `index` is not on the bus now. Picks up
    // VORQ_SIM_TRACE.
    static std::unique_ptr<Camera> open(std::shared_ptr<SimStateStore> store, int index);
    // How many cameras the state directory's sim.conf sets up (some may be
    // off the bus); 0 when the state cannot be had.
    static int cameraCount(SimStateStore& store);

    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    const Identity& identity() const { return identity_; }
    const std::vector<ExtensionUnit>& extensionUnits() const;

    // GET_LEN takes a 2-byte buffer (little-endian length), GET_INFO 1 byte;
    // the other queries move exactly `size` bytes, which must be the
    // control's length.
    int xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size);
    // Camera-terminal and processing-unit controls by V4L2 control id.
    int queryControl(uint32_t cid, ControlRange& range);
    int getControl(uint32_t cid, int32_t& value);
    int setControl(uint32_t cid, int32_t value);

    // A separate handle on the same camera; null when it is gone.
    std::unique_ptr<Camera> reopen() const { return open(store_, index_); }

    int index() const { return index_; }
    // "camN", the name the trace and the external-device protocol use.
    const std::string& name() const { return name_; }

private:
    Camera(std::shared_ptr<SimStateStore> store, int index, Identity identity);

    std::shared_ptr<SimStateStore> store_;
    int index_;
    Identity identity_;
    std::string name_;
    std::shared_ptr<SimTrace> trace_;
};

} // namespace vorq::simcam

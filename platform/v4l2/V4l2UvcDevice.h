#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/UvcDevice.h"
#include "v4l2/KernelFd.h"

namespace vorq::platform {

class KernelSeam;

// A camera behind a V4L2 node. The node is opened on first use and stays open
// until the object goes, so a handle that is never used never wakes the camera.
class V4l2UvcDevice : public UvcDevice {
public:
    V4l2UvcDevice(std::shared_ptr<KernelSeam> kernel, std::string nodeName, UvcIdentity identity,
                  std::vector<ExtensionUnit> units);
    ~V4l2UvcDevice() override;

    const UvcIdentity& identity() const override { return identity_; }
    const std::vector<ExtensionUnit>& extensionUnits() const override { return units_; }

    int xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) override;
    int queryControl(uint32_t cid, ControlRange& range) override;
    int getControl(uint32_t cid, int32_t& value) override;
    int setControl(uint32_t cid, int32_t value) override;
    int queryMenu(uint32_t cid, uint32_t index) override;
    int captureModes(std::vector<CaptureMode>& modes) override;

    // Null when the node is gone or now belongs to another camera.
    std::unique_ptr<UvcDevice> reopen() const override;

private:
    std::vector<std::pair<uint32_t, uint32_t>> frameSizes(int fd, uint32_t fourcc);
    std::vector<double> frameRates(int fd, uint32_t fourcc, uint32_t width, uint32_t height);

    // 0 and the node's descriptor, or the errno of the failed open.
    int node(int& fd);

    // Declared before the descriptor: the descriptor closes through it.
    std::shared_ptr<KernelSeam> kernel_;
    std::string nodeName_;
    UvcIdentity identity_;
    std::vector<ExtensionUnit> units_;

    std::mutex openMutex_;
    KernelFd fd_;
};

} // namespace vorq::platform

#include "FakeCameras.h"

#include <cerrno>
#include <memory>

#include "platform/DevicePath.h"
#include "platform/DeviceProvider.h"

using namespace vorq::platform;

namespace {

class FakeDevice : public UvcDevice {
public:
    explicit FakeDevice(UvcIdentity identity) : identity_(std::move(identity)) {}
    const UvcIdentity& identity() const override { return identity_; }
    const std::vector<ExtensionUnit>& extensionUnits() const override { return units_; }
    int xuQuery(uint8_t, uint8_t, uint8_t, uint8_t*, uint16_t) override { return ENODEV; }
    int queryControl(uint32_t, ControlRange&) override { return EINVAL; }
    int getControl(uint32_t, int32_t&) override { return EINVAL; }
    int setControl(uint32_t, int32_t) override { return EINVAL; }
    std::unique_ptr<UvcDevice> reopen() const override { return std::make_unique<FakeDevice>(identity_); }

private:
    UvcIdentity identity_;
    std::vector<ExtensionUnit> units_;
};

} // namespace

FakeCameras::FakeCameras()
{
    DeviceProvider::setSourceForTesting([this] {
        std::lock_guard<std::mutex> lock(mutex_);
        DeviceList list;
        for (size_t i = 0; i < cameras_.size(); ++i)
            list.push_back(std::make_unique<FakeDevice>(identityOf(cameras_[i])));
        return list;
    });
}

FakeCameras::~FakeCameras() { DeviceProvider::setSourceForTesting({}); }

void FakeCameras::set(std::vector<Camera> cameras)
{
    std::lock_guard<std::mutex> lock(mutex_);
    cameras_ = std::move(cameras);
}

FakeCameras::Camera FakeCameras::teldora(const std::string& busPath)
{
    Camera camera;
    camera.busPath = busPath;
    return camera;
}

std::string FakeCameras::deviceNameOf(const Camera& camera) { return vorq::platform::deviceNameOf(identityOf(camera)); }

UvcIdentity FakeCameras::identityOf(const Camera& camera)
{
    UvcIdentity id;
    id.card = camera.card;
    id.usb = camera.usb;
    id.vendorId = camera.vendorId;
    id.productId = 0x0042;
    id.busPath = camera.busPath;
    id.videoNode = "sim-" + camera.busPath; // stable while it stays plugged in
    id.driver = "vivid";
    id.simulated = true;
    // Paced like a camera: lavfi sources otherwise run as fast as they can.
    id.videoGraph = "testsrc2=size={size}:rate={rate},realtime";
    id.microphone = "麦克风 (" + camera.card + ")";
    id.audioGraph = "sine=frequency=440:sample_rate=48000,arealtime";
    id.busy = camera.busy;
    return id;
}

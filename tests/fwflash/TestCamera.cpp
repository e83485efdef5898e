#include "TestCamera.h"

#include <cerrno>
#include <cstring>

#include "fwflash/UpgradeProtocol.h"
#include "upgrade/UpgradeDeviceProtocol.h"

using vorq::simcam::UpgradeDeviceProtocol;

namespace fwtest {

namespace {

class TestUvcDevice final : public vorq::platform::UvcDevice {
public:
    explicit TestUvcDevice(std::shared_ptr<TestCamera> camera) : camera_(std::move(camera)) {}
    const vorq::platform::UvcIdentity& identity() const override { return camera_->identity; }
    const std::vector<vorq::platform::ExtensionUnit>& extensionUnits() const override { return camera_->units; }
    int xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) override
    {
        return camera_->xuQuery(unit, selector, query, data, size);
    }
    int queryControl(uint32_t, vorq::platform::ControlRange&) override { return EINVAL; }
    int getControl(uint32_t, int32_t&) override { return EINVAL; }
    int setControl(uint32_t, int32_t) override { return EINVAL; }
    std::unique_ptr<UvcDevice> reopen() const override
    {
        if (camera_->gone) return nullptr;
        return std::make_unique<TestUvcDevice>(camera_);
    }

private:
    std::shared_ptr<TestCamera> camera_;
};

} // namespace

TestCamera::TestCamera()
{
    identity.card = "TELDORA TX42";
    identity.usb = true;
    identity.vendorId = 0x9f2b;
    identity.productId = 0x0042;
    identity.serial = "SN0001";
    identity.busPath = "1-4";
    identity.videoNode = "/dev/video0";
    // A settings unit first: dev-specific, but of another property set.
    vorq::platform::ExtensionUnit settings;
    settings.unitId = 4;
    vorq::platform::parseGuid("{A7A6A934-3A4A-4351-85F4-042EF2CDCAAB}", settings.guid);
    vorq::platform::ExtensionUnit upgrade;
    upgrade.unitId = 6;
    upgrade.guid = fwflash::kUpgradeUnitSet;
    units = {settings, upgrade};
    store.onReboot = [this] {
        gone = true;
        rebootLeft = rebootEnumerations;
    };
}

int TestCamera::xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    if (gone) return ENODEV;
    if (unplugAfter >= 0 && transfers >= static_cast<uint64_t>(unplugAfter)) {
        gone = true;
        rebootLeft = 1 << 30;
        return ENODEV;
    }
    ++transfers;
    if (unit != 6) return EPIPE;
    int result = 0;
    if (intercept && intercept(selector, query, data, size, result)) {
        if (logTransfers && query == vorq::platform::UVC_SET_CUR) log.push_back({selector, query, {data, data + size}});
        return result;
    }
    if (query == vorq::platform::UVC_GET_LEN) {
        const int length = UpgradeDeviceProtocol::controlLength(selector, store.package);
        if (length < 0 || size != 2) return EINVAL;
        data[0] = static_cast<uint8_t>(length);
        data[1] = static_cast<uint8_t>(length >> 8);
        return 0;
    }
    if (query == vorq::platform::UVC_GET_INFO) {
        data[0] = 3;
        return 0;
    }
    if (query == vorq::platform::UVC_SET_CUR) {
        if (logTransfers) log.push_back({selector, query, {data, data + size}});
        UpgradeDeviceProtocol protocol(store);
        return protocol.write(selector, data, size);
    }
    if (query == vorq::platform::UVC_GET_CUR) {
        UpgradeDeviceProtocol protocol(store);
        result = protocol.read(selector, data, size);
        if (logTransfers && result == 0) log.push_back({selector, query, {data, data + size}});
        return result;
    }
    return EINVAL;
}

std::vector<std::vector<uint8_t>> TestCamera::dataWrites() const
{
    std::vector<std::vector<uint8_t>> writes;
    for (const Transfer& t : log)
        if (t.selector == 6 && t.query == vorq::platform::UVC_SET_CUR) writes.push_back(t.data);
    return writes;
}

std::vector<uint8_t> TestCamera::stateWrites() const
{
    std::vector<uint8_t> codes;
    for (const Transfer& t : log)
        if (t.selector == 5 && t.query == vorq::platform::UVC_SET_CUR) codes.push_back(t.data[0]);
    return codes;
}

TestCameraSource::TestCameraSource(std::vector<std::shared_ptr<TestCamera>> cameras) : cameras_(std::move(cameras))
{
    auto list = cameras_;
    vorq::platform::DeviceProvider::setSourceForTesting([list]() {
        vorq::platform::DeviceList devices;
        for (const auto& camera : list) {
            // A rebooting camera is away for a few walks, then comes back
            // with what the reboot installed.
            if (camera->gone && camera->rebootLeft > 0 && --camera->rebootLeft == 0) {
                camera->gone = false;
                UpgradeDeviceProtocol(camera->store).rebootCompleted();
            }
            if (!camera->gone) devices.push_back(std::make_unique<TestUvcDevice>(camera));
        }
        return devices;
    });
}

TestCameraSource::~TestCameraSource() { vorq::platform::DeviceProvider::setSourceForTesting(nullptr); }

} // namespace fwtest

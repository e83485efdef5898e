// The built-in camera model as a caller of the UVC device level sees it.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "SimTestDirectory.h"
#include "state/SimStateLock.h"
#include "simcam/SimStateStore.h"

using namespace vorq::platform;
using vorq::simcam::SimStateLock;
using vorq::simcam::SimStateStore;

namespace {

constexpr uint8_t kSettings = 4, kZoom = 5, kUpgrade = 6;

class SimCameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.path().empty());
        store = SimStateStore::open(dir.path());
        ASSERT_TRUE(store);
    }
    std::unique_ptr<UvcDevice> camera(size_t index = 0)
    {
        DeviceList all = dir.cameras();
        return index < all.size() ? std::move(all[index]) : nullptr;
    }
    static int get(UvcDevice& d, uint8_t unit, uint8_t selector, std::vector<uint8_t>& out, uint8_t query = UVC_GET_CUR)
    {
        return d.xuQuery(unit, selector, query, out.data(), static_cast<uint16_t>(out.size()));
    }
    static int set(UvcDevice& d, uint8_t unit, uint8_t selector, std::vector<uint8_t> bytes)
    {
        return d.xuQuery(unit, selector, UVC_SET_CUR, bytes.data(), static_cast<uint16_t>(bytes.size()));
    }
    static int byte(UvcDevice& d, uint8_t selector)
    {
        std::vector<uint8_t> b(1, 0xEE);
        return get(d, kSettings, selector, b) == 0 ? b[0] : -1;
    }

    SimTestDirectory dir;
    std::shared_ptr<SimStateStore> store;
};

TEST_F(SimCameraTest, DefaultCameraIdentityAndUnits)
{
    DeviceList all = dir.cameras();
    ASSERT_EQ(all.size(), 1u);
    const UvcIdentity& id = all[0]->identity();
    EXPECT_EQ(id.card, "TELDORA TX42");
    EXPECT_TRUE(id.usb);
    EXPECT_EQ(id.vendorId, 0x9f2b);
    EXPECT_EQ(id.productId, 0x0042);
    EXPECT_EQ(id.serial, "SN0001");
    EXPECT_EQ(id.busPath, "1-4");
    EXPECT_EQ(id.interfaceNumber, 0);
    EXPECT_EQ(id.videoNode, "sim-cam0");
    EXPECT_TRUE(id.simulated);
    EXPECT_FALSE(id.busy);
    EXPECT_EQ(id.microphone, "麦克风 (TELDORA TX42)");
    EXPECT_EQ(id.videoGraph, "testsrc2=size={size}:rate={rate},realtime");
    EXPECT_EQ(id.audioGraph, "sine=frequency=440:sample_rate=48000,arealtime");

    const auto& units = all[0]->extensionUnits();
    ASSERT_EQ(units.size(), 3u);
    const char* guids[] = {"{A7A6A934-3A4A-4351-85F4-042EF2CDCAAB}", "{9D33BBE7-E619-435C-8FAC-528EECCCBCA4}",
                           "{1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54}"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(units[i].unitId, 4 + i);
        EXPECT_EQ(formatGuid(units[i].guid), guids[i]);
    }
}

TEST_F(SimCameraTest, FurtherCamerasHaveTheirOwnSerialBusAndNode)
{
    ASSERT_EQ(store->setConfig("cameras", "3"), 0);
    ASSERT_EQ(store->setConfig("cam1.busy", "1"), 0);
    DeviceList all = dir.cameras();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2]->identity().serial, "SN0003");
    EXPECT_EQ(all[2]->identity().busPath, "1-6");
    EXPECT_EQ(all[2]->identity().videoNode, "sim-cam2");
    EXPECT_EQ(all[2]->identity().card, "TELDORA TX42");
    EXPECT_FALSE(all[0]->identity().busy);
    EXPECT_TRUE(all[1]->identity().busy);
    // A busy camera still answers its controls.
    EXPECT_EQ(byte(*all[1], 13), 6);
    int32_t contrast = 0;
    EXPECT_EQ(all[1]->getControl(V4L2_CID_CONTRAST, contrast), 0);
}

TEST_F(SimCameraTest, DeviceInfoIsFirmwareAndSerialText)
{
    auto cam = camera();
    ASSERT_TRUE(cam);
    std::vector<uint8_t> info(24, 0xEE);
    ASSERT_EQ(get(*cam, kSettings, 9, info), 0);
    std::vector<uint8_t> expected(24, 0);
    std::memcpy(expected.data(), "TX42:1.0.3:SN0001", 17);
    EXPECT_EQ(info, expected);

    // Texts too long for the control are cut and still NUL-terminated.
    ASSERT_EQ(store->setFirmwareVersion(0, "10.20.30-beta"), 0);
    ASSERT_EQ(store->setSerialNumber(0, "SERIAL-0123456789"), 0);
    ASSERT_EQ(get(*cam, kSettings, 9, info), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(info.data()), 23), "TX42:10.20.30-beta:SERI");
    EXPECT_EQ(info[23], 0);
    EXPECT_EQ(store->setFirmwareVersion(0, std::string(40, 'x')), EINVAL);
}

TEST_F(SimCameraTest, SettingsRoundTripExactBytes)
{
    auto cam = camera();
    ASSERT_TRUE(cam);
    EXPECT_EQ(byte(*cam, 10), 1);
    EXPECT_EQ(byte(*cam, 13), 6);
    EXPECT_EQ(byte(*cam, 26), 1);
    // Signed values travel as their two's-complement byte.
    EXPECT_EQ(set(*cam, kSettings, 11, {0xF9}), 0); // -7
    EXPECT_EQ(byte(*cam, 11), 0xF9);
    EXPECT_EQ(set(*cam, kSettings, 14, {0xF6}), 0); // -10
    EXPECT_EQ(set(*cam, kSettings, 15, {0x0A}), 0);
    EXPECT_EQ(set(*cam, kSettings, 13, {5}), 0);
    EXPECT_EQ(set(*cam, kSettings, 24, {1}), 0);
    EXPECT_EQ(set(*cam, kSettings, 25, {1}), 0);
    EXPECT_EQ(set(*cam, kSettings, 27, {0}), 0);
    EXPECT_EQ(byte(*cam, 14), 0xF6);
    EXPECT_EQ(byte(*cam, 15), 0x0A);
    EXPECT_EQ(byte(*cam, 13), 5);
    EXPECT_EQ(byte(*cam, 24), 1);
    EXPECT_EQ(byte(*cam, 25), 1);
    EXPECT_EQ(byte(*cam, 27), 0);

    // Out of range stalls and keeps the value.
    EXPECT_EQ(set(*cam, kSettings, 11, {8}), EPIPE);
    EXPECT_EQ(set(*cam, kSettings, 13, {7}), EPIPE);
    EXPECT_EQ(set(*cam, kSettings, 24, {2}), EPIPE);
    EXPECT_EQ(byte(*cam, 11), 0xF9);

    std::vector<uint8_t> b(1);
    ASSERT_EQ(get(*cam, kSettings, 11, b, UVC_GET_MIN), 0);
    EXPECT_EQ(b[0], 0xF9);
    ASSERT_EQ(get(*cam, kSettings, 11, b, UVC_GET_MAX), 0);
    EXPECT_EQ(b[0], 7);
    ASSERT_EQ(get(*cam, kSettings, 13, b, UVC_GET_DEF), 0);
    EXPECT_EQ(b[0], 6);
}

TEST_F(SimCameraTest, SizesSelectorsAndUnitsAreChecked)
{
    auto cam = camera();
    ASSERT_TRUE(cam);
    std::vector<uint8_t> len(2), info(1);
    ASSERT_EQ(get(*cam, kSettings, 9, len, UVC_GET_LEN), 0);
    EXPECT_EQ(len, (std::vector<uint8_t>{24, 0}));
    ASSERT_EQ(get(*cam, kUpgrade, 6, len, UVC_GET_LEN), 0);
    EXPECT_EQ(len, (std::vector<uint8_t>{0x0D, 0x0C})); // 3085
    ASSERT_EQ(get(*cam, kZoom, 12, info, UVC_GET_INFO), 0);
    EXPECT_EQ(info[0], 0x03);

    std::vector<uint8_t> wrong(1, 0xAB);
    EXPECT_EQ(get(*cam, kSettings, 9, wrong), EINVAL);
    EXPECT_EQ(wrong[0], 0xAB) << "a failed read leaves the buffer alone";
    EXPECT_EQ(get(*cam, kSettings, 9, wrong, UVC_GET_LEN), EINVAL);
    EXPECT_EQ(set(*cam, kSettings, 13, {6, 0}), EINVAL);
    EXPECT_EQ(cam->xuQuery(kSettings, 13, UVC_GET_CUR, nullptr, 1), EINVAL);
    // A selector the unit does not advertise, as the kernel answers it.
    EXPECT_EQ(get(*cam, kSettings, 12, wrong), ENOENT);
    EXPECT_EQ(get(*cam, kUpgrade, 8, len, UVC_GET_LEN), ENOENT);
    EXPECT_EQ(get(*cam, 3, 1, wrong), ENOENT);           // output terminal is no extension unit
    EXPECT_EQ(get(*cam, 9, 1, wrong), ENOENT);
    EXPECT_EQ(get(*cam, kSettings, 13, wrong, 0x42), EINVAL);
    // Read-only and write-only controls stall the other direction.
    EXPECT_EQ(set(*cam, kSettings, 9, std::vector<uint8_t>(24)), EPIPE);
    EXPECT_EQ(get(*cam, kSettings, 23, wrong), EPIPE);
    std::vector<uint8_t> zoom(3);
    EXPECT_EQ(get(*cam, kZoom, 12, zoom), EPIPE);
    EXPECT_EQ(get(*cam, kUpgrade, 6, zoom, UVC_GET_MIN), EINVAL);
}

TEST_F(SimCameraTest, FactoryResetRestoresSettingsAndControls)
{
    auto cam = camera();
    ASSERT_TRUE(cam);
    ASSERT_EQ(set(*cam, kSettings, 13, {5}), 0);
    ASSERT_EQ(set(*cam, kSettings, 25, {1}), 0);
    ASSERT_EQ(cam->setControl(V4L2_CID_CONTRAST, 2), 0);
    ASSERT_EQ(cam->setControl(V4L2_CID_AUTO_WHITE_BALANCE, 0), 0);
    ASSERT_EQ(store->setFirmwareVersion(0, "2.0.0"), 0);

    EXPECT_EQ(set(*cam, kSettings, 23, {0}), 0);
    EXPECT_EQ(byte(*cam, 13), 5) << "writing 0 resets nothing";
    EXPECT_EQ(set(*cam, kSettings, 23, {1}), 0);
    EXPECT_EQ(byte(*cam, 13), 6);
    EXPECT_EQ(byte(*cam, 25), 0);
    int32_t v = -1;
    EXPECT_EQ(cam->getControl(V4L2_CID_CONTRAST, v), 0);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(cam->getControl(V4L2_CID_AUTO_WHITE_BALANCE, v), 0);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(store->firmwareVersion(0), "2.0.0");
}

TEST_F(SimCameraTest, AudioEnableChangeRebootsIntoTheNewValue)
{
    ASSERT_EQ(store->setConfig("reboot_ms", "600000"), 0);
    auto cam = camera();
    ASSERT_TRUE(cam);
    EXPECT_EQ(set(*cam, kSettings, 26, {1}), 0);
    EXPECT_EQ(byte(*cam, 13), 6) << "writing the current value does not reboot";
    EXPECT_EQ(set(*cam, kSettings, 26, {0}), 0);
    EXPECT_EQ(byte(*cam, 26), -1);
    EXPECT_TRUE(dir.cameras().empty());
    {
        SimStateLock lock(*store);
        lock.camera(0)->rebootDeadlineNs = 0; // the reboot is over
    }
    EXPECT_EQ(byte(*cam, 26), 0);
}

TEST_F(SimCameraTest, V4l2Controls)
{
    auto cam = camera();
    ASSERT_TRUE(cam);
    ControlRange r;
    ASSERT_EQ(cam->queryControl(V4L2_CID_CONTRAST, r), 0);
    EXPECT_EQ(r.minimum, 0);
    EXPECT_EQ(r.maximum, 14);
    EXPECT_EQ(r.defaultValue, 7);
    ASSERT_EQ(cam->queryControl(V4L2_CID_PAN_SPEED, r), 0);
    EXPECT_NE(r.defaultValue, 0) << "callers move at the default speed";
    EXPECT_LT(r.minimum, 0);
    ASSERT_EQ(cam->queryControl(V4L2_CID_EXPOSURE_AUTO, r), 0);
    EXPECT_EQ(r.defaultValue, V4L2_EXPOSURE_APERTURE_PRIORITY);

    // The manual partner of an auto control is inactive while auto is on.
    ASSERT_EQ(cam->queryControl(V4L2_CID_WHITE_BALANCE_TEMPERATURE, r), 0);
    EXPECT_TRUE(r.flags & V4L2_CTRL_FLAG_INACTIVE);
    ASSERT_EQ(cam->setControl(V4L2_CID_AUTO_WHITE_BALANCE, 0), 0);
    ASSERT_EQ(cam->queryControl(V4L2_CID_WHITE_BALANCE_TEMPERATURE, r), 0);
    EXPECT_FALSE(r.flags & V4L2_CTRL_FLAG_INACTIVE);

    int32_t v = 0;
    ASSERT_EQ(cam->setControl(V4L2_CID_PAN_ABSOLUTE, 5000), 0);
    ASSERT_EQ(cam->getControl(V4L2_CID_PAN_ABSOLUTE, v), 0);
    EXPECT_EQ(v, 3600) << "rounded to the step";
    ASSERT_EQ(cam->setControl(V4L2_CID_CONTRAST, 99), 0);
    ASSERT_EQ(cam->getControl(V4L2_CID_CONTRAST, v), 0);
    EXPECT_EQ(v, 14) << "clamped to the range";
    EXPECT_EQ(cam->setControl(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_SHUTTER_PRIORITY), EINVAL);
    EXPECT_EQ(cam->setControl(V4L2_CID_POWER_LINE_FREQUENCY, 4), ERANGE);
    ASSERT_EQ(cam->setControl(V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CID_POWER_LINE_FREQUENCY_60HZ), 0);
    ASSERT_EQ(cam->getControl(V4L2_CID_POWER_LINE_FREQUENCY, v), 0);
    EXPECT_EQ(v, V4L2_CID_POWER_LINE_FREQUENCY_60HZ);

    EXPECT_EQ(cam->queryControl(V4L2_CID_ROTATE, r), EINVAL);
    EXPECT_EQ(cam->getControl(V4L2_CID_ROTATE, v), EINVAL);
    EXPECT_EQ(cam->setControl(V4L2_CID_ROTATE, 0), EINVAL);
}

TEST_F(SimCameraTest, ZoomMoveKeepsTheLastMotion)
{
    auto cam = camera();
    ASSERT_TRUE(cam);
    EXPECT_EQ(set(*cam, kZoom, 12, {0xFF, 0, 6}), 0);
    EXPECT_EQ(set(*cam, kZoom, 12, {0x02, 0, 6}), EPIPE);
    SimStateLock lock(*store);
    const uint8_t* motion = lock.camera(0)->zoomMotion;
    EXPECT_EQ(std::vector<uint8_t>(motion, motion + 3), (std::vector<uint8_t>{0xFF, 0, 6}));
}

TEST_F(SimCameraTest, UpgradeUnitAnswersEveryControl)
{
    auto cam = camera();
    ASSERT_TRUE(cam);
    std::vector<uint8_t> version(3), status(5), state(5), error(1), data(3085, 0xEE), progress(14, 0xEE);
    ASSERT_EQ(get(*cam, kUpgrade, 1, version), 0);
    EXPECT_EQ(version, (std::vector<uint8_t>{1, 0, 0}));
    ASSERT_EQ(get(*cam, kUpgrade, 2, status), 0);
    ASSERT_EQ(get(*cam, kUpgrade, 7, progress), 0);
    EXPECT_EQ(progress, std::vector<uint8_t>(14, 0));
    ASSERT_EQ(get(*cam, kUpgrade, 6, data), 0);
    EXPECT_EQ(data[0], 3) << "PKT_END";
    EXPECT_EQ(std::vector<uint8_t>(data.begin() + 1, data.end()), std::vector<uint8_t>(3084, 0));
    EXPECT_EQ(set(*cam, kUpgrade, 3, {4, 0, 0, 0, 0, 0}), 0);
    EXPECT_EQ(set(*cam, kUpgrade, 6, std::vector<uint8_t>(3085, 1)), 0);
    EXPECT_EQ(set(*cam, kUpgrade, 5, {0x20, 0, 0, 0, 0}), 0);
    ASSERT_EQ(get(*cam, kUpgrade, 5, state), 0);
    EXPECT_EQ(state, (std::vector<uint8_t>{0x20, 0, 0, 0, 0}));
    EXPECT_EQ(set(*cam, kUpgrade, 4, {0}), EPIPE);

    ASSERT_EQ(get(*cam, kUpgrade, 4, error), 0);
    EXPECT_EQ(error[0], 0);
    ASSERT_EQ(store->setConfig("error_status", "17"), 0);
    ASSERT_EQ(get(*cam, kUpgrade, 4, error), 0);
    EXPECT_EQ(error[0], 17);

    ASSERT_EQ(store->setConfig("endless_busy", "1"), 0);
    ASSERT_EQ(get(*cam, kUpgrade, 6, data), 0);
    EXPECT_EQ(data[0], 2) << "PKT_BUSY";
    ASSERT_EQ(store->setConfig("short_reads", "1"), 0);
    data[0] = 0xEE;
    EXPECT_EQ(get(*cam, kUpgrade, 6, data), EIO);
    EXPECT_EQ(data[0], 0xEE);

    ASSERT_EQ(store->setConfig("package_size", "3086"), 0);
    std::vector<uint8_t> len(2);
    ASSERT_EQ(get(*cam, kUpgrade, 6, len, UVC_GET_LEN), 0);
    EXPECT_EQ(len, (std::vector<uint8_t>{0x0E, 0x0C}));
    EXPECT_EQ(set(*cam, kUpgrade, 6, std::vector<uint8_t>(3085)), EINVAL);
}

TEST_F(SimCameraTest, RebootCommandAndReopen)
{
    ASSERT_EQ(store->setConfig("reboot_ms", "600000"), 0);
    auto cam = camera();
    ASSERT_TRUE(cam);
    auto second = cam->reopen();
    ASSERT_TRUE(second);
    EXPECT_NE(second.get(), cam.get());
    EXPECT_EQ(second->identity().serial, "SN0001");

    ASSERT_EQ(set(*cam, kUpgrade, 5, {2, 0, 0, 0, 0}), 0);
    std::vector<uint8_t> state(5);
    EXPECT_EQ(get(*second, kUpgrade, 5, state), ENODEV);
    int32_t v = 0;
    EXPECT_EQ(cam->getControl(V4L2_CID_CONTRAST, v), ENODEV);
    EXPECT_FALSE(cam->reopen());
    EXPECT_FALSE(store->isPresent(0));
    {
        SimStateLock lock(*store);
        lock.camera(0)->rebootDeadlineNs = 0;
    }
    ASSERT_EQ(get(*second, kUpgrade, 5, state), 0);
    EXPECT_EQ(state[0], 0) << "back from a reboot the state is idle";
    EXPECT_TRUE(cam->reopen());
}

} // namespace

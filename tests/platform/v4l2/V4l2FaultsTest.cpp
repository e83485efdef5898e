// What real kernels do that the camera layer must survive, on the fake kernel.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>

#include "Descriptors.h"
#include "FakeKernel.h"
#include "SysfsTree.h"
#include "ks/ExtensionUnitProperties.h"
#include "ks/GuardedDevice.h"
#include "ks/KsStatus.h"
#include "ks/V4l2ControlBridge.h"
#include "v4l2/SysfsCameraWalk.h"
#include "v4l2/V4l2UvcDevice.h"

using namespace vorq::platform;
using namespace vorq::platform::ks;

namespace {
const char kCam[] = "devices/pci0000:00/0000:00:14.0/usb1/1-4";
const char kUpgrade[] = "{1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54}";
constexpr uint32_t kCaps = V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE;

class V4l2FaultsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Unit 3 advertises selectors 1 and 3 only (bmControls 05).
        using namespace descriptors;
        GUID guid{};
        parseGuid(kUpgrade, guid);
        uint8_t g[16];
        guidToBytes(guid, g);
        const Bytes unit = join({{26, 0x24, 0x06, 3}, Bytes(g, g + 16), {2, 1, 2, 1, 0x05, 0}});
        tree.addUsbDevice(kCam, "9f2b", "0042", "SN1", "TELDORA TX42", text(join({head(), videoControl(0), unit})));
        tree.addUsbNode(kCam, 0, "video0");
        kernel->nodes["/dev/video0"] = {kCaps, V4L2_CAP_VIDEO_CAPTURE, "TELDORA TX42"};
    }

    std::unique_ptr<GuardedDevice> device()
    {
        auto cam = SysfsCameraWalk(kernel).probe("video0");
        return cam ? std::make_unique<GuardedDevice>(std::move(cam)) : nullptr;
    }

    std::vector<int32_t> writesOf(uint32_t cid) const
    {
        std::vector<int32_t> out;
        for (const auto& c : kernel->controlCalls)
            if (c.request == VIDIOC_S_CTRL && c.id == cid) out.push_back(c.value);
        return out;
    }

    SysfsTree tree;
    std::shared_ptr<FakeKernel> kernel = std::make_shared<FakeKernel>(tree.root());
};
} // namespace

TEST_F(V4l2FaultsTest, DirectionTimesDefaultMovesBothWaysOnOldAndNewKernels)
{
    struct Kernel {
        ControlRange range;
        int32_t expectedSpeed;
    };
    const Kernel kernels[] = {
        {{1, 12, 1, 4, 0}, 4},    // older kernels: the device's speeds
        {{1, 12, 1, 0, 0}, 1},    // ... with a default the device does not accept
        {{-12, 12, 1, 0, 0}, 1},  // current kernels: both directions, default 0
        {{-12, 12, 3, 0, 0}, 3},
    };
    for (const auto& k : kernels) {
        kernel->controls[V4L2_CID_PAN_SPEED] = 0;
        kernel->ranges[V4L2_CID_PAN_SPEED] = k.range;
        kernel->controlCalls.clear();
        auto guarded = device();
        ASSERT_TRUE(guarded);
        V4l2ControlBridge bridge = V4l2ControlBridge::forCameraControl(*guarded);
        long minimum = 0, maximum = 0, step = 0, speed = 0, caps = 0;
        ASSERT_EQ(bridge.getRange(CameraControl_PanRelative, &minimum, &maximum, &step, &speed, &caps), S_OK);
        EXPECT_EQ(speed, k.expectedSpeed) << k.range.minimum << ".." << k.range.maximum;
        EXPECT_LE(minimum, -speed);
        EXPECT_GE(maximum, speed);
        for (int direction : {-1, 1, 0}) EXPECT_EQ(bridge.set(CameraControl_PanRelative, direction * speed, 2), S_OK);
        // Out-of-range speeds become the nearest the camera takes.
        EXPECT_EQ(bridge.set(CameraControl_PanRelative, -100, 2), S_OK);
        EXPECT_EQ(writesOf(V4L2_CID_PAN_SPEED), (std::vector<int32_t>{-k.expectedSpeed, k.expectedSpeed, 0, -12}));
    }
}

TEST_F(V4l2FaultsTest, AutomaticExposureFollowsTheCamerasMenu)
{
    kernel->controls[V4L2_CID_EXPOSURE_ABSOLUTE] = 156;
    kernel->controls[V4L2_CID_EXPOSURE_AUTO] = V4L2_EXPOSURE_MANUAL;
    struct Menu {
        std::vector<uint32_t> items;
        int32_t automatic; // -1: no automatic mode
    };
    const Menu menus[] = {
        {{V4L2_EXPOSURE_MANUAL, V4L2_EXPOSURE_APERTURE_PRIORITY}, V4L2_EXPOSURE_APERTURE_PRIORITY},
        {{V4L2_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL}, V4L2_EXPOSURE_AUTO},
        {{V4L2_EXPOSURE_MANUAL, V4L2_EXPOSURE_SHUTTER_PRIORITY}, -1},
    };
    for (const auto& m : menus) {
        kernel->ranges[V4L2_CID_EXPOSURE_AUTO] = {0, 3, 1, V4L2_EXPOSURE_MANUAL, 0};
        kernel->menus[V4L2_CID_EXPOSURE_AUTO] = m.items;
        kernel->controlCalls.clear();
        auto guarded = device();
        V4l2ControlBridge bridge = V4l2ControlBridge::forCameraControl(*guarded);
        long minimum = 0, maximum = 0, step = 0, def = 0, caps = 0;
        ASSERT_EQ(bridge.getRange(CameraControl_Exposure, &minimum, &maximum, &step, &def, &caps), S_OK);
        EXPECT_EQ(caps, m.automatic < 0 ? CameraControl_Flags_Manual
                                        : CameraControl_Flags_Auto | CameraControl_Flags_Manual);
        EXPECT_EQ(bridge.set(CameraControl_Exposure, 0, CameraControl_Flags_Auto),
                  m.automatic < 0 ? E_INVALIDARG : S_OK);
        EXPECT_EQ(writesOf(V4L2_CID_EXPOSURE_AUTO),
                  m.automatic < 0 ? std::vector<int32_t>{} : std::vector<int32_t>{m.automatic});
    }
    // Shutter priority keeps the exposure time in the user's hands.
    kernel->controls[V4L2_CID_EXPOSURE_AUTO] = V4L2_EXPOSURE_SHUTTER_PRIORITY;
    auto guarded = device();
    long value = 0, flags = 0;
    ASSERT_EQ(V4l2ControlBridge::forCameraControl(*guarded).get(CameraControl_Exposure, &value, &flags), S_OK);
    EXPECT_EQ(flags, CameraControl_Flags_Manual);
}

TEST_F(V4l2FaultsTest, InactiveAndRefusingControlsAreNotFailures)
{
    kernel->controls[V4L2_CID_HUE] = 5;
    kernel->ranges[V4L2_CID_HUE] = {-20, 20, 1, 0, V4L2_CTRL_FLAG_INACTIVE};
    kernel->controls[V4L2_CID_GAIN] = 30;
    kernel->ranges[V4L2_CID_GAIN] = {0, 255, 1, 64, 0};
    kernel->controlErrno[V4L2_CID_GAIN] = EACCES;
    auto guarded = device();
    V4l2ControlBridge amp = V4l2ControlBridge::forVideoProcAmp(*guarded);
    long value = 0, flags = 0;
    ASSERT_EQ(amp.get(VideoProcAmp_Hue, &value, &flags), S_OK);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(flags, VideoProcAmp_Flags_Auto);
    ASSERT_EQ(amp.get(VideoProcAmp_Gain, &value, &flags), S_OK);
    EXPECT_EQ(value, 64);
    EXPECT_EQ(flags, VideoProcAmp_Flags_Auto);
    // A write the camera refuses is the camera's answer, nothing worse.
    EXPECT_EQ(amp.set(VideoProcAmp_Gain, 40, VideoProcAmp_Flags_Manual), hresultFromErrno(EACCES));
    // A disabled control is not there at all.
    kernel->ranges[V4L2_CID_HUE].flags = V4L2_CTRL_FLAG_DISABLED;
    long x = 0;
    EXPECT_EQ(amp.getRange(VideoProcAmp_Hue, &x, &x, &x, &x, &x), kSetNotFound);
}

TEST_F(V4l2FaultsTest, UnadvertisedSelectorIsRefusedBeforeTheKernel)
{
    auto cam = SysfsCameraWalk(kernel).probe("video0");
    ASSERT_TRUE(cam);
    uint8_t len[2] = {};
    EXPECT_EQ(cam->xuQuery(3, 2, UVC_GET_LEN, len, 2), ENOENT);
    EXPECT_EQ(cam->xuQuery(3, 9, UVC_GET_LEN, len, 2), ENOENT);
    EXPECT_TRUE(kernel->xuCalls.empty());
    EXPECT_EQ(cam->xuQuery(3, 3, UVC_GET_LEN, len, 2), 0);
    EXPECT_EQ(kernel->xuCalls.size(), 1u);

    // The same through a topology node: a plain "not found".
    GuardedDevice guarded(std::move(cam));
    ExtensionUnitProperties properties(guarded);
    KSP_NODE request{};
    parseGuid(kUpgrade, request.Property.Set);
    request.Property.Id = 2;
    request.Property.Flags = KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_TOPOLOGY;
    request.NodeId = 3;
    ULONG returned = 7;
    EXPECT_EQ(properties.request(&request.Property, sizeof request, nullptr, nullptr, 0, &returned), kControlNotFound);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(kernel->xuCalls.size(), 1u);
}

TEST_F(V4l2FaultsTest, NodesWeMayNotOpenAreReportedOncePerCameraWithTheirReason)
{
    tree.addUsbNode(kCam, 0, "video1");
    kernel->nodes["/dev/video1"] = {kCaps, V4L2_CAP_META_CAPTURE, "TELDORA TX42"};
    const char kOther[] = "devices/pci0000:00/0000:00:14.0/usb1/1-5";
    tree.addUsbDevice(kOther, "046d", "0825", "", "Desk Cam", descriptors::text(descriptors::head()));
    tree.addUsbNode(kOther, 0, "video2");
    tree.write(std::string(kOther) + "/1-5:1.0/video4linux/video2/name", "Desk Cam\n");
    kernel->nodes["/dev/video2"] = {kCaps, V4L2_CAP_VIDEO_CAPTURE, "Desk Cam", "uvcvideo", EBUSY};
    for (const char* node : {"/dev/video0", "/dev/video1"}) kernel->nodes[node].openErrno = EACCES;

    std::vector<UnavailableCamera> unavailable;
    EXPECT_TRUE(SysfsCameraWalk(kernel).enumerate(&unavailable).empty());
    ASSERT_EQ(unavailable.size(), 2u);
    EXPECT_EQ(unavailable[0].node, "/dev/video0");
    EXPECT_EQ(unavailable[0].name, "TELDORA TX42");
    EXPECT_EQ(unavailable[0].error, EACCES);
    EXPECT_EQ(unavailable[0].reason, std::strerror(EACCES));
    EXPECT_EQ(unavailable[1].node, "/dev/video2");
    EXPECT_EQ(unavailable[1].name, "Desk Cam");
    EXPECT_EQ(unavailable[1].error, EBUSY);
}

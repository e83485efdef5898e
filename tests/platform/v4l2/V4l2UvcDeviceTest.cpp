#include <gtest/gtest.h>

#include <cerrno>
#include <linux/videodev2.h>

#include "Descriptors.h"
#include "FakeKernel.h"
#include "SysfsTree.h"
#include "v4l2/SysfsCameraWalk.h"
#include "v4l2/V4l2UvcDevice.h"

using namespace vorq::platform;

namespace {
const char kCam[] = "devices/pci0000:00/0000:00:14.0/usb1/1-4";

class V4l2UvcDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.addUsbDevice(kCam, "9f2b", "0042", "SN0001", "TELDORA TX42",
                          descriptors::text(descriptors::join(
                              {descriptors::head(), descriptors::videoControl(0),
                               descriptors::extensionUnit(3, "{1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54}")})));
        tree.addUsbNode(kCam, 0, "video0");
        kernel->nodes["/dev/video0"] = {V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE, V4L2_CAP_VIDEO_CAPTURE, "Cam"};
        kernel->controls[V4L2_CID_BRIGHTNESS] = 7;
        cam = SysfsCameraWalk(kernel).probe("video0");
        ASSERT_TRUE(cam);
        kernel->opened.clear();
        kernel->closed.clear();
    }

    SysfsTree tree;
    std::shared_ptr<FakeKernel> kernel = std::make_shared<FakeKernel>(tree.root());
    std::unique_ptr<V4l2UvcDevice> cam;
};
} // namespace

TEST_F(V4l2UvcDeviceTest, RequestsReachTheDriverUnchanged)
{
    uint8_t out[3] = {0x11, 0x22, 0x33};
    ASSERT_EQ(cam->xuQuery(3, 6, UVC_SET_CUR, out, sizeof out), 0);
    ASSERT_EQ(kernel->xuCalls.size(), 1u);
    const auto& set = kernel->xuCalls[0];
    EXPECT_EQ(std::vector<int>({set.unit, set.selector, set.query, set.size}),
              std::vector<int>({3, 6, UVC_SET_CUR, 3}));
    EXPECT_EQ(set.data, out) << "the caller's buffer goes to the driver";
    EXPECT_EQ(set.sent, (std::vector<uint8_t>{0x11, 0x22, 0x33}));

    kernel->xuReply = {0x0c, 0x00};
    uint8_t len[2] = {};
    ASSERT_EQ(cam->xuQuery(3, 2, UVC_GET_LEN, len, sizeof len), 0);
    EXPECT_EQ(len[0], 0x0c);

    ControlRange range;
    ASSERT_EQ(cam->queryControl(V4L2_CID_BRIGHTNESS, range), 0);
    EXPECT_EQ(std::vector<int32_t>({range.minimum, range.maximum, range.step, range.defaultValue}),
              std::vector<int32_t>({-64, 64, 2, 7}));
    EXPECT_EQ(range.flags, uint32_t(V4L2_CTRL_FLAG_SLIDER));
    ASSERT_EQ(cam->setControl(V4L2_CID_BRIGHTNESS, -12), 0);
    int32_t value = 0;
    ASSERT_EQ(cam->getControl(V4L2_CID_BRIGHTNESS, value), 0);
    EXPECT_EQ(value, -12);
    ASSERT_EQ(kernel->controlCalls.size(), 3u);
    EXPECT_EQ(kernel->controlCalls[1].request, (unsigned long)VIDIOC_S_CTRL);
    EXPECT_EQ(kernel->controlCalls[1].id, uint32_t(V4L2_CID_BRIGHTNESS));
}

TEST_F(V4l2UvcDeviceTest, ErrorsComeBackAsErrno)
{
    EXPECT_EQ(cam->xuQuery(3, 1, UVC_GET_CUR, nullptr, 4), EINVAL);
    EXPECT_TRUE(kernel->opened.empty()) << "a bad argument reaches neither open nor ioctl";

    kernel->xuErrno = EPIPE;
    uint8_t buf[4] = {};
    EXPECT_EQ(cam->xuQuery(3, 1, UVC_GET_CUR, buf, 4), EPIPE);

    ControlRange range;
    int32_t value = 99;
    EXPECT_EQ(cam->queryControl(V4L2_CID_GAIN, range), EINVAL);
    EXPECT_EQ(cam->getControl(V4L2_CID_GAIN, value), EINVAL);
    EXPECT_EQ(value, 99);
    EXPECT_EQ(cam->setControl(V4L2_CID_GAIN, 1), EINVAL);
}

TEST_F(V4l2UvcDeviceTest, NodeOpensOnFirstUseOnceAndClosesWithTheObject)
{
    EXPECT_TRUE(kernel->opened.empty());

    // A failed open is reported and tried again on the next call.
    kernel->nodes["/dev/video0"].openErrno = EBUSY;
    int32_t value = 0;
    EXPECT_EQ(cam->getControl(V4L2_CID_BRIGHTNESS, value), EBUSY);
    kernel->nodes["/dev/video0"].openErrno = 0;

    uint8_t info = 0;
    EXPECT_EQ(cam->xuQuery(3, 1, UVC_GET_INFO, &info, 1), 0);
    EXPECT_EQ(cam->getControl(V4L2_CID_BRIGHTNESS, value), 0);
    EXPECT_EQ(kernel->opened.size(), 2u);
    ASSERT_EQ(kernel->openFds.size(), 1u);
    const int fd = kernel->openFds.begin()->first;

    cam.reset();
    EXPECT_EQ(kernel->closed, std::vector<int>{fd});
}

TEST_F(V4l2UvcDeviceTest, ReopenGivesASeparateHandleOnlyWhileTheCameraIsThere)
{
    int32_t value = 0;
    ASSERT_EQ(cam->getControl(V4L2_CID_BRIGHTNESS, value), 0);
    auto again = cam->reopen();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->identity().serial, "SN0001");
    EXPECT_EQ(again->extensionUnits().size(), 1u);
    ASSERT_EQ(again->getControl(V4L2_CID_BRIGHTNESS, value), 0);
    EXPECT_EQ(kernel->openFds.size(), 2u) << "each handle has its own descriptor";

    // The node number now belongs to another camera.
    const char other[] = "devices/pci0000:00/0000:00:14.0/usb1/1-5";
    tree.addUsbDevice(other, "1234", "5678", "X", "Other", "");
    tree.remove("class/video4linux/video0");
    tree.addUsbNode(other, 0, "video0");
    EXPECT_FALSE(cam->reopen());

    tree.remove("class/video4linux/video0");
    EXPECT_FALSE(cam->reopen());
}

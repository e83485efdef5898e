#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <linux/videodev2.h>

#include "Descriptors.h"
#include "FakeKernel.h"
#include "SysfsTree.h"
#include "v4l2/CapabilityCache.h"
#include "v4l2/SysfsCameraWalk.h"

using namespace vorq::platform;
using namespace descriptors;

namespace {
const char kUpgrade[] = "{1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54}";
const char kSettings[] = "{A7A6A934-3A4A-4351-85F4-042EF2CDCAAB}";
const char kZoom[] = "{9D33BBE7-E619-435C-8FAC-528EECCCBCA4}";
const char kOther[] = "{11111111-2222-3333-4444-555555555555}";

const char kCamA[] = "devices/pci0000:00/0000:00:14.0/usb1/1-4";
const char kCamB[] = "devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4.2";
constexpr uint32_t kCaps = V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE;

class SysfsCameraWalkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Camera A: three units, and the same byte pattern in its streaming
        // and audio interfaces.
        tree.addUsbDevice(kCamA, "9f2b", "0042", "SN0001", "TELDORA TX42",
                          text(join({head(), videoControl(0), extensionUnit(4, kSettings), extensionUnit(6, kZoom),
                                     extensionUnit(3, kUpgrade), videoStreaming(1), extensionUnit(9, kOther),
                                     audioControl(2), extensionUnit(10, kOther)})));
        addUsbNodes(kCamA, 0, "video0", "video1", "  TELDORA TX42  ");

        // Camera B: two VideoControl interfaces, nodes only on number 2; no
        // serial and an empty card.
        tree.addUsbDevice(kCamB, "046d", "085e", "", "Cam B",
                          text(join({head(), videoControl(0), extensionUnit(7, kOther), videoControl(2),
                                     extensionUnit(5, kZoom)})));
        addUsbNodes(kCamB, 2, "video2", "video3", "");

        // A platform node reporting only the old capabilities field, one we
        // may not open, and a sub-device that is no camera.
        tree.addPlatformNode("devices/platform/vivid.0", "vivid", "video10");
        kernel->nodes["/dev/video10"] = {V4L2_CAP_VIDEO_CAPTURE, 0, "vivid", "vivid", 0};
        tree.addPlatformNode("devices/platform/vivid.1", "vivid", "video7");
        kernel->nodes["/dev/video7"] = {kCaps, V4L2_CAP_VIDEO_CAPTURE, "locked", "vivid", EACCES};
        tree.write("class/video4linux/v4l-subdev0/name", "subdev\n");
    }

    void addUsbNodes(const char* usbDir, int interfaceNumber, const char* capture, const char* metadata,
                     const char* card)
    {
        tree.addUsbNode(usbDir, interfaceNumber, capture);
        tree.addUsbNode(usbDir, interfaceNumber, metadata);
        kernel->nodes[std::string("/dev/") + capture] = {kCaps, V4L2_CAP_VIDEO_CAPTURE, card};
        kernel->nodes[std::string("/dev/") + metadata] = {kCaps, V4L2_CAP_META_CAPTURE, card};
    }

    DeviceList walk() { return SysfsCameraWalk(kernel).enumerate(); }

    SysfsTree tree;
    std::shared_ptr<FakeKernel> kernel = std::make_shared<FakeKernel>(tree.root());
};

std::string describe(const UvcDevice& d)
{
    const UvcIdentity& i = d.identity();
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", i.vendorId, i.productId);
    std::string s = i.videoNode + "|" + i.card + "|" + (i.usb ? "usb" : "-") + "|" + ids + "|" + i.serial + "|" +
                    i.busPath + "|" + std::to_string(i.interfaceNumber) + "|" + i.driver + "|";
    for (const auto& u : d.extensionUnits()) s += std::to_string(u.unitId) + formatGuid(u.guid) + " ";
    return s;
}
} // namespace

TEST_F(SysfsCameraWalkTest, CaptureNodesInNodeOrderWithTheirIdentityAndUnits)
{
    const auto cameras = walk();
    std::vector<std::string> described;
    for (const auto& c : cameras) described.push_back(describe(*c));
    EXPECT_EQ(described, (std::vector<std::string>{
                             std::string("/dev/video0|TELDORA TX42|usb|9f2b:0042|SN0001|1-4|0|uvcvideo|4") + kSettings +
                                 " 6" + kZoom + " 3" + kUpgrade + " ",
                             std::string("/dev/video2|Cam B|usb|046d:085e||1-4.2|2|uvcvideo|5") + kZoom + " ",
                             "/dev/video10|vivid|-|0000:0000|||0|vivid|",
                         }));

    for (const auto& path : kernel->opened) EXPECT_EQ(path.rfind("/dev/video", 0), 0u) << path;
    EXPECT_TRUE(kernel->openFds.empty()) << "the walk leaves no node open";
}

TEST_F(SysfsCameraWalkTest, BrokenSysfsGivesFewerFactsButNoCrash)
{
    EXPECT_TRUE(SysfsCameraWalk(std::make_shared<FakeKernel>(tree.root() + "/absent")).enumerate().empty());

    // A device that lost its USB attributes is no longer taken for a USB camera.
    tree.remove(std::string(kCamA) + "/idVendor");
    const auto cameras = walk();
    ASSERT_EQ(cameras.size(), 3u);
    EXPECT_FALSE(cameras[0]->identity().usb);
    EXPECT_TRUE(cameras[0]->extensionUnits().empty());
}

TEST_F(SysfsCameraWalkTest, RepeatedWalksOpenOnlyNodesWhoseDeviceChanged)
{
    tree.write(std::string(kCamA) + "/busnum", "1\n");
    tree.write(std::string(kCamA) + "/devnum", "5\n");
    CapabilityCache cache;
    auto cachedWalk = [&] { return SysfsCameraWalk(kernel, &cache).enumerate(); };
    auto opensOf = [&](const std::string& node) {
        return std::count(kernel->opened.begin(), kernel->opened.end(), node);
    };

    ASSERT_EQ(cachedWalk().size(), 3u);
    EXPECT_EQ(opensOf("/dev/video0"), 1);
    EXPECT_EQ(opensOf("/dev/video1"), 1);

    // Camera A is unchanged: described the same without being opened, its
    // metadata node still left out. Camera B says nothing of its device
    // number and is asked each time.
    const auto again = cachedWalk();
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(again[0]->identity().card, "TELDORA TX42");
    EXPECT_EQ(opensOf("/dev/video0"), 1);
    EXPECT_EQ(opensOf("/dev/video1"), 1);
    EXPECT_EQ(opensOf("/dev/video2"), 2);

    // Plugged in again: a new device number, so the node is asked afresh.
    tree.write(std::string(kCamA) + "/devnum", "6\n");
    kernel->nodes["/dev/video0"].card = "TELDORA TX42 v2";
    EXPECT_EQ(cachedWalk()[0]->identity().card, "TELDORA TX42 v2");
    EXPECT_EQ(opensOf("/dev/video0"), 2);

    // A node that vanished is forgotten; when it returns it is asked again.
    tree.remove("class/video4linux/video0");
    tree.remove(std::string(kCamA) + "/1-4:1.0/video4linux/video0");
    EXPECT_EQ(cachedWalk().size(), 2u);
    tree.addUsbNode(kCamA, 0, "video0");
    EXPECT_EQ(cachedWalk().size(), 3u);
    EXPECT_EQ(opensOf("/dev/video0"), 3);
}

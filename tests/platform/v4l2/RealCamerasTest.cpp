#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <ostream>
#include <linux/videodev2.h>

#include "CameraDescriptors.h"
#include "FakeKernel.h"
#include "SysfsTree.h"
#include "platform/CaptureInput.h"
#include "platform/DevicePath.h"
#include "platform/DeviceProvider.h"
#include "v4l2/SysfsCameraWalk.h"
#include "v4l2/UsbDescriptorParser.h"

using namespace vorq::platform;

namespace {

struct RealCamera {
    const char* file;
    const char* card;     // what the kernel calls it
    const char* product;  // the USB product string, when the camera has one
    std::vector<std::pair<int, const char*>> units;
};

// Unit ids and GUIDs as Windows' own descriptor decoder printed them.
const RealCamera kCameras[] = {
    {"046d_0825.bin", "UVC Camera (046d:0825)", "",
     {{3, "{69678EE4-410F-40DB-A850-7420D7D8240E}"}, {4, "{49E40215-F434-47FE-B158-0E885023E51B}"},
      {6, "{1F5D4CA9-DE11-4487-840D-50933C8EC8D1}"}, {7, "{FFE52D21-8030-4E2C-82D9-F587D00540BD}"}}},
    {"046d_0893.bin", "Logitech StreamCam", "Logitech StreamCam",
     {{14, "{2C49D16A-32B8-4485-3EA8-643A152362F2}"}, {6, "{23E49ED0-1178-4F31-AE52-D2FB8A8D3B48}"},
      {8, "{69678EE4-410F-40DB-A850-7420D7D8240E}"}, {9, "{1F5D4CA9-DE11-4487-840D-50933C8EC8D1}"},
      {10, "{49E40215-F434-47FE-B158-0E885023E51B}"}, {11, "{FFE52D21-8030-4E2C-82D9-F587D00540BD}"}}},
    {"0c45_6340.bin", "Trust Webcam", "Trust Webcam", {{4, "{28F03370-6311-4A2E-BA2C-6890EB334016}"}}},
    {"32e4_9422.bin", "H264 USB Camera", "H264 USB Camera",
     {{3, "{28F03370-6311-4A2E-BA2C-6890EB334016}"}, {4, "{DDDF7394-973E-4727-BED9-04ED6426DC67}"}}},
    {"349c_3307.bin", "HD video", "HD video", {}},
};

void PrintTo(const RealCamera& camera, std::ostream* out) { *out << camera.file; }

const char kUsbDir[] = "devices/pci0000:00/0000:00:14.0/usb1/1-1";

class RealCamerasTest : public ::testing::TestWithParam<RealCamera> {
protected:
    void SetUp() override
    {
        if (!descriptors.load(std::string(VORQ_CAMERAS_DIR) + "/" + GetParam().file))
            GTEST_SKIP() << "no camera descriptors in " << VORQ_CAMERAS_DIR;
        char vid[8], pid[8];
        std::snprintf(vid, sizeof vid, "%04x", descriptors.vendorId);
        std::snprintf(pid, sizeof pid, "%04x", descriptors.productId);
        tree.addUsbDevice(kUsbDir, vid, pid, "", GetParam().product, descriptors.raw);

        // One capture node per streaming interface, numbered against the
        // descriptor order (nothing promises the MJPEG node comes first),
        // and a metadata node per camera.
        int next = 0;
        for (const auto& function : descriptors.functions) {
            for (auto s = function.streaming.rbegin(); s != function.streaming.rend(); ++s) {
                const std::string node = "video" + std::to_string(next++);
                tree.addUsbNode(kUsbDir, function.controlInterface, node);
                FakeKernel::Node n{kCaps, V4L2_CAP_VIDEO_CAPTURE, GetParam().card};
                n.modes = s->modes;
                kernel->nodes["/dev/" + node] = n;
            }
            const std::string meta = "video" + std::to_string(next++);
            tree.addUsbNode(kUsbDir, function.controlInterface, meta);
            kernel->nodes["/dev/" + meta] = {kCaps, V4L2_CAP_META_CAPTURE, GetParam().card};
        }
    }

    static constexpr uint32_t kCaps = V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE;
    CameraDescriptors descriptors;
    SysfsTree tree;
    std::shared_ptr<FakeKernel> kernel = std::make_shared<FakeKernel>(tree.root());
};

bool hasMjpeg(const std::vector<CaptureMode>& modes)
{
    for (const auto& m : modes)
        if (m.fourcc == V4L2_PIX_FMT_MJPEG) return true;
    return false;
}

} // namespace

TEST_P(RealCamerasTest, WalkFindsOneCameraPerVideoFunctionWithItsUnitsAndNode)
{
    const RealCamera& expected = GetParam();
    DeviceList cameras = SysfsCameraWalk(kernel).enumerate();
    ASSERT_EQ(cameras.size(), descriptors.functions.size());
    ASSERT_EQ(cameras.size(), 1u);
    const UvcIdentity& id = cameras[0]->identity();
    EXPECT_EQ(id.card, expected.card);

    // The node that streams MJPEG where the camera has several.
    std::string wanted;
    for (const auto& [path, node] : kernel->nodes)
        if (node.deviceCaps == V4L2_CAP_VIDEO_CAPTURE && (wanted.empty() || hasMjpeg(node.modes))) wanted = path;
    EXPECT_EQ(id.videoNode, wanted);
    char path[96];
    std::snprintf(path, sizeof path, "\\\\?\\usb#vid_%04x&pid_%04x&mi_00#1-1#%s", descriptors.vendorId,
                  descriptors.productId, wanted.c_str());
    EXPECT_EQ(devicePathOf(id), path);

    std::vector<std::pair<int, std::string>> units;
    for (const auto& u : cameras[0]->extensionUnits()) {
        units.emplace_back(u.unitId, formatGuid(u.guid));
        EXPECT_TRUE(u.controlsKnown) << int(u.unitId);
        EXPECT_EQ(u.sourceIds.size(), 1u) << int(u.unitId);
    }
    EXPECT_EQ(units, (std::vector<std::pair<int, std::string>>(expected.units.begin(), expected.units.end())));
}

TEST_P(RealCamerasTest, ModeFor800x600At30IsOneTheCameraOffers)
{
    DeviceList cameras = SysfsCameraWalk(kernel).enumerate();
    ASSERT_EQ(cameras.size(), 1u);
    std::vector<CaptureMode> offered;
    ASSERT_EQ(cameras[0]->captureModes(offered), 0);
    ASSERT_FALSE(offered.empty());

    DeviceProvider::setSourceForTesting([this] { return SysfsCameraWalk(kernel).enumerate(); });
    CaptureInput input;
    const int r = CaptureInputResolver::resolveCamera(GetParam().card, 0, VideoRequest{}, input);
    DeviceProvider::setSourceForTesting({});
    ASSERT_EQ(r, 0);
    ASSERT_EQ(input.options.size(), 3u);
    bool found = false;
    for (const auto& m : offered)
        for (double rate : m.frameRates) {
            char text[32];
            std::snprintf(text, sizeof text, "%g", rate);
            found |= input.options[0].second == m.format &&
                     input.options[1].second == std::to_string(m.width) + "x" + std::to_string(m.height) &&
                     input.options[2].second == text;
        }
    EXPECT_TRUE(found) << input.options[0].second << " " << input.options[1].second << "@" << input.options[2].second;
    // MJPEG wherever the camera has it; the camera without it still shows a picture.
    EXPECT_EQ(input.options[0].second, hasMjpeg(offered) ? "mjpeg" : "yuyv422");
}

INSTANTIATE_TEST_SUITE_P(Descriptors, RealCamerasTest, ::testing::ValuesIn(kCameras),
                         [](const ::testing::TestParamInfo<RealCamera>& info) {
                             std::string name = info.param.file;
                             return "cam_" + name.substr(0, name.find('.'));
                         });

// Byte-level facts of two units, decoded by hand from the dump.
TEST(RealCameraUnits, ControlsAndSourcesAreRead)
{
    CameraDescriptors d;
    if (!d.load(std::string(VORQ_CAMERAS_DIR) + "/046d_0825.bin")) GTEST_SKIP();
    const auto units = UsbDescriptorParser::extensionUnits(reinterpret_cast<const uint8_t*>(d.raw.data()),
                                                           d.raw.size(), 0);
    ASSERT_EQ(units.size(), 4u);
    // Unit 3: bmControls 3f 03, fed by unit 2.
    EXPECT_EQ(units[0].sourceIds, std::vector<uint8_t>{2});
    EXPECT_EQ(units[0].controls, (std::vector<uint8_t>{0x3f, 0x03}));
    for (uint8_t selector : {1, 6, 9, 10}) EXPECT_TRUE(units[0].advertises(selector)) << int(selector);
    for (uint8_t selector : {0, 7, 8, 11, 17}) EXPECT_FALSE(units[0].advertises(selector)) << int(selector);
    // Unit 6: three bytes, fed by unit 4.
    EXPECT_EQ(units[2].sourceIds, std::vector<uint8_t>{4});
    EXPECT_EQ(units[2].controls, (std::vector<uint8_t>{0xff, 0xff, 0x03}));
    EXPECT_TRUE(units[2].advertises(18));
    EXPECT_FALSE(units[2].advertises(19));
}

// Runs inside vorq-emulated-camera (see CMakeLists.txt): the platform layer,
// the kernel rules and FFmpeg's v4l2 input against an emulated uvcvideo
// camera made from a real camera's descriptors. VORQ_EMUCAM_CAMERA names
// the camera ("046d_0825", "tx42", ...).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>
#include <map>
#include <set>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
}

#include "platform/CaptureInput.h"
#include "platform/DeviceProvider.h"
#include "platform/Guid.h"
#include "platform/UvcDevice.h"

using namespace vorq::platform;

namespace {

struct Expected {
    std::string card;
    uint16_t vendor, product;
    std::map<int, std::string> units; // unit id -> GUID
    int captureNodes;
};

// What the cameras' README and Windows' descriptor decoder say of them.
const std::map<std::string, Expected> kCameras = {
    {"046d_0825",
     {"UVC Camera (046d:0825)", 0x046d, 0x0825,
      {{3, "{69678EE4-410F-40DB-A850-7420D7D8240E}"}, {4, "{49E40215-F434-47FE-B158-0E885023E51B}"},
       {6, "{1F5D4CA9-DE11-4487-840D-50933C8EC8D1}"}, {7, "{FFE52D21-8030-4E2C-82D9-F587D00540BD}"}},
      1}},
    {"046d_0893",
     {"Logitech StreamCam", 0x046d, 0x0893,
      {{14, "{2C49D16A-32B8-4485-3EA8-643A152362F2}"}, {6, "{23E49ED0-1178-4F31-AE52-D2FB8A8D3B48}"},
       {8, "{69678EE4-410F-40DB-A850-7420D7D8240E}"}, {9, "{1F5D4CA9-DE11-4487-840D-50933C8EC8D1}"},
       {10, "{49E40215-F434-47FE-B158-0E885023E51B}"}, {11, "{FFE52D21-8030-4E2C-82D9-F587D00540BD}"}},
      1}},
    {"0c45_6340", {"Trust Webcam", 0x0c45, 0x6340, {{4, "{28F03370-6311-4A2E-BA2C-6890EB334016}"}}, 1}},
    {"32e4_9422",
     {"H264 USB Camera", 0x32e4, 0x9422,
      {{3, "{28F03370-6311-4A2E-BA2C-6890EB334016}"}, {4, "{DDDF7394-973E-4727-BED9-04ED6426DC67}"}},
      2}},
    {"349c_3307", {"HD video", 0x349c, 0x3307, {}, 1}},
    {"tx42",
     {"TELDORA TX42", 0x9f2b, 0x0042,
      {{4, "{A7A6A934-3A4A-4351-85F4-042EF2CDCAAB}"}, {5, "{9D33BBE7-E619-435C-8FAC-528EECCCBCA4}"},
       {6, "{1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54}"}},
      1}},
};

std::string cameraName()
{
    const char* name = std::getenv("VORQ_EMUCAM_CAMERA");
    return name ? name : "";
}

const Expected& expected()
{
    static const Expected none{};
    auto it = kCameras.find(cameraName());
    return it == kCameras.end() ? none : it->second;
}

class Node {
public:
    explicit Node(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {}
    ~Node()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    int fd() const { return fd_; }
    // 0 or errno.
    template <typename T>
    int io(unsigned long request, T& arg) const
    {
        return ::ioctl(fd_, request, &arg) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// Every (fourcc, size, rate) the node offers, as "mjpeg 800x600@30".
std::set<std::string> offeredModes(const Node& node)
{
    std::set<std::string> modes;
    v4l2_fmtdesc f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (; node.io(VIDIOC_ENUM_FMT, f) == 0; ++f.index) {
        const std::string name = f.pixelformat == V4L2_PIX_FMT_MJPEG  ? "mjpeg"
                                 : f.pixelformat == V4L2_PIX_FMT_YUYV ? "yuyv422"
                                                                       : "other";
        v4l2_frmsizeenum s{};
        s.pixel_format = f.pixelformat;
        for (; node.io(VIDIOC_ENUM_FRAMESIZES, s) == 0; ++s.index) {
            v4l2_frmivalenum iv{};
            iv.pixel_format = f.pixelformat;
            iv.width = s.discrete.width;
            iv.height = s.discrete.height;
            for (; node.io(VIDIOC_ENUM_FRAMEINTERVALS, iv) == 0 && iv.type == V4L2_FRMIVAL_TYPE_DISCRETE; ++iv.index)
                modes.insert(name + " " + std::to_string(s.discrete.width) + "x" + std::to_string(s.discrete.height) +
                             "@" + std::to_string(iv.discrete.denominator / std::max(1u, iv.discrete.numerator)));
        }
    }
    return modes;
}

std::string option(const CaptureInput& input, const std::string& key)
{
    for (const auto& [k, v] : input.options)
        if (k == key) return v;
    return {};
}

struct FormatContextClose {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};

} // namespace

TEST(KernelCamera, WalkFindsTheCameraAsItsDescriptorsDescribeIt)
{
    ASSERT_FALSE(expected().card.empty()) << "unknown camera " << cameraName();
    DeviceList cameras = DeviceProvider::enumerate();
    ASSERT_EQ(cameras.size(), 1u);
    const UvcIdentity& id = cameras[0]->identity();
    EXPECT_EQ(id.card, expected().card);
    EXPECT_TRUE(id.usb);
    EXPECT_EQ(id.vendorId, expected().vendor);
    EXPECT_EQ(id.productId, expected().product);
    EXPECT_EQ(id.busPath, "1-1");
    EXPECT_EQ(id.interfaceNumber, 0);
    EXPECT_EQ(id.videoNode, "/dev/video0");
    EXPECT_EQ(id.driver, "uvcvideo");
    std::map<int, std::string> units;
    for (const auto& u : cameras[0]->extensionUnits()) units[u.unitId] = formatGuid(u.guid);
    EXPECT_EQ(units, expected().units);
}

TEST(KernelCamera, NegotiatedModeIsOneTheCameraOffers)
{
    CaptureInput input;
    ASSERT_EQ(CaptureInputResolver::resolveCamera(expected().card, 0, VideoRequest{"mjpeg", "800x600", 30}, input), 0);
    ASSERT_EQ(input.format, "v4l2");
    Node node(input.url);
    ASSERT_GE(node.fd(), 0);
    const std::set<std::string> modes = offeredModes(node);
    std::string rate = option(input, "framerate");
    const std::string mode = option(input, "input_format") + " " + option(input, "video_size") + "@" + rate;
    EXPECT_TRUE(modes.count(mode)) << mode;
}

TEST(KernelCamera, FfmpegCapturesChangingFramesAtTheNegotiatedMode)
{
    v4l2_format fmt{};
    {
        Node probe("/dev/video0");
        ASSERT_GE(probe.fd(), 0);
        fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        ASSERT_EQ(probe.io(VIDIOC_G_FMT, fmt), 0);
    }
    if (fmt.fmt.pix.pixelformat != V4L2_PIX_FMT_MJPEG && fmt.fmt.pix.pixelformat != V4L2_PIX_FMT_YUYV)
        GTEST_SKIP() << "the first format is neither MJPEG nor YUYV";
    const bool mjpeg = fmt.fmt.pix.pixelformat == V4L2_PIX_FMT_MJPEG;
    const std::string size = std::to_string(fmt.fmt.pix.width) + "x" + std::to_string(fmt.fmt.pix.height);

    avdevice_register_all();
    const AVInputFormat* v4l2 = av_find_input_format("v4l2");
    ASSERT_NE(v4l2, nullptr);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "input_format", mjpeg ? "mjpeg" : "yuyv422", 0);
    av_dict_set(&options, "video_size", size.c_str(), 0);
    AVFormatContext* raw = nullptr;
    const int opened = avformat_open_input(&raw, "/dev/video0", v4l2, &options);
    av_dict_free(&options);
    ASSERT_EQ(opened, 0);
    std::unique_ptr<AVFormatContext, FormatContextClose> input(raw);
    ASSERT_EQ(input->nb_streams, 1u);
    EXPECT_EQ(input->streams[0]->codecpar->codec_id, mjpeg ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_RAWVIDEO);

    // The node is the capture's now: another file handle may look but not stream.
    {
        Node other("/dev/video0");
        v4l2_capability cap{};
        EXPECT_EQ(other.io(VIDIOC_QUERYCAP, cap), 0);
        v4l2_requestbuffers rb{};
        rb.count = 2;
        rb.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        rb.memory = V4L2_MEMORY_MMAP;
        EXPECT_EQ(other.io(VIDIOC_REQBUFS, rb), EBUSY);
    }

    std::vector<std::string> frames;
    std::vector<int64_t> pts;
    AVPacket* packet = av_packet_alloc();
    while (frames.size() < 8 && av_read_frame(input.get(), packet) == 0) {
        frames.emplace_back(reinterpret_cast<const char*>(packet->data), packet->size);
        pts.push_back(packet->pts);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    ASSERT_EQ(frames.size(), 8u);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        EXPECT_NE(frames[i], frames[i - 1]) << "frame " << i << " repeats the one before";
        EXPECT_GT(pts[i], pts[i - 1]);
    }
    if (mjpeg) EXPECT_EQ(frames[0].substr(0, 2), std::string("\xFF\xD8", 2));
    else EXPECT_EQ(frames[0].size(), static_cast<std::size_t>(fmt.fmt.pix.sizeimage));
}

TEST(KernelCamera, ControlsFollowTheDriversRules)
{
    Node node("/dev/video0");
    ASSERT_GE(node.fd(), 0);

    // Values are clamped to the range and rounded to the step.
    v4l2_queryctrl q{};
    q.id = V4L2_CID_BRIGHTNESS;
    if (node.io(VIDIOC_QUERYCTRL, q) == 0) {
        v4l2_control c{V4L2_CID_BRIGHTNESS, q.maximum + 1000};
        EXPECT_EQ(node.io(VIDIOC_S_CTRL, c), 0);
        EXPECT_EQ(node.io(VIDIOC_G_CTRL, c), 0);
        EXPECT_EQ(c.value, q.maximum);
    }

    // A manual value under an automatic master is inactive and refused.
    q = {};
    q.id = V4L2_CID_EXPOSURE_ABSOLUTE;
    if (node.io(VIDIOC_QUERYCTRL, q) == 0) {
        EXPECT_TRUE(q.flags & V4L2_CTRL_FLAG_INACTIVE);
        v4l2_control c{V4L2_CID_EXPOSURE_ABSOLUTE, q.default_value};
        EXPECT_EQ(node.io(VIDIOC_S_CTRL, c), EACCES);
        // Only the menu entries the camera offers exist.
        v4l2_querymenu m{};
        m.id = V4L2_CID_EXPOSURE_AUTO;
        m.index = V4L2_EXPOSURE_AUTO;
        EXPECT_EQ(node.io(VIDIOC_QUERYMENU, m), EINVAL);
        m.index = V4L2_EXPOSURE_MANUAL;
        EXPECT_EQ(node.io(VIDIOC_QUERYMENU, m), 0);
        v4l2_control mode{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL};
        ASSERT_EQ(node.io(VIDIOC_S_CTRL, mode), 0);
        EXPECT_EQ(node.io(VIDIOC_S_CTRL, c), 0);
        q.id = V4L2_CID_EXPOSURE_ABSOLUTE;
        ASSERT_EQ(node.io(VIDIOC_QUERYCTRL, q), 0);
        EXPECT_FALSE(q.flags & V4L2_CTRL_FLAG_INACTIVE);
        mode.value = V4L2_EXPOSURE_APERTURE_PRIORITY;
        EXPECT_EQ(node.io(VIDIOC_S_CTRL, mode), 0);
    }
    v4l2_control missing{V4L2_CID_PRIVACY + 0x100, 0};
    EXPECT_EQ(node.io(VIDIOC_G_CTRL, missing), EINVAL);
}

TEST(KernelCamera, ExtensionUnitRequestsAreCheckedLikeTheDriverDoes)
{
    if (expected().units.empty()) GTEST_SKIP() << "no extension unit";
    Node node("/dev/video0");
    ASSERT_GE(node.fd(), 0);
    const uint8_t unit = static_cast<uint8_t>(expected().units.begin()->first);

    // The first control the unit advertises.
    uint8_t selector = 0;
    uint8_t len[2] = {};
    for (uint8_t s = 1; s < 32 && !selector; ++s) {
        uvc_xu_control_query q{unit, s, UVC_GET_LEN, 2, len};
        if (node.io(UVCIOC_CTRL_QUERY, q) == 0) selector = s;
    }
    ASSERT_NE(selector, 0) << "no control on unit " << int(unit);
    const uint16_t length = static_cast<uint16_t>(len[0] | len[1] << 8);
    ASSERT_GT(length, 0);

    std::vector<uint8_t> data(length + 1u);
    uvc_xu_control_query q{unit, selector, UVC_GET_LEN, 1, data.data()};
    EXPECT_EQ(node.io(UVCIOC_CTRL_QUERY, q), ENOBUFS);
    q = {unit, selector, UVC_GET_DEF, static_cast<uint16_t>(length + 1), data.data()};
    EXPECT_EQ(node.io(UVCIOC_CTRL_QUERY, q), ENOBUFS);
    q = {unit, selector, 0x42, length, data.data()};
    EXPECT_EQ(node.io(UVCIOC_CTRL_QUERY, q), EINVAL);
    q = {unit, 0, UVC_GET_LEN, 2, len};
    EXPECT_EQ(node.io(UVCIOC_CTRL_QUERY, q), ENOENT);
    q = {0xEE, selector, UVC_GET_LEN, 2, len};
    EXPECT_EQ(node.io(UVCIOC_CTRL_QUERY, q), ENOENT);

    // The metadata node has neither controls nor extension units.
    Node meta("/dev/video1");
    ASSERT_GE(meta.fd(), 0);
    v4l2_capability cap{};
    ASSERT_EQ(meta.io(VIDIOC_QUERYCAP, cap), 0);
    EXPECT_TRUE(cap.device_caps & V4L2_CAP_META_CAPTURE);
    EXPECT_FALSE(cap.device_caps & V4L2_CAP_VIDEO_CAPTURE);
    q = {unit, selector, UVC_GET_LEN, 2, len};
    EXPECT_EQ(meta.io(UVCIOC_CTRL_QUERY, q), ENOTTY);
    v4l2_control c{V4L2_CID_BRIGHTNESS, 0};
    EXPECT_EQ(meta.io(VIDIOC_G_CTRL, c), ENOTTY);
}

TEST(KernelCamera, UnplugGivesEnodevAndReplugBringsTheCameraBack)
{
    const char* wrapper = std::getenv("VORQ_EMULATED_CAMERA_PID");
    ASSERT_NE(wrapper, nullptr);
    const pid_t pid = static_cast<pid_t>(std::atoi(wrapper));
    Node node("/dev/video0");
    ASSERT_GE(node.fd(), 0);
    DeviceList before = DeviceProvider::enumerate();
    ASSERT_FALSE(before.empty());

    auto waitUntil = [](const std::function<bool()>& done) {
        for (int i = 0; i < 100 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return done();
    };
    ASSERT_EQ(kill(pid, SIGUSR1), 0);
    v4l2_capability cap{};
    EXPECT_TRUE(waitUntil([&] { return node.io(VIDIOC_QUERYCAP, cap) == ENODEV; }));
    EXPECT_TRUE(waitUntil([] { return DeviceProvider::enumerate().empty(); }));
    v4l2_control c{V4L2_CID_BRIGHTNESS, 0};
    EXPECT_EQ(node.io(VIDIOC_G_CTRL, c), ENODEV);

    ASSERT_EQ(kill(pid, SIGUSR2), 0);
    EXPECT_TRUE(waitUntil([&] { return DeviceProvider::enumerate().size() == before.size(); }));
    // The old handle stays dead; the camera answers on a new one, and the
    // device knows it is the same camera.
    EXPECT_EQ(node.io(VIDIOC_QUERYCAP, cap), ENODEV);
    Node again("/dev/video0");
    EXPECT_EQ(again.io(VIDIOC_QUERYCAP, cap), 0);
    auto reopened = before[0]->reopen();
    EXPECT_NE(reopened, nullptr);
}

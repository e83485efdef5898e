#include <cerrno>
#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/CaptureInput.h"
#include "platform/DeviceProvider.h"

using namespace vorq::platform;

namespace {

class StaticDevice : public UvcDevice {
public:
    explicit StaticDevice(UvcIdentity id) : id_(std::move(id)) {}
    const UvcIdentity& identity() const override { return id_; }
    const std::vector<ExtensionUnit>& extensionUnits() const override { return units_; }
    int xuQuery(uint8_t, uint8_t, uint8_t, uint8_t*, uint16_t) override { return EIO; }
    int queryControl(uint32_t, ControlRange&) override { return EINVAL; }
    int getControl(uint32_t, int32_t&) override { return EINVAL; }
    int setControl(uint32_t, int32_t) override { return EINVAL; }
    std::unique_ptr<UvcDevice> reopen() const override { return std::make_unique<StaticDevice>(id_); }

private:
    UvcIdentity id_;
    std::vector<ExtensionUnit> units_;
};

UvcIdentity realCamera(const std::string& card, const std::string& node)
{
    UvcIdentity id;
    id.card = card;
    id.usb = true;
    id.videoNode = node;
    return id;
}

UvcIdentity simCamera(const std::string& graph, bool busy = false)
{
    UvcIdentity id;
    id.card = "TELDORA TX42";
    id.usb = true;
    id.simulated = true;
    id.videoGraph = graph;
    id.microphone = "麦克风 (TELDORA TX42)";
    id.audioGraph = "sine=frequency=440:sample_rate=48000";
    id.busy = busy;
    return id;
}

class CaptureInputResolverTest : public ::testing::Test {
protected:
    void install(std::vector<UvcIdentity> ids)
    {
        DeviceProvider::setSourceForTesting([ids] {
            DeviceList list;
            for (const auto& id : ids) list.push_back(std::make_unique<StaticDevice>(id));
            return list;
        });
    }
    void TearDown() override { DeviceProvider::setSourceForTesting({}); }
};

TEST_F(CaptureInputResolverTest, RealCameraOpensItsNodeWithV4l2Options)
{
    install({realCamera("TELDORA TX42", "/dev/video0"), realCamera("TELDORA TX42", "/dev/video2")});
    CaptureInput in;
    VideoRequest request;
    request.videoSize = "1280x720";
    request.frameRate = 25;
    ASSERT_EQ(0, CaptureInputResolver::resolveCamera("TELDORA TX42", 1, request, in));
    EXPECT_EQ("v4l2", in.format);
    EXPECT_EQ("/dev/video2", in.url);
    using Opt = std::pair<std::string, std::string>;
    EXPECT_EQ((std::vector<Opt>{{"input_format", "mjpeg"}, {"video_size", "1280x720"}, {"framerate", "25"}}),
              in.options);
}

TEST_F(CaptureInputResolverTest, SimulatedCameraBecomesItsGraph)
{
    install({realCamera("Other Cam", "/dev/video0"), simCamera("testsrc2=size={size}:rate={rate}"),
             simCamera("color=c=red")});
    CaptureInput in;
    ASSERT_EQ(0, CaptureInputResolver::resolveCamera("TELDORA TX42", 0, VideoRequest{}, in));
    EXPECT_EQ("lavfi", in.format);
    EXPECT_EQ("testsrc2=size=800x600:rate=30", in.url);
    EXPECT_TRUE(in.options.empty());

    // A graph that does not name its size gets one.
    ASSERT_EQ(0, CaptureInputResolver::resolveCamera("TELDORA TX42", 1, VideoRequest{}, in));
    EXPECT_EQ("color=c=red,scale=800:600,fps=30", in.url);
}

TEST_F(CaptureInputResolverTest, FailuresSayWhy)
{
    install({simCamera("testsrc2=size={size}:rate={rate}", true)});
    CaptureInput in;
    in.url = "untouched";
    EXPECT_EQ(EBUSY, CaptureInputResolver::resolveCamera("TELDORA TX42", 0, VideoRequest{}, in));
    EXPECT_EQ(ENOENT, CaptureInputResolver::resolveCamera("TELDORA TX42", 1, VideoRequest{}, in));
    EXPECT_EQ(ENOENT, CaptureInputResolver::resolveCamera("TELDORA", 0, VideoRequest{}, in));
    EXPECT_EQ(EINVAL, CaptureInputResolver::resolveCamera("TELDORA TX42", -1, VideoRequest{}, in));
    for (const char* size : {"800", "0x600", "800x600x", "axb", ""}) {
        VideoRequest bad;
        bad.videoSize = size;
        EXPECT_EQ(EINVAL, CaptureInputResolver::resolveCamera("TELDORA TX42", 0, bad, in)) << size;
    }
    EXPECT_EQ("untouched", in.url);
}

TEST_F(CaptureInputResolverTest, SimulatedMicrophoneIsTheTone)
{
    install({simCamera("testsrc2")});
    CaptureInput in;
    ASSERT_EQ(0, CaptureInputResolver::resolveMicrophone("麦克风 (TELDORA TX42)", 0, in));
    EXPECT_EQ("lavfi", in.format);
    EXPECT_EQ("sine=frequency=440:sample_rate=48000", in.url);
}

// The test runner's PulseAudio server has the sources "麦克风 (TELDORA TX42)"
// and "Microphone (Generic USB Audio)" plus the monitors of two sinks, one of
// them "扬声器 (TELDORA TX42)".
TEST_F(CaptureInputResolverTest, RealMicrophoneIsTheMatchingPulseSource)
{
    if (!std::getenv("PULSE_SERVER")) GTEST_SKIP() << "no PulseAudio test server";
    install({});
    CaptureInput in;
    ASSERT_EQ(0, CaptureInputResolver::resolveMicrophone("麦克风 (TELDORA TX42)", 0, in));
    EXPECT_EQ("pulse", in.format);
    EXPECT_EQ("vorq_mic", in.url);
    ASSERT_EQ(0, CaptureInputResolver::resolveMicrophone("Mikrofon (Generic USB Audio)", 0, in));
    EXPECT_EQ("vorq_other_mic", in.url);
    // The monitor of the camera's speaker also carries the camera's name but
    // is not a microphone.
    EXPECT_EQ(ENOENT, CaptureInputResolver::resolveMicrophone("麦克风 (TELDORA TX42)", 1, in));
    EXPECT_EQ(ENOENT, CaptureInputResolver::resolveMicrophone("麦克风 (Nothing Here)", 0, in));
}

} // namespace

namespace {
// A source standing in for a USB camera's microphone, carrying what
// PulseAudio's udev detection puts on one. The server's null source takes no
// properties, so it is a remap of the test server's microphone. Unloaded
// again with the object.
class UsbSource {
public:
    UsbSource(const std::string& name, const std::string& properties)
    {
        const std::string command = "pactl load-module module-remap-source master=vorq_mic source_name=" + name +
                                    " 'source_properties=\"device.description=USB-Audio " + properties + "\"' 2>/dev/null";
        if (FILE* p = popen(command.c_str(), "r")) {
            char line[32] = {};
            if (std::fgets(line, sizeof line, p)) index_ = std::atoi(line);
            pclose(p);
        }
    }
    ~UsbSource()
    {
        if (index_ >= 0) std::system(("pactl unload-module " + std::to_string(index_)).c_str());
    }
    bool loaded() const { return index_ >= 0; }

private:
    int index_ = -1;
};
} // namespace

TEST_F(CaptureInputResolverTest, CameraMicrophoneIsFoundByItsUsbIdentity)
{
    if (!std::getenv("PULSE_SERVER")) GTEST_SKIP() << "no PulseAudio test server";
    // Two cameras of one name: one tied to its source by the sysfs path,
    // the other (on another port) by vendor, product and serial.
    UsbSource first("vorq_usb_first", "sysfs.path=/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.2/sound/card2 "
                                      "device.bus_path=pci-0000:00:14.0-usb-0:4:1.2");
    UsbSource second("vorq_usb_second",
                     "device.vendor.id=9f2b device.product.id=0042 device.serial=TELDORA_TX42_SN0002");
    UsbSource stranger("vorq_usb_stranger", "sysfs.path=/devices/pci0000:00/0000:00:14.0/usb1/1-7/1-7:1.2/sound/card3 "
                                            "device.vendor.id=9f2b device.product.id=0042");
    ASSERT_TRUE(first.loaded() && second.loaded() && stranger.loaded());

    UvcIdentity a = realCamera("TELDORA TX42", "/dev/video0");
    a.vendorId = 0x9f2b;
    a.productId = 0x0042;
    a.busPath = "1-4";
    a.serial = "SN0001";
    UvcIdentity b = a;
    b.videoNode = "/dev/video2";
    b.busPath = "3-1";
    b.serial = "SN0002";
    install({a, b});

    CaptureInput in;
    std::vector<std::string> found;
    for (int number = 0; CaptureInputResolver::resolveMicrophone("麦克风 (TELDORA TX42)", number, in) == 0; ++number)
        found.push_back(in.url);
    // By identity first, in camera order; the description only after them.
    EXPECT_EQ(found, (std::vector<std::string>{"vorq_usb_first", "vorq_usb_second", "vorq_mic"}));
}

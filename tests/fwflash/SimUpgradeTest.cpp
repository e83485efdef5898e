// The engine against the built-in simulated camera, checked from the
// simulator's transfer trace: what the camera received, in which order.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "EngineFixture.h"
#include "camfw_flash/camfw_flash.h"
#include "sim/Json.h"
#include "simcam/SimStateStore.h"

using testing::EndsWith;
using testing::HasSubstr;

namespace fwtest {
namespace {

struct TraceEntry {
    int selector = 0;
    std::string query;
    std::vector<uint8_t> data;
    int err = 0;
};

std::vector<uint8_t> fromHex(const std::string& hex)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// The protocol's waits, a hundred times shorter: the simulated camera's
// reboot still takes its real time.
class ShortWaitClock final : public fwflash::UpgradeClock {
public:
    uint64_t nowMs() override
    {
        using namespace std::chrono;
        return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    void sleepMs(uint32_t ms) override
    {
        longest = std::max(longest, ms);
        std::this_thread::sleep_for(std::chrono::microseconds(uint64_t(ms) * 10));
    }
    uint32_t longest = 0;
};

class SimUpgradeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        previousDir_ = cwd;
        char pattern[] = "/tmp/fwflash-sim.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        ASSERT_EQ(chdir(root_.c_str()), 0);
        fwflash::UpgradeClock::install(&clock_);
        useStateDirectory("sim");
    }
    void TearDown() override
    {
        fwflash::UpgradeClock::install(nullptr);
        unsetenv("VORQ_SIM");
        unsetenv("VORQ_SIM_TRACE");
        EXPECT_EQ(chdir(previousDir_.c_str()), 0);
        EXPECT_EQ(std::system(("rm -rf '" + root_ + "'").c_str()), 0);
    }

    // A fresh simulated camera with its own state and trace.
    void useStateDirectory(const std::string& name, const std::string& config = "reboot_ms=200\n")
    {
        state_ = root_ + "/" + name;
        trace_ = state_ + ".trace";
        ASSERT_EQ(std::system(("mkdir -p '" + state_ + "'").c_str()), 0);
        std::ofstream(state_ + "/sim.conf") << config;
        setenv("VORQ_SIM", state_.c_str(), 1);
        setenv("VORQ_SIM_TRACE", trace_.c_str(), 1);
    }

    std::string run(int mode, const char* a1, const char* a2, const char* a3 = "", const char* a4 = "")
    {
        capturedOutput().clear();
        upgrade(mode, a1, a2, a3, a4, capturePrint);
        return capturedOutput();
    }

    std::vector<TraceEntry> trace() const
    {
        std::vector<TraceEntry> entries;
        std::ifstream in(trace_);
        std::string line;
        while (std::getline(in, line)) {
            vorq::platform::Json value;
            if (!vorq::platform::parseJson(line, value)) continue;
            TraceEntry e;
            e.selector = static_cast<int>(value.value("selector", int64_t{0}));
            e.query = value.value("query", std::string());
            e.data = fromHex(value.value("data", std::string()));
            e.err = static_cast<int>(value.value("errno", int64_t{0}));
            entries.push_back(std::move(e));
        }
        return entries;
    }

    std::string firmware()
    {
        auto store = vorq::simcam::SimStateStore::open(state_);
        return store ? store->firmwareVersion(0) : std::string();
    }

    ShortWaitClock clock_;
    std::string root_;
    std::string previousDir_;
    std::string state_;
    std::string trace_;
};

std::vector<uint8_t> writePattern(const std::string& path, size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 131) ^ (i >> 7));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
    return bytes;
}

TEST_F(SimUpgradeTest, ImageUpgradeAsTheCameraSawIt)
{
    const std::vector<uint8_t> image = writePattern("Lynx-A_v2.img", 3072 * 5 + 100);
    const std::string out = run(2, "-M", "Lynx-A_v2.img", "-I", "0");
    EXPECT_THAT(out, HasSubstr("MTD Upgrade ...\nsend file:Lynx-A_v2.img\n"));
    EXPECT_THAT(out, HasSubstr("\rsend file:100%\n\rflash write:"));
    // While the only camera reboots, each look finds no camera at all.
    const std::string wait = "\rflash write:100.0%\nPlease wait for the upgrade to complete ...\n";
    ASSERT_NE(out.find(wait), std::string::npos);
    std::string rest = out.substr(out.find(wait) + wait.size());
    const std::string none = "Error: No camera device find!\n";
    for (size_t at; (at = rest.find(none)) != std::string::npos;) rest.erase(at, none.size());
    EXPECT_EQ(rest, "MTD Upgrade Complete!\n\nexit\n");

    std::vector<int> states;
    std::vector<std::vector<uint8_t>> packets;
    for (const TraceEntry& e : trace()) {
        if (e.query != "SET_CUR") continue;
        if (e.selector == 5) states.push_back(e.data.at(0));
        if (e.selector == 6) packets.push_back(e.data);
    }
    // Every command armed from idle: the records at bind time, then the image.
    EXPECT_EQ(states, (std::vector<int>{0, 42, 0, 43, 0, 44, 0, 45, 0, 46, 0, 47, 0, 32}));

    ASSERT_EQ(packets.size(), 1u + 6u);
    const auto& info = packets[0];
    ASSERT_EQ(info.size(), 3085u);
    EXPECT_EQ(info[0], 0);
    EXPECT_EQ(le32At(info, 1), 0u);
    EXPECT_EQ(le32At(info, 5), 165u);
    EXPECT_EQ(le32At(info, 9), 165u);
    EXPECT_STREQ(reinterpret_cast<const char*>(info.data() + 13), "Lynx-A_v2.img");
    EXPECT_EQ(le32At(info, 13 + 128), image.size());
    std::vector<uint8_t> md5(16);
    unsigned int length = 0;
    EVP_Digest(image.data(), image.size(), md5.data(), &length, EVP_md5(), nullptr);
    EXPECT_EQ(std::vector<uint8_t>(info.begin() + 145, info.begin() + 161), md5);

    std::vector<uint8_t> received;
    for (size_t i = 1; i < packets.size(); ++i) {
        const auto& p = packets[i];
        EXPECT_EQ(p[0], 1);
        EXPECT_EQ(le32At(p, 1), received.size());
        EXPECT_EQ(le32At(p, 5), image.size());
        const uint32_t n = le32At(p, 9);
        EXPECT_EQ(n, i < packets.size() - 1 ? 3072u : 100u);
        received.insert(received.end(), p.begin() + 13, p.begin() + 13 + n);
    }
    EXPECT_EQ(received, image);

    // Back from the reboot with the image's firmware, for the settings unit too.
    EXPECT_EQ(firmware(), "2.0.0");
    EXPECT_THAT(run(1, "-I", "0"), HasSubstr(" Soc Version:2.0.0"));
}

TEST_F(SimUpgradeTest, EndlessPollIntervalIsCut)
{
    useStateDirectory("faulty", "reboot_ms=200\nflash_poll_fault_ms=0xFFFFFFFF\n");
    writePattern("Lynx-A_v2.img", 5000);
    EXPECT_THAT(run(2, "-M", "Lynx-A_v2.img", "-I", "0"), EndsWith("MTD Upgrade Complete!\n\nexit\n"));
    EXPECT_EQ(clock_.longest, 10000u); // the completion wait; no flash poll waited longer
    EXPECT_EQ(firmware(), "2.0.0");
}

TEST_F(SimUpgradeTest, FilesAndSerialNumber)
{
    auto store = vorq::simcam::SimStateStore::open(state_);
    ASSERT_TRUE(store);
    const std::vector<uint8_t> calibration(9000, 0x3C);
    ASSERT_EQ(store->writeBlob("calib.bin", calibration), 0);
    writePattern("payload.bin", 4000);
    ASSERT_EQ(std::system("mkdir -p logs"), 0);

    EXPECT_THAT(run(2, "-S", "SIM-SN-7", "-U", "calib.bin"), EndsWith("\n\nexit\n"));
    EXPECT_EQ(store->serialNumber(0), "SIM-SN-7");
    std::ifstream in("calib.bin", std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), calibration);

    EXPECT_THAT(run(2, "-D", "payload.bin", "-L", "logs/"), EndsWith("\n\nexit\n"));
    std::vector<uint8_t> stored;
    EXPECT_EQ(store->readBlob("payload.bin", stored), 0);
    EXPECT_EQ(stored.size(), 4000u);
    EXPECT_EQ(access("logs/vorq_log.tar.gz", R_OK), 0);
}

TEST_F(SimUpgradeTest, SerialNumbersFillTheWholeBlock)
{
    auto store = vorq::simcam::SimStateStore::open(state_);
    ASSERT_TRUE(store);
    for (size_t length : {31u, 32u, 63u}) {
        const std::string serial = "SN" + std::string(length - 2, static_cast<char>('A' + length % 26));
        EXPECT_THAT(run(2, "-S", serial.c_str(), "-I", "0"), EndsWith("\n\nexit\n")) << length;
        EXPECT_EQ(store->serialNumber(0), serial);
    }
}

TEST_F(SimUpgradeTest, UnplugDuringEachStage)
{
    // A clean run tells at which transfer each stage starts.
    writePattern("Lynx-A_v2.img", 3072 * 4);
    useStateDirectory("clean");
    ASSERT_THAT(run(2, "-M", "Lynx-A_v2.img", "-I", "0"), EndsWith("\nexit\n"));
    const std::vector<TraceEntry> entries = trace();
    size_t infoAt = 0, dataAt = 0, flashAt = 0;
    int dataSeen = 0, flashSeen = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const TraceEntry& e = entries[i];
        if (e.selector == 6 && e.query == "SET_CUR" && e.data.at(0) == 0 && !infoAt) infoAt = i;
        if (e.selector == 6 && e.query == "SET_CUR" && e.data.at(0) == 1 && ++dataSeen == 2) dataAt = i;
        if (e.selector == 7 && e.query == "GET_CUR" && ++flashSeen == 2) flashAt = i;
    }
    ASSERT_TRUE(infoAt && dataAt && flashAt);

    const struct {
        const char* stage;
        size_t at;
        const char* ending;
    } cases[] = {
        {"information", infoAt, "put_Property fail\nSetUsbData error\nMTD_Upgrade SendFile error\n"},
        {"data", dataAt, "put_Property fail\n\rsend file:50%SetUsbData error\nMTD_Upgrade SendFile error\n"},
        {"flash", flashAt, "get_Property fail\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stage);
        useStateDirectory(std::string("unplug-") + c.stage, "unplug_after=" + std::to_string(c.at) + "\n");
        EXPECT_THAT(run(2, "-M", "Lynx-A_v2.img", "-I", "0"),
                    EndsWith(std::string(c.ending) + "MTD Upgrade Error!\nrun cmd error!\nUpgrade error!\n"));
        EXPECT_EQ(firmware(), "1.0.3");
    }
}

TEST_F(SimUpgradeTest, FaultsEndWithTheirMessages)
{
    writePattern("Lynx-A_v2.img", 5000);
    writePattern("payload.bin", 5000);
    const struct {
        const char* config;
        const char* a1;
        const char* a2;
        const char* ending;
    } cases[] = {
        {"endless_busy=1\n", "-I", "0", "GetUsbData error\nGetHwInfo error \nUpdateDeviceAttributes error\n"},
        {"short_reads=1\n", "-I", "0", "get_Property fail\nGetUsbData error\nGetHwInfo error \nUpdateDeviceAttributes error\n"},
        {"bad_crc=1\n", "-I", "0", "crc error\nGetHwInfo error \nUpdateDeviceAttributes error\n"},
        {"package_size=3086\n", "-I", "0",
         "usb data package size error!,support max:3072\nGetUpgradeVersion error \nUpdateDeviceAttributes error\n"},
        {"error_status=19\nerror_step=data\n", "-D", "payload.bin",
         "get error status: ERROR_STATUS_CHECK_DATA\nerror_status :ERROR_STATUS_CHECK_DATA\n"
         "SendFileToDevice Error!\nrun cmd error!\n"},
        {"flash_fail=1\n", "-M", "Lynx-A_v2.img", "flash write error\nMTD Upgrade Error!\nrun cmd error!\n"},
        {"endless_busy=1\nendless_busy_command=36\n", "-U", "anything",
         "get error status: ERROR_STATUS_FOPEN\nerror_status :ERROR_STATUS_FOPEN\nReceiveFile Error!\nrun cmd error!\n"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        useStateDirectory("fault" + std::to_string(n++), c.config);
        EXPECT_THAT(run(1, c.a1, c.a2), EndsWith(std::string(c.ending) + "Upgrade error!\n"));
    }

    // A camera that never gets a stored file ready is given up on.
    useStateDirectory("busy-upload", "endless_busy=1\nendless_busy_command=36\n");
    auto store = vorq::simcam::SimStateStore::open(state_);
    ASSERT_TRUE(store);
    ASSERT_EQ(store->writeBlob("calib.bin", std::vector<uint8_t>(10, 1)), 0);
    class QuickTimeClock final : public fwflash::UpgradeClock {
    public:
        uint64_t now = 0;
        uint64_t nowMs() override { return now += 100; }
        void sleepMs(uint32_t) override {}
    } quick;
    fwflash::UpgradeClock::install(&quick);
    unsetenv("VORQ_SIM_TRACE");
    EXPECT_THAT(run(1, "-U", "calib.bin"), EndsWith("Receive File\nGetUsbData error\nReceiveFile Error!\nrun cmd error!\n"
                                                    "Upgrade error!\n"));
}

} // namespace
} // namespace fwtest

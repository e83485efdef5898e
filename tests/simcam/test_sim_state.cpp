// The shared state directory: configuration, processes, reboots, faults,
// damaged files and blobs.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "SimTestDirectory.h"
#include "simcam/SimConfig.h"
#include "state/SimStateLock.h"
#include "simcam/SimStateStore.h"

using namespace vorq::platform;
using vorq::simcam::SimConfig;
using vorq::simcam::SimStateLock;
using vorq::simcam::SimStateStore;

namespace {

constexpr uint8_t kSettings = 4;

int readStyle(UvcDevice& cam)
{
    uint8_t b = 0;
    int err = cam.xuQuery(kSettings, 13, UVC_GET_CUR, &b, 1);
    return err ? -err : b;
}

int writeStyle(UvcDevice& cam, uint8_t value) { return cam.xuQuery(kSettings, 13, UVC_SET_CUR, &value, 1); }

std::string fileText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class SimStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.path().empty());
        store = SimStateStore::open(dir.path());
        ASSERT_TRUE(store);
    }
    SimTestDirectory dir;
    std::shared_ptr<SimStateStore> store;
};

TEST(SimConfigTest, ParsesKeysCommentsOverridesAndBadValues)
{
    std::string diagnostics;
    SimConfig c = SimConfig::parse("# comment\n"
                                   "cameras = 3\n"
                                   "busy=1   # trailing comment\n"
                                   "cam2.busy=0\n"
                                   "reboot_ms=abc\n"
                                   "package_size=99999\n"
                                   "no equals sign\n"
                                   "future_key=hello\n"
                                   "cam1.package_size=8\n",
                                   &diagnostics);
    EXPECT_EQ(c.cameras(), 3);
    EXPECT_TRUE(c.camera(0).busy);
    EXPECT_TRUE(c.camera(1).busy);
    EXPECT_FALSE(c.camera(2).busy);
    EXPECT_EQ(c.camera(0).rebootMs, 3000) << "a bad number keeps the default";
    EXPECT_EQ(c.camera(0).packageSize, 65535) << "out of range is clamped";
    EXPECT_EQ(c.camera(1).packageSize, 13) << "the data control holds at least a packet header";
    EXPECT_EQ(c.camera(0).unplugAfter, -1);
    std::string value;
    EXPECT_TRUE(c.lookup("future_key", 1, value));
    EXPECT_EQ(value, "hello");
    EXPECT_NE(diagnostics.find("reboot_ms"), std::string::npos);
    EXPECT_NE(diagnostics.find("package_size"), std::string::npos);
    EXPECT_NE(diagnostics.find("line 7"), std::string::npos);
    EXPECT_EQ(SimConfig::parse("cameras=9").cameras(), 4);
    EXPECT_EQ(SimConfig::parse("cameras=0").cameras(), 1);
}

TEST_F(SimStateTest, ConfigEditsKeepTheRestOfTheFile)
{
    std::string text = fileText(store->configPath());
    EXPECT_NE(text.find("# reboot_ms=3000"), std::string::npos) << "a new directory gets a commented sim.conf";
    ASSERT_EQ(store->replaceConfig("# mine\nbusy=1\nerror_status=3\n"), 0);
    ASSERT_EQ(store->setConfig("error_status", "4"), 0);
    ASSERT_EQ(store->setConfig("cameras", "2"), 0);
    EXPECT_EQ(fileText(store->configPath()), "# mine\nbusy=1\nerror_status=4\ncameras=2\n");
    ASSERT_EQ(store->clearConfig("busy"), 0);
    EXPECT_EQ(fileText(store->configPath()), "# mine\nerror_status=4\ncameras=2\n");
    EXPECT_EQ(store->setConfig("bad key", "1"), EINVAL);
    EXPECT_EQ(store->setConfig("busy", "1\ncameras=4"), EINVAL);
}

TEST_F(SimStateTest, EveryConfigWriteIsSeenAtOnce)
{
    auto cams = dir.cameras();
    ASSERT_EQ(cams.size(), 1u);
    // Same size, written within one time-stamp tick: still noticed.
    for (int i = 1; i <= 9; ++i) {
        ASSERT_EQ(store->setConfig("error_status", std::to_string(i)), 0);
        uint8_t status = 0;
        ASSERT_EQ(cams[0]->xuQuery(6, 4, UVC_GET_CUR, &status, 1), 0);
        EXPECT_EQ(status, i);
    }
}

// Read-modify-write of a counter under the lock, with the window between
// read and write held open.
bool bumpCounter(SimStateStore& store, int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        SimStateLock lock(store);
        if (lock.status()) return false;
        uint64_t seen = lock.camera(1)->transferCount;
        sched_yield();
        lock.camera(1)->transferCount = seen + 1;
    }
    return true;
}

TEST_F(SimStateTest, TwoProcessesShareOneCameraUnderTheLock)
{
    auto cams = dir.cameras();
    ASSERT_EQ(cams.size(), 1u);
    constexpr int kRounds = 2000;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child keeps using the store and camera it inherited.
        char c;
        bool ok = ::read(go[0], &c, 1) == 1;
        ok = ok && writeStyle(*cams[0], 5) == 0;
        ok = bumpCounter(*store, kRounds) && ok;
        _exit(ok ? 0 : 1);
    }
    ASSERT_EQ(::write(go[1], "x", 1), 1);
    EXPECT_TRUE(bumpCounter(*store, kRounds));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ::close(go[0]);
    ::close(go[1]);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(store->transferCount(1), 2u * kRounds) << "no increment was lost between the processes";
    EXPECT_EQ(readStyle(*cams[0]), 5);

    // And the other way round, through a fresh walk in the child.
    ASSERT_EQ(writeStyle(*cams[0], 6), 0);
    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto own = enumerateSimCameras(dir.path());
        _exit(own.size() == 1 && readStyle(*own[0]) == 6 ? 0 : 1);
    }
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(SimStateTest, RebootVanishesUntilTheDeadline)
{
    ASSERT_EQ(store->setConfig("reboot_ms", "600000"), 0);
    auto cams = dir.cameras();
    ASSERT_EQ(cams.size(), 1u);
    ASSERT_EQ(writeStyle(*cams[0], 5), 0);
    ASSERT_EQ(store->reboot(0), 0);
    EXPECT_TRUE(dir.cameras().empty());
    EXPECT_EQ(readStyle(*cams[0]), -ENODEV);
    EXPECT_EQ(store->reboot(7), EINVAL);
    {
        SimStateLock lock(*store);
        EXPECT_EQ(lock.camera(0)->rebootCount, 0u);
        lock.camera(0)->rebootDeadlineNs -= 600000LL * 1000000;
    }
    ASSERT_EQ(dir.cameras().size(), 1u);
    EXPECT_EQ(readStyle(*cams[0]), 5) << "the state survives a reboot";

    // A short reboot is over by the time it is looked at again.
    ASSERT_EQ(store->setConfig("reboot_ms", "1"), 0);
    ASSERT_EQ(store->reboot(0), 0);
    usleep(20000);
    EXPECT_TRUE(store->isPresent(0));
    SimStateLock lock(*store);
    EXPECT_EQ(lock.camera(0)->rebootCount, 2u);
}

TEST_F(SimStateTest, UnplugAfterRemovesTheCameraMidOperation)
{
    auto cams = dir.cameras();
    ASSERT_EQ(cams.size(), 1u);
    ASSERT_EQ(store->setConfig("unplug_after", "3"), 0);
    EXPECT_EQ(readStyle(*cams[0]), 6);
    EXPECT_EQ(readStyle(*cams[0]), 6);
    EXPECT_TRUE(store->isPresent(0)) << "a walk is no transfer";
    int32_t v = 0;
    EXPECT_EQ(cams[0]->getControl(0x009a0901, v), 0);
    EXPECT_EQ(readStyle(*cams[0]), -ENODEV);
    EXPECT_TRUE(dir.cameras().empty());
    EXPECT_FALSE(cams[0]->reopen());

    // Writing the key again starts a new countdown, removing it plugs back in.
    ASSERT_EQ(store->setConfig("unplug_after", "3"), 0);
    EXPECT_EQ(readStyle(*cams[0]), 6);
    ASSERT_EQ(store->clearConfig("unplug_after"), 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(readStyle(*cams[0]), 6);

    ASSERT_EQ(store->setConfig("unplugged", "1"), 0);
    EXPECT_TRUE(dir.cameras().empty());
    EXPECT_EQ(readStyle(*cams[0]), -ENODEV);
    ASSERT_EQ(store->setConfig("unplugged", "0"), 0);
    EXPECT_EQ(dir.cameras().size(), 1u);
}

TEST_F(SimStateTest, ControlsComeBackAtTheirDefaultsAfterReplugAndReboot)
{
    constexpr uint32_t kBrightness = 0x00980900;
    auto brightness = [](UvcDevice& cam) {
        int32_t v = -1000;
        return cam.getControl(kBrightness, v) ? -1000 : v;
    };
    auto cams = dir.cameras();
    ASSERT_EQ(cams.size(), 1u);
    ControlRange range;
    ASSERT_EQ(cams[0]->queryControl(kBrightness, range), 0);
    const int32_t changed = range.defaultValue + range.step;
    ASSERT_EQ(writeStyle(*cams[0], 5), 0);

    // Unplugged and seen gone by a walk, then plugged back in.
    ASSERT_EQ(cams[0]->setControl(kBrightness, changed), 0);
    ASSERT_EQ(store->setConfig("unplugged", "1"), 0);
    EXPECT_TRUE(dir.cameras().empty());
    ASSERT_EQ(store->setConfig("unplugged", "0"), 0);
    cams = dir.cameras();
    ASSERT_EQ(cams.size(), 1u);
    EXPECT_EQ(brightness(*cams[0]), range.defaultValue);
    EXPECT_EQ(readStyle(*cams[0]), 5) << "extension-unit settings live in the camera's flash";

    // Rebooted.
    ASSERT_EQ(cams[0]->setControl(kBrightness, changed), 0);
    ASSERT_EQ(store->setConfig("reboot_ms", "1"), 0);
    ASSERT_EQ(store->reboot(0), 0);
    usleep(20000);
    EXPECT_EQ(brightness(*cams[0]), range.defaultValue);

    // Staying on the bus keeps the value.
    ASSERT_EQ(cams[0]->setControl(kBrightness, changed), 0);
    EXPECT_EQ(dir.cameras().size(), 1u);
    EXPECT_EQ(brightness(*cams[0]), changed);
}

TEST_F(SimStateTest, DamagedStateFileIsReinitialised)
{
    ASSERT_EQ(store->setFirmwareVersion(0, "9.9.9"), 0);
    const std::string path = store->statePath();
    {
        // Right size, wrong contents.
        int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        std::vector<char> junk(4096, 'x');
        ASSERT_EQ(::write(fd, junk.data(), junk.size()), static_cast<ssize_t>(junk.size()));
        ::close(fd);
    }
    testing::internal::CaptureStderr();
    auto other = SimStateStore::open(dir.path());
    std::string diagnostics = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(other);
    EXPECT_NE(diagnostics.find("re-initialised"), std::string::npos);
    EXPECT_EQ(other->firmwareVersion(0), "1.0.3");
    EXPECT_EQ(store->firmwareVersion(0), "1.0.3") << "the open store sees the same file";

    // Cut short while mapped: the next access repairs it instead of faulting.
    auto cams = dir.cameras();
    ASSERT_EQ(cams.size(), 1u);
    ASSERT_EQ(writeStyle(*cams[0], 5), 0);
    ASSERT_EQ(::truncate(path.c_str(), 10), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(readStyle(*cams[0]), 6);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("truncated"), std::string::npos);

    // Replaced by another file: followed, not ignored.
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_EQ(readStyle(*cams[0]), 6);
    ASSERT_EQ(writeStyle(*cams[0], 5), 0);
    auto fresh = SimStateStore::open(dir.path());
    ASSERT_TRUE(fresh);
    auto again = enumerateSimCameras(dir.path());
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(readStyle(*again[0]), 5);
}

TEST_F(SimStateTest, Blobs)
{
    std::vector<uint8_t> data;
    EXPECT_EQ(store->readBlob("log.tar", data), ENOENT);
    ASSERT_EQ(store->writeBlob("log.tar", std::vector<uint8_t>{1, 2, 3}), 0);
    ASSERT_EQ(store->appendBlob("log.tar", "\x04\x05", 2), 0);
    ASSERT_EQ(store->readBlob("log.tar", data), 0);
    EXPECT_EQ(data, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    uint64_t size = 0;
    ASSERT_EQ(store->blobSize("log.tar", size), 0);
    EXPECT_EQ(size, 5u);
    ASSERT_EQ(store->writeBlob("log.tar", std::vector<uint8_t>{9}), 0);
    ASSERT_EQ(store->readBlob("log.tar", data), 0);
    EXPECT_EQ(data, std::vector<uint8_t>{9});
    EXPECT_EQ(store->removeBlob("log.tar"), 0);
    EXPECT_EQ(store->removeBlob("log.tar"), ENOENT);

    // Names come from the camera's protocol: nothing may leave files/.
    for (const char* bad : {"", "../state", "a/b", ".hidden", "..", "x\ny"}) {
        EXPECT_EQ(store->writeBlob(bad, std::vector<uint8_t>{1}), EINVAL) << bad;
        EXPECT_EQ(store->readBlob(bad, data), EINVAL) << bad;
        EXPECT_EQ(store->blobPath(bad), "") << bad;
    }
    EXPECT_EQ(store->firmwareVersion(0), "1.0.3");
}

TEST(SimDirectoryTest, VorqSimValueNamesTheDirectory)
{
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::string savedValue = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(SimStateStore::directoryFor("1"), "/run/user/4242/vorq-sim-" + std::to_string(getuid()));
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SimStateStore::directoryFor("1"), "/tmp/vorq-sim-" + std::to_string(getuid()));
    if (saved) setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    EXPECT_EQ(SimStateStore::directoryFor("0"), "");
    EXPECT_EQ(SimStateStore::directoryFor(""), "");
    EXPECT_EQ(SimStateStore::directoryFor("/some/where"), "/some/where");

    // A state directory is created with its parents on first use.
    SimTestDirectory dir;
    EXPECT_EQ(enumerateSimCameras(dir.path() + "/nested/state").size(), 1u);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(enumerateSimCameras("/proc/no-such-place").empty());
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
}

} // namespace

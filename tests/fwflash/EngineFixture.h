#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CVorqUvcUpgrade.h"
#include "TestCamera.h"
#include "UpgradeClock.h"
#include "platform/ComPtr.h"

namespace fwtest {

// Every message of the engine, in order.
std::string& capturedOutput();
int capturePrint(const char* format, ...);

// Waits cost nothing; each look at the time moves it on a little, so bounded
// polls end after a bounded number of tries.
class FakeClock final : public fwflash::UpgradeClock {
public:
    uint64_t now = 0;
    std::vector<uint32_t> sleeps;
    uint64_t nowMs() override { return now += 10; }
    void sleepMs(uint32_t ms) override
    {
        sleeps.push_back(ms);
        now += ms;
    }
    size_t count(uint32_t ms) const;
};

// A test with one camera in the device walk, the fake clock installed, the
// engine's output captured, and a fresh working directory.
class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new filter object of the first camera of the walk.
    ComPtr<IBaseFilter> firstFilter();
    // Binds `engine` to the first camera of the walk; the filter stays bound.
    void bindEngine();
    // A file in the working directory with `size` patterned bytes.
    std::string writeFile(const std::string& name, size_t size, uint8_t seed = 7);
    static std::vector<uint8_t> pattern(size_t size, uint8_t seed = 7);
    static std::vector<uint8_t> readFile(const std::string& path);
    // Runs the command line through the exported entry point.
    std::string runUpgrade(int mode, const char* a1, const char* a2, const char* a3 = "", const char* a4 = "");

    std::shared_ptr<TestCamera> camera = std::make_shared<TestCamera>();
    std::unique_ptr<TestCameraSource> source;
    FakeClock clock;
    fwflash::CVorqUvcUpgrade engine;
    ComPtr<IBaseFilter> filter;
    std::string workDir;
    std::string previousDir;
};

// A data packet as the camera would send it.
std::vector<uint8_t> makePacket(uint32_t packageSize, uint8_t type, uint32_t offset, uint32_t total,
                                const std::vector<uint8_t>& payload, uint32_t lengthField = UINT32_MAX);
uint32_t le32At(const std::vector<uint8_t>& bytes, size_t at);

// Answers the camera's data-control reads from `packets` (then the camera
// takes over again).
void scriptDataReads(TestCamera& camera, std::vector<std::vector<uint8_t>> packets);

} // namespace fwtest

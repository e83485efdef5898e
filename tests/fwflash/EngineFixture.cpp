#include "EngineFixture.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>

#include "camfw_flash/camfw_flash.h"
#include "platform/DirectShow.h"
#include "platform/VideoInputs.h"

namespace fwtest {

std::string& capturedOutput()
{
    static std::string output;
    return output;
}

int capturePrint(const char* format, ...)
{
    char buffer[4096];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    capturedOutput() += buffer;
    return n;
}

size_t FakeClock::count(uint32_t ms) const
{
    size_t n = 0;
    for (uint32_t s : sleeps) n += s == ms;
    return n;
}

void EngineFixture::SetUp()
{
    capturedOutput().clear();
    fwflash::UpgradeClock::install(&clock);
    source = std::make_unique<TestCameraSource>(std::vector<std::shared_ptr<TestCamera>>{camera});
    engine.SetPrintCallback(capturePrint);

    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previousDir = cwd;
    char pattern[] = "/tmp/fwflash-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    workDir = pattern;
    ASSERT_EQ(chdir(workDir.c_str()), 0);
}

void EngineFixture::TearDown()
{
    filter.reset();
    engine.ReleaseUnit();
    source.reset();
    fwflash::UpgradeClock::install(nullptr);
    if (!previousDir.empty()) {
        EXPECT_EQ(chdir(previousDir.c_str()), 0);
    }
    if (!workDir.empty()) {
        const std::string command = "rm -rf '" + workDir + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
}

ComPtr<IBaseFilter> EngineFixture::firstFilter()
{
    ComPtr<IBaseFilter> result;
    bindVideoInputFilter(0, result);
    return result;
}

void EngineFixture::bindEngine()
{
    filter = firstFilter();
    ASSERT_TRUE(filter);
    ASSERT_EQ(engine.BindDevice(filter.get()), S_OK) << capturedOutput();
    capturedOutput().clear();
    camera->log.clear();
}

std::vector<uint8_t> EngineFixture::pattern(size_t size, uint8_t seed)
{
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return bytes;
}

std::string EngineFixture::writeFile(const std::string& name, size_t size, uint8_t seed)
{
    const std::vector<uint8_t> bytes = pattern(size, seed);
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return name;
}

std::vector<uint8_t> EngineFixture::readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string EngineFixture::runUpgrade(int mode, const char* a1, const char* a2, const char* a3, const char* a4)
{
    capturedOutput().clear();
    const char* result = upgrade(mode, a1, a2, a3, a4, capturePrint);
    EXPECT_NE(result, nullptr);
    if (result) {
        EXPECT_STREQ(result, "");
    }
    return capturedOutput();
}

std::vector<uint8_t> makePacket(uint32_t packageSize, uint8_t type, uint32_t offset, uint32_t total,
                                const std::vector<uint8_t>& payload, uint32_t lengthField)
{
    std::vector<uint8_t> p(packageSize, 0);
    const uint32_t length = lengthField == UINT32_MAX ? static_cast<uint32_t>(payload.size()) : lengthField;
    p[0] = type;
    for (int i = 0; i < 4; ++i) {
        p[1 + i] = static_cast<uint8_t>(offset >> (8 * i));
        p[5 + i] = static_cast<uint8_t>(total >> (8 * i));
        p[9 + i] = static_cast<uint8_t>(length >> (8 * i));
    }
    if (!payload.empty()) std::memcpy(p.data() + 13, payload.data(), std::min<size_t>(payload.size(), packageSize - 13));
    return p;
}

uint32_t le32At(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

void scriptDataReads(TestCamera& camera, std::vector<std::vector<uint8_t>> packets)
{
    auto queue = std::make_shared<std::deque<std::vector<uint8_t>>>(packets.begin(), packets.end());
    camera.intercept = [queue](uint8_t selector, uint8_t query, uint8_t* data, uint16_t size, int& result) {
        if (selector != 6 || query != vorq::platform::UVC_GET_CUR || queue->empty()) return false;
        std::vector<uint8_t> packet = queue->front();
        queue->pop_front();
        packet.resize(size);
        std::memcpy(data, packet.data(), size);
        result = 0;
        return true;
    };
}

} // namespace fwtest

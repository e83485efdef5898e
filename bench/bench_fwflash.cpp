// Host-side cost of sending a firmware image through the upgrade engine, in
// interleaved pairs against the same transfer made bare. Both halves of a pair
// send the same image (16 MiB by default) in 3085-byte packets to the
// simulated camera's upgrade unit, through the same kernel-streaming node of
// one binding, so the camera stores the same bytes and checks the same digest
// in both; its fixed waits are skipped, and counted.
//
//   baseline  the wire sequence alone, straight through IKsControl: state set
//             to idle, then to the image command, the file information block,
//             the data packets carrying the image's bytes, then one read of
//             the error status. The image and its digest are in memory before
//             the clock starts.
//   measured  CVorqUvcUpgrade::SendFileToDevice on the image file: reading it
//             and computing its digest, the state read-backs and status
//             checks, filling the packets and its progress lines.
//
// The baseline runs right before its measured run; the ratio of the times per
// packet is what the engine adds to a transfer.
//
//   build/bench/bench_fwflash [size in MiB, 1..16, default 16] [pairs, default 5, at least 3]

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "CVorqUvcUpgrade.h"
#include "Checksums.h"
#include "Interleaved.h"
#include "UpgradeClock.h"
#include "UpgradeProtocol.h"
#include "platform/ComPtr.h"
#include "platform/DirectShow.h"
#include "platform/VideoInputs.h"

namespace {

constexpr const char* kImageName = "Lynx-A_bench.img";

// The fixed waits are the camera's time, not the host's: skip them, count them.
class NoWaitClock final : public fwflash::UpgradeClock {
public:
    uint64_t waitedMs = 0;
    uint64_t nowMs() override
    {
        using namespace std::chrono;
        return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    void sleepMs(uint32_t ms) override { waitedMs += ms; }
};

std::string output;
int collect(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    output += buffer;
    return n;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The upgrade unit's node, reached the way any caller of the platform would.
class BareUnit {
public:
    BareUnit(ComPtr<IKsControl> control, ULONG node) : control(std::move(control)), node(node) {}

    bool set(uint32_t selector, const void* data, uint32_t length)
    {
        return call(selector, KSPROPERTY_TYPE_SET, const_cast<void*>(data), length);
    }
    bool get(uint32_t selector, void* data, uint32_t length)
    {
        return call(selector, KSPROPERTY_TYPE_GET, data, length);
    }

private:
    bool call(uint32_t selector, ULONG flags, void* data, uint32_t length)
    {
        KSP_NODE request{};
        request.Property.Set = fwflash::kUpgradeUnitSet;
        request.Property.Id = selector;
        request.Property.Flags = flags | KSPROPERTY_TYPE_TOPOLOGY;
        request.NodeId = node;
        ULONG returned = 0;
        return SUCCEEDED(control->KsProperty(&request.Property, sizeof request, data, length, &returned));
    }

    ComPtr<IKsControl> control;
    ULONG node;
};

// The same file transfer as the engine's, without its logic; false when a
// transfer failed or the camera reported an error at the end.
bool sendBare(BareUnit& unit, const std::vector<unsigned char>& image, const fwflash::Md5& digest,
              uint32_t packageSize)
{
    using namespace fwflash;
    const uint32_t capacity = packageSize - kPacketHeaderSize;
    const uint32_t length = static_cast<uint32_t>(image.size());
    std::vector<uint8_t> packet(packageSize, 0);
    auto send = [&](uint8_t type, uint32_t offset, uint32_t total, const uint8_t* payload, uint32_t n) {
        packet[0] = type;
        writeLe32(packet.data() + 1, offset);
        writeLe32(packet.data() + 5, total);
        writeLe32(packet.data() + 9, n);
        std::memcpy(packet.data() + kPacketHeaderSize, payload, n);
        return unit.set(XU_CTRL_DATA, packet.data(), packageSize);
    };

    const uint8_t idle[kStateLength] = {CMD_IDLE, 0, 0, 0, 0};
    const uint8_t armed[kStateLength] = {CMD_MTD_IMAGE, 0, 0, 0, 0};
    if (!unit.set(XU_CTRL_STATE, idle, kStateLength) || !unit.set(XU_CTRL_STATE, armed, kStateLength)) return false;

    uint8_t block[kFileInfoSize] = {};
    std::memcpy(block, kImageName, std::strlen(kImageName));
    writeLe32(block + kFileInfoSizeOffset, length);
    std::memcpy(block + kFileInfoMd5Offset, digest.data(), digest.size());
    for (uint32_t offset = 0; offset < kFileInfoSize;) {
        const uint32_t n = std::min(capacity, kFileInfoSize - offset);
        if (!send(PKT_HEAD, offset, kFileInfoSize, block + offset, n)) return false;
        offset += n;
    }
    for (uint32_t offset = 0; offset < length;) {
        const uint32_t n = std::min(capacity, length - offset);
        if (!send(PKT_DATA, offset, length, image.data() + offset, n)) return false;
        offset += n;
    }
    uint8_t status = 0xFF;
    return unit.get(XU_CTRL_ERROR_STATUS, &status, kErrorStatusLength) && status == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const long mib = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 16;
    const int pairs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 5;
    // An image larger than the camera's flash is refused at its information block.
    if (mib < 1 || mib > 16) {
        std::fprintf(stderr, "usage: bench_fwflash [size in MiB, 1..16] [pairs]\n");
        return 2;
    }
    const size_t size = static_cast<size_t>(mib) << 20;

    char dir[] = "/tmp/bench-fwflash.XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::string state = std::string(dir) + "/sim";
    const std::string image = std::string(dir) + "/" + kImageName;
    setenv("VORQ_SIM", state.c_str(), 1);
    unsetenv("VORQ_SIM_TRACE");
    unsetenv("VORQ_SIM_SOCKET");

    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 2654435761u >> 13);
    if (FILE* f = std::fopen(image.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    fwflash::Md5 digest{};
    fwflash::Checksums::md5(bytes.data(), bytes.size(), digest);

    NoWaitClock clock;
    fwflash::UpgradeClock::install(&clock);
    int result = 0;
    {
        fwflash::CVorqUvcUpgrade engine;
        engine.SetPrintCallback(collect);
        ComPtr<IBaseFilter> filter;
        bindVideoInputFilter(0, filter);
        ComPtr<IKsControl> control;
        DWORD node = 0;
        if (!filter || engine.BindDevice(filter.get()) != S_OK ||
            engine.FindXuNode(filter.get(), fwflash::kUpgradeUnitSet, control, node) != S_OK) {
            std::fprintf(stderr, "bench_fwflash: no simulated camera\n%s", output.c_str());
            std::filesystem::remove_all(dir);
            return 1;
        }
        BareUnit bare(control, node);
        const uint32_t packageSize = engine.PackageSize();
        const double packets =
            static_cast<double>((size + engine.PayloadCapacity() - 1) / engine.PayloadCapacity());

        std::printf("load average before: %s\n", bench::loadAverage().c_str());
        std::printf("image %ld MiB, %.0f packets of %u bytes, simulated camera; baseline: the same transfer made bare "
                    "through the upgrade unit's node\n",
                    mib, packets, packageSize);
        bench::Pairs times;
        std::vector<double> rates;
        for (int i = 0; i < pairs && result == 0; ++i) {
            auto start = std::chrono::steady_clock::now();
            const bool bareOk = sendBare(bare, bytes, digest, packageSize);
            const double bareSeconds = secondsSince(start);

            const uint64_t waited = clock.waitedMs;
            output.clear();
            start = std::chrono::steady_clock::now();
            const HRESULT hr = engine.SendFileToDevice(filter.get(), fwflash::CMD_MTD_IMAGE, image.c_str());
            const double engineSeconds = secondsSince(start);
            if (!bareOk || hr != S_OK) {
                std::fprintf(stderr, "bench_fwflash: %s transfer failed\n%s", bareOk ? "the engine's" : "the bare",
                             output.c_str());
                result = 1;
                break;
            }
            if (i == 0)
                std::printf("engine's fixed waits not counted: %llu ms a transfer\n",
                            static_cast<unsigned long long>(clock.waitedMs - waited));
            times.add(bareSeconds * 1e6 / packets, engineSeconds * 1e6 / packets);
            rates.push_back(size / engineSeconds / 1e6);
        }
        if (result == 0) {
            times.print("Time per packet", "bare transfer", "upgrade engine", "us");
            const bench::Spread r = bench::spreadOf(rates);
            std::printf("  upgrade engine: min %.1f  median %.1f  max %.1f MB/s\n", r.min, r.median, r.max);
        }
        std::printf("load average after: %s\n", bench::loadAverage().c_str());
        engine.ReleaseUnit();
    }
    fwflash::UpgradeClock::install(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return result;
}

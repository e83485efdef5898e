// Host-side cost of an image's data stage through the simulated camera: a
// 16 MiB image in 3085-byte packets, the protocol's fixed waits not counted.
//
//   build/bench/bench_fwflash [size-in-MiB]

#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CVorqUvcUpgrade.h"
#include "UpgradeClock.h"
#include "platform/ComPtr.h"
#include "platform/DirectShow.h"
#include "platform/VideoInputs.h"

namespace {

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

ComPtr<IBaseFilter> firstCamera()
{
    ComPtr<IBaseFilter> filter;
    bindVideoInputFilter(0, filter);
    return filter;
}

} // namespace

int main(int argc, char** argv)
{
    const size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16;
    const size_t size = mib << 20;

    char dir[] = "/tmp/bench-fwflash.XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::string state = std::string(dir) + "/sim";
    const std::string image = std::string(dir) + "/Lynx-A_bench.img";
    setenv("VORQ_SIM", state.c_str(), 1);
    unsetenv("VORQ_SIM_TRACE");
    unsetenv("VORQ_SIM_SOCKET");

    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 2654435761u >> 13);
    if (FILE* f = std::fopen(image.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }

    NoWaitClock clock;
    fwflash::UpgradeClock::install(&clock);
    fwflash::CVorqUvcUpgrade engine;
    engine.SetPrintCallback(collect);
    ComPtr<IBaseFilter> filter = firstCamera();
    if (!filter || engine.BindDevice(filter.get()) != S_OK) {
        std::fprintf(stderr, "bench_fwflash: no simulated camera\n%s", output.c_str());
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    const HRESULT hr = engine.SendFileToDevice(filter.get(), 32, image.c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    engine.ReleaseUnit();
    filter.reset();

    const double packets = static_cast<double>((size + engine.PayloadCapacity() - 1) / engine.PayloadCapacity());
    if (hr != S_OK) {
        std::fprintf(stderr, "bench_fwflash: transfer failed\n%s", output.c_str());
        return 1;
    }
    std::printf("image %zu MiB, %.0f packets of %u bytes\n", mib, packets, engine.PackageSize());
    std::printf("data stage %.3f s (fixed waits of %llu ms not counted): %.1f MB/s, %.1f us per packet\n", seconds,
                static_cast<unsigned long long>(clock.waitedMs), size / seconds / 1e6, seconds * 1e6 / packets);

    const std::string cleanup = std::string("rm -rf '") + dir + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}

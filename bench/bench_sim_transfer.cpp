// Transfers per second of the built-in simulated camera at the UVC device
// level: data packets of a file transfer that the upgrade unit has armed
// (SET_CUR of its 3085-byte data control), with the state shared across
// processes (lock file + mapped state file). Trace off (baseline) and on are
// run in turn, at least three pairs.
//
//   bench_sim_transfer [transfers per run, default 20000] [pairs, default 3]

#include <ftw.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ArmedTransfer.h"
#include "Interleaved.h"
#include "sim/SimBackend.h"

using namespace vorq::platform;

namespace {

constexpr uint8_t kUpgradeUnit = 6;
constexpr uint16_t kPacketSize = 3085;

// Returns transfers per second, or a negative value when a transfer failed.
double measure(const std::string& stateDir, uint32_t transfers)
{
    DeviceList cameras = enumerateSimCameras(stateDir);
    if (cameras.empty()) return -1;
    UvcDevice& camera = *cameras[0];
    bench::ArmedTransfer transfer(
        [&](uint8_t selector, uint8_t* data, uint32_t size) {
            return camera.xuQuery(kUpgradeUnit, selector, UVC_SET_CUR, data, static_cast<uint16_t>(size)) == 0;
        },
        [&](uint8_t selector, uint8_t* data, uint32_t size) {
            return camera.xuQuery(kUpgradeUnit, selector, UVC_GET_CUR, data, static_cast<uint16_t>(size)) == 0;
        },
        kPacketSize);
    const auto start = std::chrono::steady_clock::now();
    const bool ok = transfer.run(transfers);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ok ? transfers / seconds : -1;
}

} // namespace

int main(int argc, char** argv)
{
    const int transfers = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int pairs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 3;
    if (transfers <= 0) {
        std::fprintf(stderr, "usage: bench_sim_transfer [transfers] [pairs]\n");
        return 2;
    }
    char pattern[] = "/tmp/vorq-sim-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("bench_sim_transfer: mkdtemp");
        return 1;
    }
    const std::string dir = pattern;
    const std::string trace = dir + "/trace.jsonl";

    std::printf("load average before: %s\n", bench::loadAverage().c_str());
    std::printf("armed file transfer, SET_CUR unit %u data control, %u bytes, %d transfers per run\n", kUpgradeUnit,
                kPacketSize, transfers);
    bench::Pairs rates;
    bool failed = false;
    for (int i = 0; i < pairs && !failed; ++i) {
        unsetenv("VORQ_SIM_TRACE");
        const double plain = measure(dir, static_cast<uint32_t>(transfers));
        setenv("VORQ_SIM_TRACE", trace.c_str(), 1);
        const double traced = measure(dir, static_cast<uint32_t>(transfers));
        ::remove(trace.c_str());
        if (plain < 0 || traced < 0) {
            std::printf("a transfer failed or the camera reported an error\n");
            failed = true;
            break;
        }
        // Time per transfer, so the ratio is the trace's cost.
        rates.add(1e6 / plain, 1e6 / traced);
    }
    if (!failed) rates.print("Time per transfer", "trace off", "trace on", "us");
    std::printf("load average after: %s\n", bench::loadAverage().c_str());

    nftw(dir.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 16,
         FTW_DEPTH | FTW_PHYS);
    return failed ? 1 : 0;
}

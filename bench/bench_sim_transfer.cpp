// Transfers per second of the built-in simulated camera at the UVC device
// level: SET_CUR of the upgrade unit's 3085-byte data control, with the state
// shared across processes (lock file + mapped state file), trace off and on.

#include <ftw.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/SimBackend.h"

using namespace vorq::platform;

namespace {

constexpr uint8_t kUpgradeUnit = 6;
constexpr uint8_t kDataSelector = 6;
constexpr uint16_t kPacketSize = 3085;

// Returns transfers per second, or a negative value when a transfer failed.
double measure(const std::string& stateDir, int transfers)
{
    DeviceList cameras = enumerateSimCameras(stateDir);
    if (cameras.empty()) return -1;
    UvcDevice& camera = *cameras[0];
    std::vector<uint8_t> packet(kPacketSize);
    for (size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<uint8_t>(i);
    packet[0] = 1; // a data packet

    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < transfers; ++i)
        if (camera.xuQuery(kUpgradeUnit, kDataSelector, UVC_SET_CUR, packet.data(), kPacketSize) != 0) return -1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return transfers / seconds;
}

void report(const char* label, double rate)
{
    if (rate < 0)
        std::printf("%-10s transfer failed\n", label);
    else
        std::printf("%-10s %10.0f transfers/s  (%.2f us each)\n", label, rate, 1e6 / rate);
}

} // namespace

int main(int argc, char** argv)
{
    const int transfers = argc > 1 ? std::atoi(argv[1]) : 100000;
    if (transfers <= 0) {
        std::fprintf(stderr, "usage: bench_sim_transfer [transfers]\n");
        return 2;
    }
    char pattern[] = "/tmp/vorq-sim-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("bench_sim_transfer: mkdtemp");
        return 1;
    }
    const std::string dir = pattern;

    std::printf("SET_CUR unit %u selector %u, %u bytes, %d transfers\n", kUpgradeUnit, kDataSelector, kPacketSize,
                transfers);
    unsetenv("VORQ_SIM_TRACE");
    const double plain = measure(dir, transfers);
    report("trace off", plain);
    const std::string trace = dir + "/trace.jsonl";
    setenv("VORQ_SIM_TRACE", trace.c_str(), 1);
    const double traced = measure(dir, transfers);
    report("trace on", traced);

    nftw(dir.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 16,
         FTW_DEPTH | FTW_PHYS);
    return plain < 0 || traced < 0 ? 1 : 0;
}

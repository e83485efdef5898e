// KsProperty SET of the upgrade unit's 3085-byte data control on the built-in
// simulated camera, with its state shared across processes as always.
// Prints transfers per second with the trace off and on.
//
//   build/bench/bench_ks_transfer [transfers]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/ComPtr.h"
#include "platform/DirectShow.h"
#include "platform/VideoInputs.h"

namespace {

constexpr GUID kUpgradeUnit = {0x1B7FDAAF, 0x9F57, 0x4F6F, {0xAD, 0x21, 0x3B, 0xD9, 0x23, 0x41, 0xBB, 0x54}};
constexpr ULONG kDataSelector = 6;

HRESULT send(IKsControl* control, ULONG flags, ULONG node, void* data, ULONG length, ULONG* returned)
{
    KSP_NODE request{};
    request.Property.Set = kUpgradeUnit;
    request.Property.Id = kDataSelector;
    request.Property.Flags = flags | KSPROPERTY_TYPE_TOPOLOGY;
    request.NodeId = node;
    return control->KsProperty(&request.Property, sizeof request, data, length, returned);
}

// Binds the first camera and returns the node-level control of the upgrade unit.
bool openUpgradeUnit(ComPtr<IKsControl>& control, ULONG& node)
{
    ComPtr<IBaseFilter> filter;
    ComPtr<IKsTopologyInfo> topology;
    if (FAILED(bindVideoInputFilter(0, filter)) ||
        FAILED(filter->QueryInterface(IID_IKsTopologyInfo, topology.putVoid())))
        return false;
    DWORD nodes = 0;
    topology->get_NumNodes(&nodes);
    for (DWORD n = 0; n < nodes; ++n) {
        GUID type{};
        ComPtr<IKsControl> candidate;
        if (FAILED(topology->get_NodeType(n, &type)) || type != KSNODETYPE_DEV_SPECIFIC ||
            FAILED(topology->CreateNodeInstance(n, IID_IKsControl, candidate.putVoid())))
            continue;
        ULONG returned = 0;
        if (send(candidate.get(), KSPROPERTY_TYPE_SETSUPPORT, n, nullptr, 0, &returned) == S_OK) {
            control = candidate;
            node = n;
            return true;
        }
    }
    return false;
}

double measure(long transfers)
{
    ComPtr<IKsControl> control;
    ULONG node = 0;
    if (!openUpgradeUnit(control, node)) {
        std::fprintf(stderr, "bench_ks_transfer: no simulated camera with an upgrade unit\n");
        std::exit(1);
    }
    ULONG length = 0;
    send(control.get(), KSPROPERTY_TYPE_GET, node, nullptr, 0, &length);
    if (length != 3085) std::fprintf(stderr, "bench_ks_transfer: data control is %u bytes\n", length);
    std::vector<uint8_t> packet(length, 0);
    packet[0] = 1; // a data packet, as during a file transfer
    ULONG returned = 0;
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < transfers; ++i) {
        if (FAILED(send(control.get(), KSPROPERTY_TYPE_SET, node, packet.data(), length, &returned))) {
            std::fprintf(stderr, "bench_ks_transfer: transfer %ld failed\n", i);
            std::exit(1);
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return transfers / seconds;
}

} // namespace

int main(int argc, char** argv)
{
    long transfers = argc > 1 ? std::atol(argv[1]) : 50000;
    if (transfers <= 0) transfers = 50000;
    char dir[] = "/tmp/vorq-bench-ks.XXXXXX";
    if (!mkdtemp(dir)) return 1;
    setenv("VORQ_SIM", dir, 1);
    unsetenv("VORQ_SIM_SOCKET");

    unsetenv("VORQ_SIM_TRACE");
    double off = measure(transfers);
    std::string trace = std::string(dir) + "/trace.jsonl";
    setenv("VORQ_SIM_TRACE", trace.c_str(), 1);
    double on = measure(transfers / 5 > 0 ? transfers / 5 : 1);
    std::printf("KsProperty SET, 3085-byte data control, built-in simulator (shared state):\n");
    std::printf("  trace off: %.0f transfers/s (%.1f us each)\n", off, 1e6 / off);
    std::printf("  trace on:  %.0f transfers/s (%.1f us each)\n", on, 1e6 / on);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}

// KsProperty SET of the upgrade unit's 3085-byte data control on the built-in
// simulated camera, with its state shared across processes as always: the data
// packets of a file transfer the unit has armed. Trace off (baseline) and on
// are run in turn, at least three pairs.
//
//   build/bench/bench_ks_transfer [transfers per run, default 20000] [pairs, default 3]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "ArmedTransfer.h"
#include "Interleaved.h"
#include "platform/ComPtr.h"
#include "platform/DirectShow.h"
#include "platform/VideoInputs.h"

namespace {

constexpr GUID kUpgradeUnit = {0x1B7FDAAF, 0x9F57, 0x4F6F, {0xAD, 0x21, 0x3B, 0xD9, 0x23, 0x41, 0xBB, 0x54}};
constexpr ULONG kDataSelector = 6;

HRESULT send(IKsControl* control, ULONG flags, ULONG node, void* data, ULONG length, ULONG* returned,
             ULONG selector = kDataSelector)
{
    KSP_NODE request{};
    request.Property.Set = kUpgradeUnit;
    request.Property.Id = selector;
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

// Transfers per second, or a negative value when a transfer failed.
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
    auto call = [&](ULONG flags) {
        return [&, flags](uint8_t selector, uint8_t* data, uint32_t size) {
            ULONG returned = 0;
            return SUCCEEDED(send(control.get(), flags, node, data, size, &returned, selector));
        };
    };
    bench::ArmedTransfer transfer(call(KSPROPERTY_TYPE_SET), call(KSPROPERTY_TYPE_GET), length);
    const auto start = std::chrono::steady_clock::now();
    const bool ok = transfer.run(static_cast<uint32_t>(transfers));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ok ? transfers / seconds : -1;
}

} // namespace

int main(int argc, char** argv)
{
    long transfers = argc > 1 ? std::atol(argv[1]) : 20000;
    if (transfers <= 0) transfers = 20000;
    const int pairs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 3;
    char dir[] = "/tmp/vorq-bench-ks.XXXXXX";
    if (!mkdtemp(dir)) return 1;
    setenv("VORQ_SIM", dir, 1);
    unsetenv("VORQ_SIM_SOCKET");
    const std::string trace = std::string(dir) + "/trace.jsonl";

    std::printf("load average before: %s\n", bench::loadAverage().c_str());
    std::printf("KsProperty SET, 3085-byte data control of an armed file transfer, built-in simulator (shared "
                "state), %ld transfers per run\n",
                transfers);
    bench::Pairs times;
    bool failed = false;
    for (int i = 0; i < pairs; ++i) {
        unsetenv("VORQ_SIM_TRACE");
        const double off = measure(transfers);
        setenv("VORQ_SIM_TRACE", trace.c_str(), 1);
        const double on = measure(transfers);
        std::remove(trace.c_str());
        if (off < 0 || on < 0) {
            std::printf("a transfer failed or the camera reported an error\n");
            failed = true;
            break;
        }
        times.add(1e6 / off, 1e6 / on);
    }
    if (!failed) times.print("Time per transfer", "trace off", "trace on", "us");
    std::printf("load average after: %s\n", bench::loadAverage().c_str());
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return failed ? 1 : 0;
}

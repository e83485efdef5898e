// The cost of reading the video page's settings from the simulated camera:
// kernel-streaming requests and device transfers per refresh, for the first
// refresh of a binding (which finds the extension unit) and for the ones
// after it, and their time in interleaved pairs against the bare transfers.
//
// The device transfers of one first and one later refresh are taken from the
// camera's trace. Then, with the trace off (its writes would weigh on both
// halves alike and hide the difference), each pair runs:
//   baseline  those same transfers (reads, and the writes the refresh makes
//             back with the values it read) replayed straight on a device
//             handle of the platform layer, with the bytes and values the
//             trace holds;
//   measured  Vorq_SettingVideo::refreshSettings through CameraDevice and the
//             kernel-streaming layer, widgets updated.
// The baseline runs right before its measured run; the ratio of the times per
// refresh is the program's own cost on top of the camera's. For the first
// refresh, mainDevice is bound anew (not timed) before each timed refresh; its
// transfers are those of such a refresh, taken after a first one has set the
// page's switches.
//
//   build/bench/bench_settings_refresh [later refreshes per run, default 200] [pairs, default 5, at least 3]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "CameraInfo.h"
#include "Interleaved.h"
#include "Vorq_SettingVideo.h"
#include "device/CameraDevice.h"
#include "platform/DevicePath.h"
#include "platform/DeviceProvider.h"

using vorq::platform::UvcDevice;

namespace {

// One device-level transfer as the trace recorded it.
struct Transfer {
    enum Kind { Xu, QueryControl, GetControl, SetControl } kind = Xu;
    uint8_t unit = 0;
    uint8_t selector = 0;
    uint8_t query = 0;
    std::vector<uint8_t> data; // SET_CUR: the bytes written; reads: room for the answer
    uint32_t cid = 0;
    int32_t value = 0;
    int err = 0;
};

struct TraceCount {
    long transfers = 0;
    long extensionUnit = 0;
};

// The transfers appended to the trace since `offset`, which moves past them.
std::vector<Transfer> readTrace(const QString& path, qint64& offset)
{
    std::vector<Transfer> transfers;
    QFile trace(path);
    if (!trace.open(QIODevice::ReadOnly) || !trace.seek(offset)) return transfers;
    while (!trace.atEnd()) {
        const QByteArray line = trace.readLine();
        offset += line.size();
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        Transfer t;
        t.err = o.value(QStringLiteral("errno")).toInt();
        if (o.contains(QStringLiteral("unit"))) {
            t.unit = static_cast<uint8_t>(o.value(QStringLiteral("unit")).toInt());
            t.selector = static_cast<uint8_t>(o.value(QStringLiteral("selector")).toInt());
            vorq::platform::uvcQueryFromName(o.value(QStringLiteral("query")).toString().toStdString(), t.query);
            const QByteArray bytes = QByteArray::fromHex(o.value(QStringLiteral("data")).toString().toLatin1());
            t.data.assign(bytes.begin(), bytes.end());
            t.data.resize(static_cast<size_t>(o.value(QStringLiteral("size")).toInt()));
        } else {
            const QString op = o.value(QStringLiteral("op")).toString();
            t.kind = op == QLatin1String("s_ctrl")   ? Transfer::SetControl
                     : op == QLatin1String("g_ctrl") ? Transfer::GetControl
                                                     : Transfer::QueryControl;
            t.cid = static_cast<uint32_t>(o.value(QStringLiteral("cid")).toInt());
            t.value = o.value(QStringLiteral("value")).toInt();
        }
        transfers.push_back(std::move(t));
    }
    return transfers;
}

TraceCount countOf(const std::vector<Transfer>& transfers)
{
    TraceCount count;
    count.transfers = static_cast<long>(transfers.size());
    count.extensionUnit = std::count_if(transfers.begin(), transfers.end(),
                                        [](const Transfer& t) { return t.kind == Transfer::Xu; });
    return count;
}

// Replays the transfers on a bare handle; returns how many answered otherwise
// than they did for the refresh.
long replay(UvcDevice& device, std::vector<Transfer>& transfers)
{
    long differing = 0;
    for (Transfer& t : transfers) {
        int err = 0;
        switch (t.kind) {
        case Transfer::Xu:
            err = device.xuQuery(t.unit, t.selector, t.query, t.data.data(), static_cast<uint16_t>(t.data.size()));
            break;
        case Transfer::QueryControl: {
            vorq::platform::ControlRange range;
            err = device.queryControl(t.cid, range);
            break;
        }
        case Transfer::GetControl: {
            int32_t value = 0;
            err = device.getControl(t.cid, value);
            break;
        }
        case Transfer::SetControl: err = device.setControl(t.cid, t.value); break;
        }
        if (err != t.err) ++differing;
    }
    return differing;
}

double microsecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    const int pairs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 5;
    if (rounds <= 0) {
        std::fprintf(stderr, "usage: bench_settings_refresh [later refreshes per run] [pairs]\n");
        return 2;
    }
    constexpr int kBindings = 50; // first refreshes per run

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir state;
    if (!state.isValid()) return 1;
    const QString tracePath = state.filePath(QStringLiteral("trace.jsonl"));
    qputenv("VORQ_SIM", QFile::encodeName(state.path()));
    qputenv("VORQ_SIM_TRACE", QFile::encodeName(tracePath));
    QApplication app(argc, argv);

    QString deviceName;
    for (const auto& device : vorq::platform::DeviceProvider::enumerate())
        if (device->identity().simulated) deviceName = QString::fromStdString(vorq::platform::deviceNameOf(device->identity()));
    if (deviceName.isEmpty()) {
        std::fprintf(stderr, "no simulated camera\n");
        return 1;
    }

    Vorq_SettingVideo page;
    page.connectControls(CameraInfo());
    page.setCameraInfo(CameraInfo(deviceName, QStringLiteral("TELDORA TX42")));
    page.captureState(true);

    // What the refreshes send, with the trace on.
    qint64 offset = 0;
    readTrace(tracePath, offset);
    zoomDevice.openDevice(deviceName);
    mainDevice.openDevice(deviceName);
    const TraceCount openCount = countOf(readTrace(tracePath, offset));

    uint64_t requests = mainDevice.ksRequestCount();
    page.refreshSettings();
    const uint64_t firstRequests = mainDevice.ksRequestCount() - requests;
    const TraceCount first = countOf(readTrace(tracePath, offset));

    requests = mainDevice.ksRequestCount();
    page.refreshSettings();
    const uint64_t laterRequests = mainDevice.ksRequestCount() - requests;
    std::vector<Transfer> laterTransfers = readTrace(tracePath, offset);
    const TraceCount later = countOf(laterTransfers);

    // The very first refresh also writes back the switches it changed from
    // their defaults; the timed first refreshes follow a new binding of a page
    // that already shows the camera's values.
    mainDevice.openDevice(deviceName);
    readTrace(tracePath, offset);
    requests = mainDevice.ksRequestCount();
    page.refreshSettings();
    const uint64_t reboundRequests = mainDevice.ksRequestCount() - requests;
    std::vector<Transfer> firstTransfers = readTrace(tracePath, offset);
    const TraceCount rebound = countOf(firstTransfers);
    std::printf("load average before: %s\n", bench::loadAverage().c_str());
    std::printf("binding both instances: %ld device transfers\n", openCount.transfers);
    std::printf("first refresh after binding: %llu kernel-streaming requests, %ld device transfers (%ld "
                "extension-unit)\n",
                static_cast<unsigned long long>(firstRequests), first.transfers, first.extensionUnit);
    std::printf("first refresh after binding again: %llu kernel-streaming requests, %ld device transfers (%ld "
                "extension-unit)\n",
                static_cast<unsigned long long>(reboundRequests), rebound.transfers, rebound.extensionUnit);
    std::printf("later refreshes: %llu kernel-streaming requests, %ld device transfers (%ld extension-unit)\n",
                static_cast<unsigned long long>(laterRequests), later.transfers, later.extensionUnit);

    // The timed runs, with the trace off: handles opened from here on write none.
    qunsetenv("VORQ_SIM_TRACE");
    const qint64 tracedBytes = QFile(tracePath).size();
    std::unique_ptr<UvcDevice> bare;
    for (auto& device : vorq::platform::DeviceProvider::enumerate())
        if (device->identity().simulated) bare = std::move(device);
    if (!bare) {
        std::fprintf(stderr, "no simulated camera for the bare transfers\n");
        return 1;
    }
    zoomDevice.openDevice(deviceName);

    bench::Pairs firstTimes, laterTimes;
    long differing = 0;
    bool requestsDiffer = false;
    for (int pair = 0; pair < pairs; ++pair) {
        double bareUs = 0;
        for (int i = 0; i < kBindings; ++i) {
            const auto start = std::chrono::steady_clock::now();
            differing += replay(*bare, firstTransfers);
            bareUs += microsecondsSince(start);
        }
        double refreshUs = 0;
        for (int i = 0; i < kBindings; ++i) {
            mainDevice.openDevice(deviceName);
            requests = mainDevice.ksRequestCount();
            const auto start = std::chrono::steady_clock::now();
            page.refreshSettings();
            refreshUs += microsecondsSince(start);
            requestsDiffer |= mainDevice.ksRequestCount() - requests != reboundRequests;
        }
        firstTimes.add(bareUs / kBindings, refreshUs / kBindings);

        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < rounds; ++i) differing += replay(*bare, laterTransfers);
        bareUs = microsecondsSince(start);
        requests = mainDevice.ksRequestCount();
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < rounds; ++i) page.refreshSettings();
        refreshUs = microsecondsSince(start);
        requestsDiffer |= mainDevice.ksRequestCount() - requests != laterRequests * static_cast<uint64_t>(rounds);
        laterTimes.add(bareUs / rounds, refreshUs / rounds);
    }
    const std::string firstTitle =
        "First refresh after binding, time per refresh (" + std::to_string(kBindings) + " bindings a run)";
    firstTimes.print(firstTitle.c_str(), "bare device transfers", "refreshSettings", "us");
    const std::string laterTitle = "Later refreshes, time per refresh (" + std::to_string(rounds) + " a run)";
    laterTimes.print(laterTitle.c_str(), "bare device transfers", "refreshSettings", "us");
    // Either would mean the two halves no longer do the same device work.
    if (differing) std::printf("warning: %ld replayed transfers answered otherwise than for the refresh\n", differing);
    if (requestsDiffer)
        std::printf("warning: the timed refreshes sent other kernel-streaming requests than the traced ones\n");
    if (QFile(tracePath).size() != tracedBytes) std::printf("warning: the timed runs were traced\n");
    std::printf("load average after: %s\n", bench::loadAverage().c_str());
    return 0;
}

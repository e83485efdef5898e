// The cost of reading the video page's settings from the simulated camera:
// kernel-streaming requests and device transfers per refresh, and its wall
// time, for the first refresh of a binding (which finds the extension unit)
// and for the ones after it.
#include <chrono>
#include <cstdio>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "CameraInfo.h"
#include "Vorq_SettingVideo.h"
#include "device/CameraDevice.h"
#include "platform/DevicePath.h"
#include "platform/DeviceProvider.h"

namespace {

struct TraceCount {
    long transfers = 0;
    long extensionUnit = 0;
};

// Lines appended to the trace since `offset`, which moves past them.
TraceCount countTrace(const QString& path, qint64& offset)
{
    TraceCount count;
    QFile trace(path);
    if (!trace.open(QIODevice::ReadOnly) || !trace.seek(offset)) return count;
    while (!trace.atEnd()) {
        const QByteArray line = trace.readLine();
        offset += line.size();
        ++count.transfers;
        if (line.contains("\"unit\":")) ++count.extensionUnit;
    }
    return count;
}

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
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

    qint64 offset = 0;
    countTrace(tracePath, offset);
    zoomDevice.openDevice(deviceName);
    mainDevice.openDevice(deviceName);
    const TraceCount openCount = countTrace(tracePath, offset);

    uint64_t requests = mainDevice.ksRequestCount();
    auto start = std::chrono::steady_clock::now();
    page.refreshSettings();
    const double firstMs = millisecondsSince(start);
    const uint64_t firstRequests = mainDevice.ksRequestCount() - requests;
    const TraceCount first = countTrace(tracePath, offset);

    constexpr int kRounds = 200;
    requests = mainDevice.ksRequestCount();
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) page.refreshSettings();
    const double totalMs = millisecondsSince(start);
    const double requestsEach = double(mainDevice.ksRequestCount() - requests) / kRounds;
    const TraceCount later = countTrace(tracePath, offset);

    std::printf("binding both instances: %ld device transfers\n", openCount.transfers);
    std::printf("first refresh after binding: %.3f ms, %llu kernel-streaming requests, %ld device transfers "
                "(%ld extension-unit)\n",
                firstMs, static_cast<unsigned long long>(firstRequests), first.transfers, first.extensionUnit);
    std::printf("later refreshes (%d): %.3f ms each, %.1f kernel-streaming requests, %.1f device transfers "
                "(%.1f extension-unit)\n",
                kRounds, totalMs / kRounds, requestsEach, double(later.transfers) / kRounds,
                double(later.extensionUnit) / kRounds);
    return 0;
}

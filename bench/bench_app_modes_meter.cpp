// Two figures of the program with the simulated camera and a sound server:
//   - the microphone level meter: this process's CPU while the popup is open
//     against the same time closed, phases interleaved (percent of one core);
//   - a capture-mode change while previewing: from the choice to the first
//     frame in the new size, alternating 800x600 and 1280x720.
// Usage: bench_app_modes_meter [seconds per meter phase, default 3] [mode changes, default 10]
// Needs PULSE_SERVER (scripts/pulse-test-server) and runs with VORQ_SIM set.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QTimer>

#include "CaptureModeBox.h"
#include "VolumePopup.h"
#include "Vorq_Cam.h"
#include "Vorq_CamForm.h"

namespace {

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Checks every 2 ms while the event loop runs; false on timeout.
template <typename Pred>
bool waitFor(Pred pred, int timeoutMs)
{
    QEventLoop loop;
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (pred() || elapsed.elapsed() > timeoutMs) loop.quit();
    });
    poll.start(2);
    loop.exec();
    return pred();
}

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Percent of one core this process used over `seconds` of event loop.
double cpuPercent(double seconds)
{
    const double cpu0 = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    waitMs(static_cast<int>(seconds * 1000));
    return 100.0 * (processCpuSeconds() - cpu0) / (static_cast<double>(wall.nsecsElapsed()) / 1e9);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(ui);
    const double phase = argc > 1 ? std::max(1.0, atof(argv[1])) : 3.0;
    const int changes = argc > 2 ? std::max(2, atoi(argv[2])) : 10;
    QTemporaryDir state;
    if (qEnvironmentVariableIsEmpty("VORQ_SIM")) qputenv("VORQ_SIM", state.path().toLocal8Bit());

    Vorq_Cam window;
    window.cameraScanTimer()->stop();
    window.show();
    QPushButton* mic = window.form()->bt_microphone;
    mic->setEnabled(true);

    std::printf("meter: %d phases of %.1f s, closed and open interleaved\n", 3, phase);
    std::vector<double> closed, open;
    for (int round = 0; round < 3; ++round) {
        mic->setChecked(false);
        closed.push_back(cpuPercent(phase));
        mic->setChecked(true);
        window.microphonePopup()->hideTimer()->stop(); // kept open for the whole phase
        open.push_back(cpuPercent(phase));
        std::printf("  round %d: closed %.2f %%  open %.2f %%\n", round + 1, closed.back(), open.back());
    }
    mic->setChecked(false);
    std::printf("meter cost: %.2f %% of one core (median open %.2f %% - median closed %.2f %%; target < 1 %%)\n",
                median(open) - median(closed), median(open), median(closed));

    CaptureModeBox* box = window.form()->comboBox_mode;
    window.form()->pushButton_preview->setChecked(true);
    if (!waitFor([&] { return !window.lastPreviewFrame().isNull(); }, 15000)) {
        std::fprintf(stderr, "no preview\n");
        return 1;
    }
    std::vector<double> ms;
    for (int i = 0; i < changes; ++i) {
        const bool large = i % 2 == 0;
        const int row = box->findText(large ? QStringLiteral("1280x720 30 fps MJPEG") : QStringLiteral("800x600 30 fps MJPEG"));
        const QSize want = large ? QSize(1280, 720) : QSize(800, 600);
        QElapsedTimer t;
        t.start();
        box->setCurrentIndex(row);
        emit box->activated(row);
        if (!waitFor([&] { return window.lastPreviewFrame().size() == want; }, 10000)) {
            std::fprintf(stderr, "no frame in the new mode\n");
            return 1;
        }
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        std::printf("  change %2d to %dx%d: %.0f ms\n", i + 1, want.width(), want.height(), ms.back());
    }
    std::printf("mode change to first new frame: median %.0f ms, worst %.0f ms (target < 500 ms)\n", median(ms),
                *std::max_element(ms.begin(), ms.end()));
    window.form()->pushButton_preview->setChecked(false);
    return 0;
}

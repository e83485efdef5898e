// The program's figures with the simulated camera:
//   - start-up: from starting the program to its window shown with the sole
//     camera opened (child processes, wall time);
//   - preview at 800x600, 30 frames/s: the GUI thread's longest stall in each
//     second, and the process CPU of the whole window against the media
//     engine alone.
// Usage: bench_app [seconds per preview phase, default 5]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "Vorq_Cam.h"
#include "Vorq_CamForm.h"
#include "medialib/Vorq_Medialib.h"

namespace {

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Ticks as often as the event loop lets it and keeps the longest gap of
// every second: how long the GUI thread was busy elsewhere.
class StallProbe {
public:
    StallProbe()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        perSecond_.clear();
        worst_ = 0;
        sinceSecond_.start();
        sinceTick_.start();
        timer_.start();
    }
    void stop() { timer_.stop(); }
    const std::vector<double>& perSecondMs() const { return perSecond_; }

private:
    void tick()
    {
        const double gap = static_cast<double>(sinceTick_.nsecsElapsed()) / 1e6 - 1.0;
        sinceTick_.start();
        worst_ = std::max(worst_, gap);
        if (sinceSecond_.elapsed() >= 1000) {
            perSecond_.push_back(worst_);
            worst_ = 0;
            sinceSecond_.start();
        }
    }

    QTimer timer_;
    QElapsedTimer sinceTick_;
    QElapsedTimer sinceSecond_;
    double worst_ = 0;
    std::vector<double> perSecond_;
};

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct PhaseResult {
    double cpuPercent = 0;
    int frames = 0;
    std::vector<double> stalls;
};

void printPhase(const char* name, const PhaseResult& r, int seconds)
{
    std::vector<double> s = r.stalls;
    std::sort(s.begin(), s.end());
    const double median = s.empty() ? 0 : s[s.size() / 2];
    const double worst = s.empty() ? 0 : s.back();
    std::printf("%-22s frames/s %5.1f  CPU %5.1f %%  GUI longest stall per second: median %5.1f ms, worst %5.1f ms\n",
                name, static_cast<double>(r.frames) / seconds, r.cpuPercent, median, worst);
}

PhaseResult measure(int seconds, const std::function<void()>& start, const std::function<void()>& stop, int& frames)
{
    StallProbe probe;
    start();
    runFor(1000); // the first second opens the camera and fills the pipeline
    frames = 0;
    const double cpu0 = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    probe.start();
    runFor(seconds * 1000);
    probe.stop();
    PhaseResult r;
    r.cpuPercent = (processCpuSeconds() - cpu0) / (static_cast<double>(wall.nsecsElapsed()) / 1e9) * 100.0;
    r.frames = frames;
    r.stalls = probe.perSecondMs();
    stop();
    return r;
}

int startupChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    Vorq_Cam window;
    window.show();
    // Shown means painted once: wait for the first expose to be handled.
    QTimer::singleShot(0, [&] {
        std::printf("shown %d\n", window.selectedIndex());
        std::fflush(stdout);
        app.quit();
    });
    return app.exec();
}

void startupFigures(const char* self)
{
    std::vector<double> runs;
    int opened = 0;
    for (int i = 0; i < 7; ++i) {
        QProcess child;
        QElapsedTimer t;
        t.start();
        child.start(QString::fromLocal8Bit(self), {QStringLiteral("--startup-child")});
        if (!child.waitForReadyRead(10000)) {
            std::printf("start-up: the child did not report\n");
            return;
        }
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        const QByteArray line = child.readAllStandardOutput();
        const int at = line.indexOf("shown ");
        if (at >= 0 && line.mid(at + 6, 1) == "1") ++opened;
        child.waitForFinished(10000);
        if (i > 0) runs.push_back(ms); // the first run warms the file cache
    }
    std::sort(runs.begin(), runs.end());
    std::printf("start-up to window shown with the camera opened: min %.0f ms, median %.0f ms, max %.0f ms "
                "(%d of 7 runs opened the camera)\n",
                runs.front(), runs[runs.size() / 2], runs.back(), opened);
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir simDir;
    if (qEnvironmentVariableIsEmpty("VORQ_SIM") && qEnvironmentVariableIsEmpty("VORQ_SIM_SOCKET"))
        qputenv("VORQ_SIM", simDir.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    Q_INIT_RESOURCE(ui);
    if (argc > 1 && QByteArray(argv[1]) == "--startup-child") return startupChild(argc, argv);

    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    startupFigures(argv[0]);

    QApplication app(argc, argv);
    int frames = 0;
    {
        Vorq_Medialib engine;
        QObject::connect(&engine, &Vorq_Medialib::frameBuffer, [&](uint8_t*, int, int) { ++frames; });
        engine.SetCapture("TELDORA TX42", 0);
        const PhaseResult alone = measure(
            seconds, [&] { engine.StartCapture(); }, [&] { engine.StopCapture(); }, frames);
        printPhase("media engine alone", alone, seconds);
    }
    {
        Vorq_Cam window;
        window.show();
        QObject::connect(window.mediaEngine(), &Vorq_Medialib::frameBuffer, [&](uint8_t*, int, int) { ++frames; });
        const PhaseResult whole = measure(
            seconds, [&] { window.form()->pushButton_preview->setChecked(true); },
            [&] { window.form()->pushButton_preview->setChecked(false); }, frames);
        printPhase("program previewing", whole, seconds);
    }
    return 0;
}

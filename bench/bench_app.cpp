// The program's figures with the simulated camera, each against a baseline run
// interleaved with it (at least three pairs, ratios pair by pair):
//   - start-up: from starting a process to its window painted on an X display,
//     the program (with the sole camera opened) against a Qt hello-world;
//   - preview at 800x600, 30 frames/s: the process CPU of the whole window
//     previewing against the media engine alone;
//   - the GUI thread's longest stall in each second while the window previews
//     and while it records (the probe runs in these phases only, so its own
//     ticks do not count in the CPU figures).
// Without DISPLAY the benchmark starts its own Xvfb.
// Usage: bench_app [seconds per preview phase, default 5] [pairs, default 3]
//        bench_app --profile-preview SECONDS   (only the window previewing)
//        bench_app --profile-engine SECONDS    (only the engine previewing)

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "FirstPaint.h"
#include "Interleaved.h"
#include "ProgramEnvironment.h"
#include "UserDialogs.h"
#include "Vorq_Cam.h"
#include "Vorq_CamForm.h"
#include "medialib/Vorq_Medialib.h"

namespace {

double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}
double processCpuSeconds() { return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID); }
// The phases run on the GUI thread, so this is the GUI thread's share.
double guiThreadCpuSeconds() { return cpuSeconds(CLOCK_THREAD_CPUTIME_ID); }

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

// Answers the recording's file dialog and swallows its messages.
class BenchDialogs : public UserDialogs {
public:
    explicit BenchDialogs(QString path) : path(std::move(path)) {}
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return path; }
    void information(QWidget*, const QString&, const QString&) override {}
    void warning(QWidget*, const QString& title, const QString& text) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }

private:
    QString path;
};

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Phase {
    double switchOnMs = 0; // the preview switch pressed until the camera is open
    double cpuPercent = 0;
    double guiPercent = 0; // of which the GUI thread
    double framesPerSecond = 0;
    std::vector<double> stalls;
};

// The first second opens the camera and fills the pipeline.
Phase measure(int seconds, int& frames, StallProbe* probe)
{
    runFor(1000);
    frames = 0;
    const double cpu0 = processCpuSeconds();
    const double gui0 = guiThreadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    if (probe) probe->start();
    runFor(seconds * 1000);
    if (probe) probe->stop();
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    Phase r;
    r.cpuPercent = (processCpuSeconds() - cpu0) / elapsed * 100.0;
    r.guiPercent = (guiThreadCpuSeconds() - gui0) / elapsed * 100.0;
    r.framesPerSecond = frames / elapsed;
    if (probe) r.stalls = probe->perSecondMs();
    return r;
}

Phase engineAlone(int seconds)
{
    int frames = 0;
    Vorq_Medialib engine;
    QObject::connect(&engine, &Vorq_Medialib::frameBuffer, [&](uint8_t*, int, int) { ++frames; });
    engine.SetCapture("TELDORA TX42", 0);
    engine.StartCapture();
    const Phase r = measure(seconds, frames, nullptr);
    engine.StopCapture();
    return r;
}

// The window previewing; recordTo: also record into that file.
Phase programPreviewing(int seconds, StallProbe* probe, const QString& recordTo = QString())
{
    int frames = 0;
    Vorq_Cam window;
    window.show();
    QObject::connect(window.mediaEngine(), &Vorq_Medialib::frameBuffer, [&](uint8_t*, int, int) { ++frames; });
    QElapsedTimer switchOn;
    switchOn.start();
    window.form()->pushButton_preview->setChecked(true);
    const double switchOnMs = static_cast<double>(switchOn.nsecsElapsed()) / 1e6;
    std::unique_ptr<BenchDialogs> dialogs;
    if (!recordTo.isEmpty()) {
        dialogs = std::make_unique<BenchDialogs>(recordTo);
        UserDialogs::install(dialogs.get());
        window.form()->bt_record->setChecked(true);
        if (!window.recordingTimer()) std::fprintf(stderr, "the recording did not start\n");
    }
    Phase r = measure(seconds, frames, probe);
    r.switchOnMs = switchOnMs;
    if (dialogs) window.form()->bt_record->setChecked(false);
    window.form()->pushButton_preview->setChecked(false);
    UserDialogs::install(nullptr);
    return r;
}

void printStalls(const char* name, const Phase& p)
{
    const bench::Spread s = bench::spreadOf(p.stalls);
    std::printf("  %-28s frames/s %5.1f  longest stall per second: min %5.1f  median %5.1f  max %5.1f ms\n", name,
                p.framesPerSecond, s.min, s.median, s.max);
    std::fflush(stdout);
}

// A start-up child as the program starts: the window built, shown and painted.
int startupChild(int argc, char** argv)
{
    ProgramEnvironment::prepare();
    QApplication app(argc, argv);
    Vorq_Cam window;
    FirstPaint painted(&window, [&] { return window.selectedIndex(); });
    window.show();
    return app.exec();
}

// Milliseconds from starting `program` to its "painted" line; -1 when it did
// not report. opened: whether the detail was 1 (the camera opened).
double startOnce(const QString& program, const QStringList& arguments, bool& opened,
                 const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess child;
    child.setProcessEnvironment(environment);
    QElapsedTimer t;
    t.start();
    child.start(program, arguments);
    QByteArray out;
    while (!out.contains('\n') && child.waitForReadyRead(20000)) out += child.readAllStandardOutput();
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    child.waitForFinished(20000);
    const int at = out.indexOf("painted ");
    if (at < 0) return -1;
    opened = out.mid(at + 8, 1) == "1";
    return ms;
}

// The program against a Qt hello-world as Qt starts it by default (which
// loads the OpenGL stack for its first window), and against the same
// hello-world without it, as the program starts: the second ratio is the
// program's own work.
void startupFigures(const char* self, int pairs)
{
    const QString program = QString::fromLocal8Bit(self);
    const QString hello = QFileInfo(program).dir().filePath(QStringLiteral("bench_app_hello_child"));
    QProcessEnvironment withoutGl = QProcessEnvironment::systemEnvironment();
    withoutGl.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    bench::Pairs figures;
    bench::Pairs ownWork;
    int opened = 0;
    bool ignored = false;
    // One unmeasured run each warms the file cache.
    startOnce(hello, {}, ignored);
    startOnce(hello, {}, ignored, withoutGl);
    startOnce(program, {QStringLiteral("--startup-child")}, ignored);
    for (int i = 0; i < pairs; ++i) {
        bool helloPainted = false;
        bool cameraOpened = false;
        const double base = startOnce(hello, {}, helloPainted);
        const double ms = startOnce(program, {QStringLiteral("--startup-child")}, cameraOpened);
        const double bare = startOnce(hello, {}, helloPainted, withoutGl);
        if (base < 0 || ms < 0 || bare < 0) {
            std::printf("start-up: a child did not report\n");
            return;
        }
        if (cameraOpened) ++opened;
        figures.add(base, ms);
        ownWork.add(bare, ms);
    }
    figures.print("Start-up to the window painted", "Qt hello-world", "program, sole camera opened", "ms");
    ownWork.print("Start-up, the program's own work", "hello-world without OpenGL", "program, sole camera opened",
                  "ms");
    std::printf("  the camera was opened in %d of %zu program runs\n", opened, figures.size());
}

// An X display for the whole benchmark: the one given, or a private Xvfb.
std::unique_ptr<QProcess> ensureDisplay()
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) return {};
    auto xvfb = std::make_unique<QProcess>();
    int fds[2];
    if (pipe(fds) != 0) return {};
    xvfb->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    xvfb->start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QString::number(fds[1]), QStringLiteral("-screen"),
                                          QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                                          QStringLiteral("tcp")});
    ::close(fds[1]);
    char number[16] = {};
    const ssize_t n = xvfb->waitForStarted(5000) ? ::read(fds[0], number, sizeof number - 1) : -1;
    ::close(fds[0]);
    if (n <= 0) {
        std::fprintf(stderr, "no DISPLAY and Xvfb did not start\n");
        std::exit(1);
    }
    qputenv("DISPLAY", QByteArray(":") + QByteArray(number).trimmed());
    return xvfb;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir simDir;
    if (qEnvironmentVariableIsEmpty("VORQ_SIM") && qEnvironmentVariableIsEmpty("VORQ_SIM_SOCKET"))
        qputenv("VORQ_SIM", simDir.path().toLocal8Bit());
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    Q_INIT_RESOURCE(ui);
    if (argc > 1 && QByteArray(argv[1]) == "--startup-child") return startupChild(argc, argv);

    const std::unique_ptr<QProcess> xvfb = ensureDisplay();
    if (argc > 2 && (QByteArray(argv[1]) == "--profile-preview" || QByteArray(argv[1]) == "--profile-engine")) {
        // One long phase of the window previewing (or of the engine alone),
        // to attach a profiler to.
        QApplication app(argc, argv);
        if (QByteArray(argv[1]) == "--profile-engine")
            engineAlone(std::max(1, atoi(argv[2])));
        else
            programPreviewing(std::max(1, atoi(argv[2])), nullptr);
        return 0;
    }
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int pairs = argc > 2 ? std::max(3, atoi(argv[2])) : 3;
    std::printf("load average before: %s; display %s\n", bench::loadAverage().c_str(), qgetenv("DISPLAY").constData());
    startupFigures(argv[0], pairs);

    QApplication app(argc, argv);
    const QTemporaryDir recordings;
    bench::Pairs cpu;
    for (int i = 0; i < pairs; ++i) {
        const Phase alone = engineAlone(seconds);
        const Phase whole = programPreviewing(seconds, nullptr);
        std::printf("  pair %d: engine alone %.2f %% (GUI thread %.2f) at %.1f frames/s, program %.2f %% (GUI thread "
                    "%.2f) at %.1f frames/s (preview switched on in %.0f ms)\n",
                    i + 1, alone.cpuPercent, alone.guiPercent, alone.framesPerSecond, whole.cpuPercent,
                    whole.guiPercent, whole.framesPerSecond, whole.switchOnMs);
        cpu.add(alone.cpuPercent, whole.cpuPercent);
    }
    cpu.print("Preview 800x600, process CPU", "media engine alone", "program previewing", "% of a core");

    std::printf("GUI thread, %d s per phase\n", seconds);
    StallProbe probe;
    printStalls("program previewing", programPreviewing(seconds, &probe));
    printStalls("program recording", programPreviewing(seconds, &probe, recordings.filePath(QStringLiteral("b.mp4"))));
    std::printf("load average after: %s\n", bench::loadAverage().c_str());
    if (xvfb) {
        xvfb->terminate();
        xvfb->waitForFinished(5000);
    }
    return 0;
}

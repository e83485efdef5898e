#include "MediaTestSupport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <csignal>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/DeviceProvider.h"

namespace mediatest {

using namespace vorq::platform;

const char* const kCard = "TELDORA TX42";
const char* const kMicrophone = "麦克风 (TELDORA TX42)";

std::string rgbStripesGraph()
{
    return "rgbtestsrc=size={size}:rate={rate},realtime";
}

std::string movingPatternGraph()
{
    return "testsrc2=size={size}:rate={rate},realtime";
}

std::string wallClockGraph()
{
    return "color=c=black:s={size}:r={rate},realtime,settb=1/1000000,setpts=RTCTIME,"
           "geq=lum='16+219*mod(T\\,1)':cb=128:cr=128";
}

std::string flashGraph()
{
    return "color=c=black:s={size}:r={rate},realtime,settb=1/1000000,setpts=RTCTIME,"
           "geq=lum='if(lt(mod(T+1/{rate}\\,1)\\,0.1)\\,235\\,16)':cb=128:cr=128";
}

std::string clockedPatternGraph()
{
    return "testsrc2=size={size}:rate={rate},realtime,settb=1/1000000,setpts=RTCTIME,format=yuv420p,"
           "geq=lum='if(lt(Y\\,H/4)\\,16+219*mod(T\\,1)\\,lum(X\\,Y))':cb='cb(X\\,Y)':cr='cr(X\\,Y)'";
}

std::string toneGraph(int sampleRate, int channels)
{
    const std::string layout = channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + "c";
    // 20 ms of sound arrives as a burst of four 5 ms frames, as a busy
    // system hands them over: every one of them must reach the file.
    return "sine=frequency=440:sample_rate=" + std::to_string(sampleRate) + ":samples_per_frame=" +
           std::to_string(sampleRate / 50) + ",aformat=channel_layouts=" + layout +
           ",arealtime,asetnsamples=n=" + std::to_string(sampleRate / 200);
}

std::string beepGraph(int sampleRate, double speed)
{
    // The sound is placed by the microphone's own clock (its sample count
    // at `speed`, from the wall-clock time of its first frame), and stamped
    // like a real input: with the wall clock when it is read, late when the
    // machine is busy.
    const std::string perFrame = std::to_string(sampleRate / 100);
    const std::string frameUs = std::to_string(1e6 * (sampleRate / 100) / (sampleRate * speed));
    return "sine=frequency=1000:sample_rate=" + std::to_string(sampleRate) + ":samples_per_frame=" + perFrame +
           ",arealtime=speed=" + std::to_string(speed) + ",asettb=1/1000000,asetpts='if(eq(N\\,0)\\,RTCTIME\\,PREV_OUTPTS+" +
           frameUs + ")',aeval='if(lt(mod(t\\,1)\\,0.05)\\,val(0)\\,0)':c=same,asettb=1/1000000,asetpts=RTCTIME";
}

namespace {

class FakeCamera : public UvcDevice {
public:
    explicit FakeCamera(UvcIdentity id) : id(std::move(id)) {}
    const UvcIdentity& identity() const override { return id; }
    const std::vector<ExtensionUnit>& extensionUnits() const override { return units; }
    int xuQuery(uint8_t, uint8_t, uint8_t, uint8_t*, uint16_t) override { return EIO; }
    int queryControl(uint32_t, ControlRange&) override { return EINVAL; }
    int getControl(uint32_t, int32_t&) override { return EINVAL; }
    int setControl(uint32_t, int32_t) override { return EINVAL; }
    std::unique_ptr<UvcDevice> reopen() const override { return std::make_unique<FakeCamera>(id); }

private:
    UvcIdentity id;
    std::vector<ExtensionUnit> units;
};

std::mutex logMutex;
std::string logText;
QtMessageHandler previousHandler = nullptr;

void ffmpegLog(void*, int level, const char* format, va_list args)
{
    if (level > AV_LOG_ERROR) return;
    char line[1024];
    std::vsnprintf(line, sizeof line, format, args);
    std::lock_guard<std::mutex> lock(logMutex);
    logText += line;
}

void qtLog(QtMsgType, const QMessageLogContext&, const QString& message)
{
    std::lock_guard<std::mutex> lock(logMutex);
    logText += message.toStdString();
    logText += '\n';
}

} // namespace

FakeCameras::FakeCameras(std::vector<FakeCameraSpec> cameras)
{
    DeviceProvider::setSourceForTesting([cameras] {
        DeviceList list;
        int n = 0;
        for (const auto& camera : cameras) {
            UvcIdentity id;
            id.card = kCard;
            id.usb = true;
            id.vendorId = 0x9f2b;
            id.productId = 0x0042;
            id.busPath = "1-" + std::to_string(4 + n);
            id.videoNode = "sim-cam" + std::to_string(n++);
            id.simulated = true;
            id.videoGraph = camera.videoGraph;
            id.microphone = kMicrophone;
            id.audioGraph = camera.audioGraph;
            id.busy = camera.busy;
            list.push_back(std::make_unique<FakeCamera>(id));
        }
        return list;
    });
}

FakeCameras::~FakeCameras()
{
    DeviceProvider::setSourceForTesting({});
}

LogCapture::LogCapture()
{
    {
        std::lock_guard<std::mutex> lock(logMutex);
        logText.clear();
    }
    av_log_set_callback(ffmpegLog);
    previousHandler = qInstallMessageHandler(qtLog);
}

LogCapture::~LogCapture()
{
    av_log_set_callback(av_log_default_callback);
    qInstallMessageHandler(previousHandler);
}

std::string LogCapture::text() const
{
    std::lock_guard<std::mutex> lock(logMutex);
    return logText;
}

bool LogCapture::contains(const std::string& part) const
{
    return text().find(part) != std::string::npos;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    if (done()) return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

const std::string& TempDir::path()
{
    if (dir.empty()) {
        char pattern[] = "/tmp/vorq-media-XXXXXX";
        const char* made = mkdtemp(pattern);
        dir = made ? made : "/tmp";
    }
    return dir;
}

TempDir::~TempDir()
{
    // VORQ_MEDIA_TEST_KEEP=1 keeps the recordings for a look afterwards.
    const char* keep = std::getenv("VORQ_MEDIA_TEST_KEEP");
    if (keep && *keep == '1') return;
    if (!dir.empty() && dir != "/tmp") std::system(("rm -rf '" + dir + "'").c_str());
}

bool fileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string runCommand(const std::string& command, int* exitCode)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        if (exitCode) *exitCode = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    const int status = ::pclose(pipe);
    if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

CpuLoad::CpuLoad(int workers)
{
    for (int i = 0; i < workers; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            volatile unsigned long spin = 0;
            for (;;) ++spin;
        }
        if (child > 0) children.push_back(child);
    }
}

CpuLoad::~CpuLoad()
{
    for (int child : children) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
}

} // namespace mediatest

#pragma once

#include <functional>
#include <string>
#include <vector>

namespace mediatest {

extern const char* const kCard;
extern const char* const kMicrophone;

// lavfi graphs of the fake cameras; "{size}" and "{rate}" are filled in by
// the platform layer from the capture request.
std::string rgbStripesGraph();   // red, green, blue stripes from top to bottom
std::string movingPatternGraph(); // changes with every frame
// Grey level = fraction of the current wall-clock second (R = 255 * frac),
// so a picture tells how old it is.
std::string wallClockGraph();
// White for 100 ms once a second, from the frame that spans the second's
// start (a frame shows what happened during its interval).
std::string flashGraph();
// A moving picture whose top quarter tells the time: its grey level is the
// fraction of the current wall-clock second (16 + 219 * fraction).
std::string clockedPatternGraph();
std::string toneGraph(int sampleRate, int channels);
// A 50 ms 1 kHz beep starting exactly at every wall-clock second; speed
// above 1 makes a microphone whose clock runs that much fast.
std::string beepGraph(int sampleRate, double speed = 1.0);

struct FakeCameraSpec {
    std::string videoGraph;
    std::string audioGraph;
    bool busy = false;
};

// Makes these cameras the system's device walk while the object lives.
class FakeCameras {
public:
    explicit FakeCameras(std::vector<FakeCameraSpec> cameras);
    ~FakeCameras();
    FakeCameras(const FakeCameras&) = delete;
    FakeCameras& operator=(const FakeCameras&) = delete;
};

// Everything the engine logs (FFmpeg's error log and Qt's messages) while the
// object lives.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::string text() const;
    bool contains(const std::string& part) const;
};

// Runs the event loop until done() or the time-out; returns done().
bool waitFor(const std::function<bool()>& done, int timeoutMs);
void runEventLoopFor(int ms);

// A scratch directory, made on first use and removed with the object.
class TempDir {
public:
    TempDir() = default;
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path();
    std::string file(const std::string& name) { return path() + "/" + name; }

private:
    std::string dir;
};

bool fileExists(const std::string& path);
// Output of a shell command; exitCode receives its status.
std::string runCommand(const std::string& command, int* exitCode = nullptr);
// Keeps both cores busy while the object lives.
class CpuLoad {
public:
    explicit CpuLoad(int workers = 3);
    ~CpuLoad();
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

private:
    std::vector<int> children;
};

} // namespace mediatest

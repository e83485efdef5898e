#pragma once

#include <cstdint>

#include "CVorqUvcUpgrade.h"

namespace fwflash {

// One run of the upgrade command line: options, the operations they request
// and the order in which those run on the opened camera. A run owns its
// state, so nothing of an earlier run in the same process carries over.
class CommandLine {
public:
    enum RunFlag : uint32_t {
        kDevice = 0x1,
        kIndex = 0x2,
        kMtd = 0x4,
        kPkg = 0x8,
        kConfig = 0x10,
        kSerial = 0x20,
        kUpload = 0x40,
        kDownload = 0x80,
        kLog = 0x100,
        kReboot = 0x200,
        kStatus = 0x400,
        kInfo = 0x800,
    };

    explicit CommandLine(CVorqUvcUpgrade& engine);

    // 0 on success, -1 when no camera could be opened and run; usage and
    // parser errors print the usage and return 0.
    int Run(int argc, char** argv);

    uint32_t RunFlags() const { return runFlags_; }

private:
    // false: the usage was printed and the run ends.
    bool Parse(int argc, char** argv);
    void ParseIndex(const char* text);
    void ParseDevice(const char* text);
    HRESULT RunCommands(IBaseFilter* filter);
    void WaitForCompletion();

    template <typename... Args>
    void print(const char* format, Args... args) const;

    CVorqUvcUpgrade& engine_;
    uint32_t runFlags_ = 0;
    const char* mtdPath_ = nullptr;
    const char* pkgPath_ = nullptr;
    const char* configPath_ = nullptr;
    const char* serialText_ = nullptr;
    const char* uploadName_ = nullptr;
    const char* downloadPath_ = nullptr;
    const char* logDirectory_ = nullptr;
    DeviceSelection selection_;
    int cameraCount_ = 0;
    bool cameraCountKnown_ = false;
};

void printUsage();

template <typename... Args>
void CommandLine::print(const char* format, Args... args) const
{
    PrintCallback out = engine_.GetPrintCallback() ? engine_.GetPrintCallback() : printToStandardOutput;
    out(format, args...);
}

} // namespace fwflash

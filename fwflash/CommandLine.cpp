#include "CommandLine.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "OptionParser.h"
#include "UpgradeClock.h"
#include "UpgradeProtocol.h"

namespace fwflash {

namespace {

constexpr const char* kOptionString = "-hld:I:M:P:C:S:U:D:L:rsi";

// The long forms the usage shows, as aliases of the letters.
constexpr OptionParser::LongOption kLongOptions[] = {
    {"help", 'h'},   {"list", 'l'},     {"device", 'd'}, {"Index", 'I'},    {"intf", 'I'},
    {"MTD", 'M'},    {"PKG", 'P'},      {"Config", 'C'}, {"SN", 'S'},       {"upload", 'U'},
    {"download", 'D'}, {"get", 'L'},    {"log", 'L'},    {"reset", 'r'},    {"status", 's'},
    {"info", 'i'},   {nullptr, 0},
};

constexpr uint32_t kRebootPauseMs = 10000;
constexpr uint32_t kRescanPauseMs = 1000;
constexpr int kMaxRescans = 301;

// Where -U stores the fetched file: the current directory.
constexpr const char* kCurrentDirectory = "./";

const char* nonEmpty(const char* text) { return text && *text ? text : nullptr; }

int parseUsbIdPart(const char* part)
{
    if (!part) return -1;
    if (*part == '*') return -1;
    if (*part == '-') return 0x10000;
    char* end = nullptr;
    unsigned long value = std::strtoul(part, &end, 16);
    if (end == part) return -1;
    // Anything beyond 16 bits names no USB device.
    return value > 0xFFFFul ? 0x10000 : static_cast<int>(value);
}

} // namespace

void printUsage()
{
    std::fputs("Usage: camfw_flash [options] ...\n  -h --help\t\t\t\tPrint this help message\n"
               "  -l --list\t\t\t\tList UVC devices\n\n",
               stderr);
    std::fputs("  -d --device <vendor>:<product>\t[Vendor/Product ID(s) of UVC device]\n"
               "  -I --Index <-l devices index>\t\tSpecify the UVC devices number\n"
               "  -M --MTD upgrade <file.img>\t\tupgrade firmware from <file> into device\n"
               "  -P --PKG upgrade <file.pkg>\t\tupgrade firmware from <file> into device\n"
               "  -C --Config upgrade <file.tar.gz>\tupgrade config from <file> into device\n"
               "  -S --SN upgrade <strings>\t\tupgrade serial number from <options> into device\n"
               "  -U --upload <file name>\t\tReceive file from device\n"
               "  -D --download <file>\t\t\tWrite firmware from <file> into device\n"
               "  -L --get log <path>\t\t\tGet log from device into <path>\n"
               "  -r --reset\t\t\t\tReset device\n"
               "  -s --device status\t\t\tQuery the status of the device\n"
               "  -i --device info\t\t\tQuery the information of the device\n",
               stderr);
}

CommandLine::CommandLine(CVorqUvcUpgrade& engine) : engine_(engine) {}

void CommandLine::ParseIndex(const char* text)
{
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text, &end, 0);
    const bool overflow = errno == ERANGE && (value == LONG_MAX || value == LONG_MIN);
    const bool outOfRange = value > INT_MAX || value < INT_MIN;
    if (overflow || outOfRange || (errno != 0 && value == 0) || *end != '\0')
        print("Something went wrong with the argument of --%s\n", "intf");
    if (end == text) print("No digits were found from the argument of --%s\n", "intf");
    // An index past the int range must not wrap onto a real camera.
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    selection_.index = static_cast<int>(value);
}

void CommandLine::ParseDevice(const char* text)
{
    selection_.vendorId = -1;
    selection_.productId = -1;
    if (*text == ',') return;
    const char* colon = std::strchr(text, ':');
    const char* comma = std::strchr(text, ',');
    const char* product = colon && !(comma && comma < colon) ? colon + 1 : nullptr;
    selection_.vendorId = parseUsbIdPart(text);
    selection_.productId = parseUsbIdPart(product);
    print("match_usb_vid: %d, match_usb_pid: %d\n", selection_.vendorId, selection_.productId);
}

bool CommandLine::Parse(int argc, char** argv)
{
    OptionParser parser(argc, argv, kOptionString, kLongOptions);
    for (int option = parser.next(); option != -1; option = parser.next()) {
        const char* argument = parser.argument();
        switch (option) {
        case 'l':
            cameraCount_ = engine_.ListDevices(1);
            cameraCountKnown_ = true;
            print("Find %d UVC devices\n", cameraCount_);
            break;
        case 'd':
            ParseDevice(argument);
            runFlags_ |= kDevice;
            break;
        case 'I':
            ParseIndex(argument);
            cameraCount_ = engine_.ListDevices(selection_.index);
            cameraCountKnown_ = true;
            runFlags_ |= kIndex;
            break;
        case 'M': mtdPath_ = nonEmpty(argument); runFlags_ |= kMtd; break;
        case 'P': pkgPath_ = nonEmpty(argument); runFlags_ |= kPkg; break;
        case 'C': configPath_ = nonEmpty(argument); runFlags_ |= kConfig; break;
        case 'S': serialText_ = nonEmpty(argument); runFlags_ |= kSerial; break;
        case 'U': uploadName_ = nonEmpty(argument); runFlags_ |= kUpload; break;
        case 'D': downloadPath_ = nonEmpty(argument); runFlags_ |= kDownload; break;
        case 'L': logDirectory_ = nonEmpty(argument); runFlags_ |= kLog; break;
        case 'r': runFlags_ |= kReboot; break;
        case 's': runFlags_ |= kStatus; break;
        case 'i': runFlags_ |= kInfo; break;
        default: // 'h', non-option words, unknown options, missing arguments
            printUsage();
            return false;
        }
    }
    return true;
}

HRESULT CommandLine::RunCommands(IBaseFilter* filter)
{
    if (runFlags_ & kDevice)
        print("USB VID:0x%x PID:0x%x\n", static_cast<unsigned>(selection_.vendorId),
              static_cast<unsigned>(selection_.productId));
    if (runFlags_ & kIndex) engine_.PrintDeviceInfo();
    if (runFlags_ & kStatus) engine_.PrintStatus();

    HRESULT hr = S_OK;
    if ((runFlags_ & kLog) && logDirectory_) {
        if (FAILED(hr = engine_.GetDeviceLog(filter, logDirectory_))) {
            print("GetDeviceLog Error!\n");
            return hr;
        }
    }
    if ((runFlags_ & kDownload) && downloadPath_) {
        if (FAILED(hr = engine_.SendFileToDevice(filter, CMD_DOWNLOAD_FILE, downloadPath_))) {
            print("SendFileToDevice Error!\n");
            return hr;
        }
    }
    if ((runFlags_ & kUpload) && uploadName_) {
        print("Receive File\n");
        if (FAILED(hr = engine_.ReceiveFile(filter, kCurrentDirectory, uploadName_))) {
            print("ReceiveFile Error!\n");
            return hr;
        }
    }
    if ((runFlags_ & kSerial) && serialText_) {
        print("Set SN:%s\n", serialText_);
        if (FAILED(hr = engine_.SetUsbSn(filter, serialText_))) {
            print("SetUsbSn Error!\n");
            return hr;
        }
    }
    if ((runFlags_ & kConfig) && configPath_) {
        print("Config Upgrade ...\n");
        if (FAILED(hr = engine_.Config_Upgrade(filter, configPath_))) {
            print("Config Upgrade Error!\n");
            return hr;
        }
    }
    if (runFlags_ & kMtd) {
        if (mtdPath_) {
            print("MTD Upgrade ...\n");
            if (FAILED(hr = engine_.MTD_Upgrade(filter, mtdPath_))) {
                print("MTD Upgrade Error!\n");
                return hr;
            }
        }
    } else if ((runFlags_ & kPkg) && pkgPath_) {
        print("PKG Upgrade ...\n");
        if (FAILED(hr = engine_.PKG_Upgrade(filter, pkgPath_))) {
            print("PKG Upgrade Error!\n");
            return hr;
        }
    }
    if (runFlags_ & kReboot) {
        print("Device Reboot\n");
        if (FAILED(hr = engine_.DeviceReboot(filter))) {
            print("DeviceReboot Error!\n");
            return hr;
        }
    }
    return S_OK;
}

void CommandLine::WaitForCompletion()
{
    UpgradeClock& clock = UpgradeClock::current();
    print("Please wait for the upgrade to complete ...\n");
    clock.sleepMs(kRebootPauseMs);
    for (int waits = 0; engine_.ListDevices(0) < cameraCount_;) {
        clock.sleepMs(kRescanPauseMs);
        if (++waits == kMaxRescans) {
            print("Upgrade Timout!\n");
            break;
        }
    }
    print((runFlags_ & kMtd) ? "MTD Upgrade Complete!\n" : "PKG Upgrade Complete!\n");
}

int CommandLine::Run(int argc, char** argv)
{
    engine_.ResetRun();
    print("TELDORA camera firmware upgrade\n");
    print("VORQ UVC Upgrade Version:%x.%02x\n", 1u, 1u);
    if (argc < 2) {
        printUsage();
        return 0;
    }
    if (!Parse(argc, argv)) return 0;

    const bool upgrading = (runFlags_ & (kMtd | kPkg)) != 0;
    if (upgrading && !cameraCountKnown_) {
        // Without -l or -I there is no count to wait for: take the cameras
        // present now, silently.
        engine_.SetListQuiet(true);
        cameraCount_ = engine_.ListDevices(0);
        engine_.SetListQuiet(false);
        cameraCountKnown_ = true;
    }

    HRESULT hr = engine_.OpenAndRun(selection_, [this](IBaseFilter* filter) { return RunCommands(filter); });
    if (hr != S_OK) {
        engine_.SetListQuiet(false);
        print("Upgrade error!\n");
        return -1;
    }
    engine_.SetListQuiet(true);
    if (upgrading) WaitForCompletion();
    print("\nexit\n");
    return 0;
}

} // namespace fwflash

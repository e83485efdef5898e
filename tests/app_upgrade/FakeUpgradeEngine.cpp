// A stand-in for the firmware upgrade engine: the same export, scripted output.
// Every call is appended to the file named by VORQ_FAKE_ENGINE_LOG as
// "mode|a1|a2|a3|a4". Like the real engine it serves one run per load, so a
// host that forgets to unload it sees the second run fail.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

using Print = int (*)(const char*, ...);

int runsInThisLoad = 0;
char resultText[64];

void logCall(int mode, const char* a1, const char* a2, const char* a3, const char* a4)
{
    const char* logPath = std::getenv("VORQ_FAKE_ENGINE_LOG");
    if (!logPath || !*logPath) return;
    FILE* log = std::fopen(logPath, "a");
    if (!log) return;
    auto text = [](const char* s) { return s ? s : "(null)"; };
    std::fprintf(log, "%d|%s|%s|%s|%s\n", mode, text(a1), text(a2), text(a3), text(a4));
    std::fclose(log);
}

void banner(Print print)
{
    print("Fake camera upgrade tool\n");
    print("VORQ UVC Upgrade Version:%x.%02x\n", 1, 1);
}

void information(Print print, const char* index)
{
    banner(print);
    if (std::strcmp(index, "0") != 0) {
        print("Upgrade error!\n");
        return;
    }
    print("Device 0: TELDORA TX42\n");
    print("Model: TX42\nFirmware version: 1.0.3\nSerial number: SN0001\n");
    print("\nexit\n");
}

void transfer(Print print, const char* option, const char* path)
{
    const bool image = std::strcmp(option, "-M") == 0;
    banner(print);
    print(image ? "MTD Upgrade ...\n" : "PKG Upgrade ...\n");
    // The host hands over the path in the platform's file-name encoding; any
    // other encoding fails to open here, as it would in the real engine.
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        print("open file %s error\n", path);
        print(image ? "MTD Upgrade Error!\n" : "PKG Upgrade Error!\n");
        print("Upgrade error!\n");
        return;
    }
    char head[4] = {};
    const bool failing = std::fread(head, 1, sizeof head, file) == sizeof head && std::memcmp(head, "FAIL", 4) == 0;
    std::fclose(file);

    print("send file:%s\n", path);
    for (int percent = 0; percent <= 100; percent += 10) {
        print("\rsend file:%d%%", percent);
        if (failing && percent == 50) {
            print("\nsend file error\n");
            print(image ? "MTD Upgrade Error!\n" : "PKG Upgrade Error!\n");
            print("Upgrade error!\n");
            return;
        }
    }
    print("\n");
    print("Please wait for the upgrade to complete ...\n");
    for (double percent : {0.0, 33.3, 66.6, 99.9}) print("\rflash write:%0.1f%%", percent);
    print("\rflash write:%0.1f%%\n", 100.0);
    print(image ? "MTD Upgrade Complete!\n" : "PKG Upgrade Complete!\n");
    print("\nexit\n");
}

} // namespace

extern "C" __attribute__((visibility("default"))) const char* upgrade(int mode, const char* a1, const char* a2,
                                                                      const char* a3, const char* a4, Print print)
{
    logCall(mode, a1, a2, a3, a4);
    if (++runsInThisLoad > 1) {
        print("engine reused without reloading\n");
        return resultText;
    }
    if (mode == 1)
        information(print, a2 ? a2 : "");
    else if (mode == 2)
        transfer(print, a1 ? a1 : "", a2 ? a2 : "");
    return resultText;
}

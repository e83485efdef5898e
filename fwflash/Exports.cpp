#include "Exports.h"

#include "CommandLine.h"
#include "camfw_flash/camfw_flash.h"

namespace fwflash {

namespace {
CVorqUvcUpgrade engine;
// Left empty by this version; callers only log it.
char resultText[40960];
} // namespace

CVorqUvcUpgrade& theEngine() { return engine; }

int runMain(int argc, char** argv)
{
    CommandLine commandLine(engine);
    return commandLine.Run(argc, argv);
}

} // namespace fwflash

extern "C" {

const char* upgrade(int mode, const char* a1, const char* a2, const char* a3, const char* a4, CamfwPrintCallback print)
{
    fwflash::theEngine().SetPrintCallback(print);
    // The texts are the caller's; the parser only reads them.
    char* argv[5] = {nullptr, const_cast<char*>(a1), const_cast<char*>(a2), const_cast<char*>(a3),
                     const_cast<char*>(a4)};
    if (mode == 1)
        fwflash::runMain(3, argv);
    else if (mode == 2)
        fwflash::runMain(5, argv);
    return fwflash::resultText;
}

int sum(int a, int b) { return a + b; }
int multi(int a, int b) { return a * b; }
const char* test1(void) { return "hello"; }

} // extern "C"

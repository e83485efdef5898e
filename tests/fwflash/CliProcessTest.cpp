// The camfw_flash program as a user runs it: messages on standard output,
// usage and parser diagnostics on standard error, and its exit code.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

using testing::EndsWith;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CliProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/fwflash-cli.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0); }

    ProgramRun run(const std::string& arguments, const std::string& environment = "")
    {
        const std::string command = "cd '" + dir + "' && env -u VORQ_SIM -u VORQ_SIM_SOCKET -u VORQ_SIM_TRACE " +
                                    environment + " " CAMFW_FLASH_EXE " " + arguments + " >out.txt 2>err.txt";
        ProgramRun r;
        const int status = std::system(command.c_str());
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = slurp(dir + "/out.txt");
        r.err = slurp(dir + "/err.txt");
        return r;
    }

    std::string dir;
};

const std::string kHeader = "TELDORA camera firmware upgrade\nVORQ UVC Upgrade Version:1.01\n";
const std::string kUsageStart = "Usage: camfw_flash [options] ...\n  -h --help\t\t\t\tPrint this help message\n";
const std::string kUsageEnd = "  -i --device info\t\t\tQuery the information of the device\n";

TEST_F(CliProcessTest, UsageGoesToStandardError)
{
    for (const char* arguments : {"", "-h", "--help"}) {
        SCOPED_TRACE(arguments);
        const ProgramRun r = run(arguments);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, kHeader);
        EXPECT_THAT(r.err, StartsWith(kUsageStart));
        EXPECT_THAT(r.err, EndsWith(kUsageEnd));
    }
}

TEST_F(CliProcessTest, ParserDiagnostics)
{
    ProgramRun r = run("-x");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_THAT(r.err, StartsWith(std::string(CAMFW_FLASH_EXE) + ": unknown option -- x\n" + kUsageStart));
    r = run("-I");
    EXPECT_THAT(r.err, StartsWith(std::string(CAMFW_FLASH_EXE) + ": option requires an argument -- I\n"));
    r = run("-");
    EXPECT_THAT(r.err, StartsWith(kUsageStart));
    EXPECT_EQ(r.out, kHeader);
}

TEST_F(CliProcessTest, NoCameraIsAFailedRun)
{
    const ProgramRun r = run("-I 0", "VORQ_SIM=0");
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_THAT(r.out, EndsWith("Upgrade error!\n"));
    EXPECT_EQ(r.err, "");
}

TEST_F(CliProcessTest, InformationFromTheSimulatedCamera)
{
    const ProgramRun r = run("-I 0", "VORQ_SIM='" + dir + "/sim'");
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_THAT(r.out, StartsWith(kHeader + "Device name: TELDORA TX42 \n\nDevice info:\n Id: 0 \n Description:"
                                            "\\\\?\\usb#vid_9f2b&pid_0042"));
    EXPECT_THAT(r.out, HasSubstr(" Soc Version:"));
    EXPECT_THAT(r.out, HasSubstr("Lynx-A"));
    EXPECT_THAT(r.out, EndsWith("Usb speed max:high-speed\n\nexit\n"));
}

} // namespace

namespace {

std::string libraryOutput;
int collectLibraryOutput(const char* format, ...)
{
    char buffer[4096];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    libraryOutput += buffer;
    return n;
}

using UpgradeEntry = const char* (*)(int, const char*, const char*, const char*, const char*,
                                     int (*)(const char*, ...));

// The program loads the library for each run and unloads it after; the
// library need not really go away in between, and the run must not care.
TEST_F(CliProcessTest, LoadedLibraryServesRunAfterRun)
{
    setenv("VORQ_SIM", (dir + "/sim").c_str(), 1);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        void* library = dlopen(CAMFW_FLASH_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<UpgradeEntry>(dlsym(library, "upgrade"));
        ASSERT_NE(entry, nullptr);
        libraryOutput.clear();
        const char* result = entry(1, "-I", "0", "", "", collectLibraryOutput);
        EXPECT_STREQ(result, "");
        EXPECT_THAT(libraryOutput, HasSubstr("Device name: TELDORA TX42"));
        EXPECT_THAT(libraryOutput, EndsWith("\nexit\n"));
        dlclose(library);
    }
    unsetenv("VORQ_SIM");
}

TEST(LibraryExports, OnlyTheEntryPoints)
{
    FILE* nm = popen("nm -D --defined-only --format=just-symbols '" CAMFW_FLASH_LIBRARY "'", "r");
    ASSERT_NE(nm, nullptr);
    std::string symbols;
    char line[512];
    while (std::fgets(line, sizeof line, nm)) {
        const std::string name(line);
        if (name != "_init\n" && name != "_fini\n") symbols += name;
    }
    ASSERT_EQ(pclose(nm), 0);
    EXPECT_EQ(symbols, "main\nmulti\nsum\ntest1\nupgrade\n");
}

} // namespace

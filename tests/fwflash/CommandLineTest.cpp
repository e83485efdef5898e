// The command line through the exported entry point: transcripts of each
// option, the run order, repeated runs in one process, and the faults that
// end a run.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "EngineFixture.h"
#include "camfw_flash/camfw_flash.h"

using testing::EndsWith;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

namespace fwtest {
namespace {

using CommandLineTest = EngineFixture;

const std::string kHeader = "TELDORA camera firmware upgrade\nVORQ UVC Upgrade Version:1.01\n";
const std::string kDescription = "Device name: TELDORA TX42 \n\nDevice info:\n Id: 0 \n"
                                 " Description:\\\\?\\usb#vid_9f2b&pid_0042&mi_00#1-4#/dev/video0";
const std::string kInformation = " Soc Version:1.0.3 Lynx-A.std: TX42 Chip:0x35590100\n Flash size:16M"
                                 " SN:SN0001 \n Vid:0x9f2b \n Pid:0x0042 \n Bcd:0x0103 \n Usb speed max:high-speed\n";

TEST_F(CommandLineTest, InformationTranscript)
{
    EXPECT_EQ(runUpgrade(1, "-I", "0"), kHeader + kDescription + kInformation + "\nexit\n");
    // A second run in the same process starts afresh.
    EXPECT_EQ(runUpgrade(1, "-I", "0"), kHeader + kDescription + kInformation + "\nexit\n");
    // So does a run through the long option names.
    EXPECT_EQ(runUpgrade(1, "--Index", "0"), kHeader + kDescription + kInformation + "\nexit\n");
}

TEST_F(CommandLineTest, ListAndSelection)
{
    // -l describes the camera with count 1: there is none.
    EXPECT_EQ(runUpgrade(1, "-l", "-i"), kHeader + "Find 1 UVC devices\n\nexit\n");
    // An empty word is a stray argument: the usage, and nothing runs.
    EXPECT_EQ(runUpgrade(1, "-l", ""), kHeader + "Find 1 UVC devices\n");

    EXPECT_EQ(runUpgrade(2, "-d", "9f2b:*", "-s", "-i"),
              kHeader + "match_usb_vid: 40747, match_usb_pid: -1\nUSB VID:0x9f2b PID:0xffffffff\n"
                        "device stauts:\nusb speed:high-speed\nuvc stream:0\nuac mic stream:0\nuac speak stream:0\n"
                        "\nexit\n");

    EXPECT_EQ(runUpgrade(1, "-d", "*:-"), kHeader + "match_usb_vid: -1, match_usb_pid: 65536\nUpgrade error!\n");
    EXPECT_EQ(runUpgrade(1, "-d", "9f2a"), kHeader + "match_usb_vid: 40746, match_usb_pid: -1\nUpgrade error!\n");

    // -I 1 with one camera: described nothing, opened nothing.
    EXPECT_EQ(runUpgrade(1, "-I", "1"), kHeader + "Upgrade error!\n");

    EXPECT_EQ(runUpgrade(1, "-I", "abc"), kHeader + "Something went wrong with the argument of --intf\n"
                                                    "No digits were found from the argument of --intf\n" +
                                              kDescription + kInformation + "\nexit\n");
    // An index past the int range selects no camera.
    EXPECT_THAT(runUpgrade(1, "-I", "4294967296"), EndsWith("Upgrade error!\n"));
}

TEST_F(CommandLineTest, UsageAndOtherModesReturnToTheCaller)
{
    EXPECT_EQ(runUpgrade(1, "-h", ""), kHeader);
    EXPECT_EQ(runUpgrade(1, "-x", ""), kHeader);
    EXPECT_EQ(runUpgrade(1, "stray", ""), kHeader);
    EXPECT_EQ(runUpgrade(3, "-I", "0"), "");
    EXPECT_TRUE(camera->log.empty());
    // Still usable afterwards.
    EXPECT_THAT(runUpgrade(1, "-I", "0"), EndsWith("\nexit\n"));
    EXPECT_EQ(sum(2, 3), 5);
    EXPECT_EQ(multi(2, 3), 6);
    EXPECT_STREQ(test1(), "hello");
}

TEST_F(CommandLineTest, SerialNumberAndReboot)
{
    EXPECT_EQ(runUpgrade(2, "-S", "NEW-SN-42", "-r", "-i"), kHeader + "Set SN:NEW-SN-42\nDevice Reboot\n\nexit\n");
    EXPECT_EQ(camera->store.serial, "NEW-SN-42");
    EXPECT_EQ(camera->store.reboots, 1);
    EXPECT_EQ(camera->stateWrites().back(), 2);
}

TEST_F(CommandLineTest, FileOptions)
{
    camera->store.files["calib.bin"] = pattern(5000, 9);
    writeFile("payload.bin", 4000);
    writeFile("x.tar.gz", 300);
    mkdir("logs", 0700);
    const std::string out = runUpgrade(2, "-U", "calib.bin", "-D", "payload.bin");
    // -D runs before -U, whatever the order on the command line.
    EXPECT_THAT(out, HasSubstr("send file:payload.bin\n"));
    EXPECT_LT(out.find("send file:payload.bin"), out.find("Receive File\n"));
    EXPECT_THAT(out, EndsWith("receive file:./calib.bin\nfile size:5000, MD5:" +
                              out.substr(out.rfind("MD5:") + 4, 32) + "\n\nexit\n"));
    EXPECT_EQ(readFile("calib.bin"), pattern(5000, 9));
    EXPECT_EQ(camera->store.files["payload.bin"], pattern(4000));

    EXPECT_THAT(runUpgrade(2, "-L", "logs/", "-C", "x.tar.gz"), EndsWith("\n\nexit\n"));
    struct stat st;
    EXPECT_EQ(stat("logs/vorq_log.tar.gz", &st), 0);
    EXPECT_EQ(camera->store.files["x.tar.gz"], pattern(300));
    EXPECT_THAT(capturedOutput(), HasSubstr("Config Upgrade ...\n"));
}

TEST_F(CommandLineTest, ImageUpgradeTranscript)
{
    writeFile("Lynx-A_v2.img", 3072 * 10);
    const std::string out = runUpgrade(2, "-M", "Lynx-A_v2.img", "-I", "0");
    EXPECT_THAT(out, StartsWith(kHeader + kDescription + kInformation + "MTD Upgrade ...\nsend file:Lynx-A_v2.img\n"));
    EXPECT_THAT(out, HasSubstr("\rsend file:10%\rsend file:20%"));
    EXPECT_THAT(out, HasSubstr("\rsend file:100%\n\rflash write:"));
    // While the camera is away the walk finds no camera at all.
    EXPECT_THAT(out, EndsWith("\rflash write:100.0%\nPlease wait for the upgrade to complete ...\n"
                              "Error: No camera device find!\nMTD Upgrade Complete!\n\nexit\n"));
    // The 10 s pause, then 1 s steps until the camera is back.
    ASSERT_GE(clock.sleeps.size(), 3u);
    EXPECT_EQ(clock.count(10000), 1u);
    EXPECT_GE(clock.count(1000), 2u);
    // Back from its reboot with the new firmware.
    EXPECT_EQ(camera->store.firmware, "2.0.0");
    EXPECT_THAT(runUpgrade(1, "-I", "0"), HasSubstr(" Soc Version:2.0.0"));
}

TEST_F(CommandLineTest, PackageUpgradeAndTheExclusiveUpgradeSteps)
{
    writeFile("Lynx-A_v3.pkg", 5000);
    EXPECT_THAT(runUpgrade(2, "-P", "Lynx-A_v3.pkg", "-I", "0"),
                EndsWith("\rsend file:100%\nPlease wait for the upgrade to complete ...\n"
                         "Error: No camera device find!\nPKG Upgrade Complete!\n\nexit\n"));
    EXPECT_EQ(camera->store.firmware, "3.0.0");

    writeFile("Lynx-A_a.img", 100);
    writeFile("Lynx-A_b.pkg", 100);
    const std::string out = runUpgrade(2, "-M", "Lynx-A_a.img", "-P", "Lynx-A_b.pkg");
    EXPECT_THAT(out, HasSubstr("MTD Upgrade ...\n"));
    EXPECT_THAT(out, Not(HasSubstr("PKG Upgrade")));
    EXPECT_THAT(out, EndsWith("MTD Upgrade Complete!\n\nexit\n"));
    EXPECT_FALSE(camera->store.files.count("Lynx-A_b.pkg"));

    // An empty -P text sets its bit but sends nothing; the wait still runs.
    camera->log.clear();
    EXPECT_THAT(runUpgrade(2, "-P", "", "-I", "0"), EndsWith("PKG Upgrade Complete!\n\nexit\n"));
    EXPECT_TRUE(camera->dataWrites().empty());
}

TEST_F(CommandLineTest, CompletionWaitGivesUp)
{
    writeFile("Lynx-A_v2.img", 100);
    camera->rebootEnumerations = 1 << 30;
    const std::string out = runUpgrade(2, "-M", "Lynx-A_v2.img", "-I", "0");
    EXPECT_THAT(out, EndsWith("Upgrade Timout!\nMTD Upgrade Complete!\n\nexit\n"));
    EXPECT_EQ(clock.count(1000), 1u + 301u);
}

} // namespace
} // namespace fwtest

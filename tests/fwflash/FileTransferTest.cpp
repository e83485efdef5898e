// File transfers and upgrade flows against a camera: what the camera receives,
// what the engine prints, and how each failure ends.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <deque>

#include "EngineFixture.h"
#include "upgrade/UpgradeDeviceProtocol.h"

using testing::HasSubstr;
using testing::Not;

namespace fwtest {
namespace {

using TransferTest = EngineFixture;

std::vector<uint8_t> md5Of(const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> digest(16);
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_md5(), nullptr);
    return digest;
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

size_t countOf(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(TransferTest, OnePacketFile)
{
    bindEngine();
    writeFile("fw.bin", 2500);
    ASSERT_EQ(engine.SendFileToDevice(filter.get(), 35, "fw.bin"), S_OK) << capturedOutput();

    const std::vector<uint8_t> content = pattern(2500);
    EXPECT_EQ(camera->store.files["fw.bin"], content);
    EXPECT_EQ(camera->stateWrites(), (std::vector<uint8_t>{0, 35}));

    const auto writes = camera->dataWrites();
    ASSERT_EQ(writes.size(), 2u);
    // The file information block in one packet.
    const auto& info = writes[0];
    EXPECT_EQ(info[0], 0);
    EXPECT_EQ(le32At(info, 1), 0u);
    EXPECT_EQ(le32At(info, 5), 165u);
    EXPECT_EQ(le32At(info, 9), 165u);
    EXPECT_STREQ(reinterpret_cast<const char*>(info.data() + 13), "fw.bin");
    EXPECT_EQ(le32At(info, 13 + 128), 2500u);
    EXPECT_EQ(std::vector<uint8_t>(info.begin() + 13 + 132, info.begin() + 13 + 148), md5Of(content));
    EXPECT_EQ(std::vector<uint8_t>(info.begin() + 13 + 148, info.begin() + 13 + 165), std::vector<uint8_t>(17, 0));
    // The data in one packet.
    const auto& data = writes[1];
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(le32At(data, 1), 0u);
    EXPECT_EQ(le32At(data, 5), 2500u);
    EXPECT_EQ(le32At(data, 9), 2500u);

    const std::string digest = "file size:2500, MD5:";
    EXPECT_THAT(capturedOutput(), HasSubstr("send file:fw.bin\n" + digest));
    EXPECT_EQ(countOf(capturedOutput(), "\rsend file:"), 1u);
    EXPECT_THAT(capturedOutput(), HasSubstr("\rsend file:100%\n"));
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1000}));
}

TEST_F(TransferTest, ProgressShowsEachDecileOnce)
{
    bindEngine();
    writeFile("big.bin", 3072 * 25 + 7);
    ASSERT_EQ(engine.SendFileToDevice(filter.get(), 35, "big.bin"), S_OK) << capturedOutput();
    std::string progress;
    for (int d = 10; d <= 100; d += 10) progress += "\rsend file:" + std::to_string(d) + "%";
    EXPECT_THAT(capturedOutput(), HasSubstr(progress + "\n"));
    EXPECT_EQ(countOf(capturedOutput(), "\rsend file:"), 10u);
    EXPECT_EQ(camera->store.files["big.bin"], pattern(3072 * 25 + 7));
    // Packets carry the whole capacity and follow each other.
    const auto writes = camera->dataWrites();
    ASSERT_EQ(writes.size(), 1u + 26u);
    for (size_t i = 1; i < writes.size(); ++i) EXPECT_EQ(le32At(writes[i], 1), (i - 1) * 3072u);
}

TEST_F(TransferTest, EmptyFileIsTheInformationStageOnly)
{
    bindEngine();
    writeFile("empty.bin", 0);
    ASSERT_EQ(engine.SendFileToDevice(filter.get(), 35, "empty.bin"), S_OK) << capturedOutput();
    EXPECT_EQ(camera->dataWrites().size(), 1u);
    EXPECT_THAT(capturedOutput(), Not(HasSubstr("\rsend file")));
    EXPECT_THAT(capturedOutput(), testing::EndsWith("d41d8cd98f00b204e9800998ecf8427e\n\n"));
    EXPECT_TRUE(camera->store.files.count("empty.bin"));
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(TransferTest, LocalProblemsSendNothing)
{
    bindEngine();
    EXPECT_EQ(engine.SendFileToDevice(filter.get(), 35, "missing.bin"), E_FAIL);
    EXPECT_EQ(capturedOutput(), "fopen_s error,path:missing.bin\n");

    // 127 bytes of name and extension fit the block with their NUL; 128 do not.
    capturedOutput().clear();
    const std::string longName = std::string(124, 'n') + ".bin";
    writeFile(longName, 10);
    EXPECT_EQ(engine.SendFileToDevice(filter.get(), 35, longName.c_str()), E_FAIL);
    EXPECT_THAT(capturedOutput(), testing::EndsWith("file name len error\n"));
    EXPECT_TRUE(camera->log.empty());
    const std::string fitting = std::string(123, 'n') + ".bin";
    writeFile(fitting, 10);
    EXPECT_EQ(engine.SendFileToDevice(filter.get(), 35, fitting.c_str()), S_OK) << capturedOutput();

    // A file past 4 GiB cannot be described by the 32-bit size field.
    camera->log.clear();
    capturedOutput().clear();
    writeFile("huge.img", 0);
    ASSERT_EQ(truncate("huge.img", (4ll << 30) + 1), 0);
    EXPECT_EQ(engine.SendFileToDevice(filter.get(), 35, "huge.img"), E_FAIL);
    EXPECT_EQ(capturedOutput(), "file size error,path:huge.img\n");
    EXPECT_TRUE(camera->log.empty());
}

TEST_F(TransferTest, CorruptedTransferIsRefusedByTheCamera)
{
    bindEngine();
    writeFile("fw.bin", 5000);
    // Flip one byte of the second data packet on its way to the camera.
    int dataPackets = 0;
    camera->intercept = [&](uint8_t selector, uint8_t query, uint8_t* data, uint16_t, int&) {
        if (selector == 6 && query == vorq::platform::UVC_SET_CUR && data[0] == 1 && ++dataPackets == 2) data[20] ^= 1;
        return false;
    };
    EXPECT_EQ(engine.SendFileToDevice(filter.get(), 35, "fw.bin"), E_FAIL);
    EXPECT_THAT(capturedOutput(), testing::EndsWith("get error status: ERROR_STATUS_CHECK_DATA\n"
                                                    "error_status :ERROR_STATUS_CHECK_DATA\n"));
    EXPECT_FALSE(camera->store.files.count("fw.bin"));
}

TEST_F(TransferTest, ReceiveStoredFile)
{
    camera->store.files["report.txt"] = pattern(7000, 3);
    bindEngine();
    ASSERT_EQ(engine.ReceiveFile(filter.get(), "./", "report.txt"), S_OK) << capturedOutput();
    EXPECT_EQ(readFile("report.txt"), pattern(7000, 3));
    EXPECT_EQ(camera->stateWrites(), (std::vector<uint8_t>{0, 36}));
    EXPECT_THAT(capturedOutput(), HasSubstr("\rreceive file:100.0%\n"));
    EXPECT_THAT(capturedOutput(), HasSubstr("receive file:./report.txt\nfile size:7000, MD5:"));
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1000}));

    // A file the camera does not have.
    capturedOutput().clear();
    EXPECT_EQ(engine.ReceiveFile(filter.get(), "./", "absent.txt"), E_FAIL);
    EXPECT_EQ(capturedOutput(), "get error status: ERROR_STATUS_FOPEN\nerror_status :ERROR_STATUS_FOPEN\n");
    EXPECT_FALSE(exists("absent.txt"));
}

TEST_F(TransferTest, ReceivedFileWithWrongDigestIsDeleted)
{
    camera->store.files["report.txt"] = pattern(4000, 3);
    bindEngine();
    camera->intercept = [&](uint8_t selector, uint8_t query, uint8_t* data, uint16_t size, int& result) {
        if (selector != 6 || query != vorq::platform::UVC_GET_CUR) return false;
        vorq::simcam::UpgradeDeviceProtocol protocol(camera->store);
        result = protocol.read(selector, data, size);
        // Damage the file data, not the information block.
        if (data[0] == 1 && le32At(std::vector<uint8_t>(data, data + 13), 5) == 4000) data[13] ^= 0xFF;
        return true;
    };
    EXPECT_EQ(engine.ReceiveFile(filter.get(), "./", "report.txt"), E_FAIL);
    EXPECT_THAT(capturedOutput(), HasSubstr("file md5 check error\n"));
    EXPECT_FALSE(exists("report.txt"));
}

TEST_F(TransferTest, ReceivePathLimits)
{
    bindEngine();
    const std::string directory = std::string(250, 'd') + "/";
    EXPECT_EQ(engine.ReceiveFile(filter.get(), directory.c_str(), "log.tar.gz"), E_FAIL);
    EXPECT_THAT(capturedOutput(), HasSubstr("file path len error"));
    EXPECT_TRUE(camera->log.empty());

    capturedOutput().clear();
    EXPECT_EQ(engine.ReceiveFile(filter.get(), "./", std::string(128, 'n').c_str()), E_FAIL);
    EXPECT_EQ(capturedOutput(), "file name len error\n");
    EXPECT_TRUE(camera->log.empty());
}

TEST_F(TransferTest, LogArchiveLandsAfterTheDirectoryText)
{
    bindEngine();
    ASSERT_EQ(engine.GetDeviceLog(filter.get(), "logs"), S_OK) << capturedOutput();
    const std::vector<uint8_t> archive = readFile("logsvorq_log.tar.gz");
    ASSERT_GT(archive.size(), 2u);
    EXPECT_EQ(archive[0], 0x1f);
    EXPECT_EQ(archive[1], 0x8b);
    // The log request went out first.
    ASSERT_FALSE(camera->log.empty());
    EXPECT_EQ(camera->log[0].selector, 3);
    EXPECT_EQ(camera->log[0].data, (std::vector<uint8_t>{4, 0, 0, 0, 0, 0}));
}

TEST_F(TransferTest, FileTypeAndModelChecks)
{
    bindEngine();
    writeFile("Lynx-A_v2.IMG", 10);
    writeFile("lynx-a_v2.img", 10);
    writeFile("Lynx-A_v2.pkg", 10);
    writeFile("conf.tar.gz", 10);
    writeFile("conf.tgz", 10);
    EXPECT_EQ(engine.MTD_Upgrade(filter.get(), "Lynx-A_v2.IMG"), E_INVALIDARG);
    EXPECT_EQ(engine.MTD_Upgrade(filter.get(), "lynx-a_v2.img"), E_INVALIDARG);
    EXPECT_EQ(engine.PKG_Upgrade(filter.get(), "Lynx-A_v2.img"), E_INVALIDARG);
    EXPECT_EQ(engine.Config_Upgrade(filter.get(), "conf.tgz"), E_INVALIDARG);
    EXPECT_EQ(capturedOutput(), "file type error\n"
                                "device model error! FileName:lynx-a_v2, device model:Lynx-A\n"
                                "file type error\nfile type error\n");
    EXPECT_TRUE(camera->log.empty());

    capturedOutput().clear();
    EXPECT_EQ(engine.Config_Upgrade(filter.get(), "conf.tar.gz"), S_OK) << capturedOutput();
    EXPECT_EQ(camera->stateWrites(), (std::vector<uint8_t>{0, 34}));
    EXPECT_EQ(engine.PKG_Upgrade(filter.get(), "Lynx-A_v2.pkg"), S_OK) << capturedOutput();
}

TEST_F(TransferTest, EmptyModelTextAcceptsEveryName)
{
    camera->store.model = "";
    bindEngine();
    writeFile("anything.pkg", 10);
    EXPECT_EQ(engine.PKG_Upgrade(filter.get(), "anything.pkg"), S_OK) << capturedOutput();
}

// Answers the flash-progress control with the given records.
void scriptFlash(TestCamera& camera, std::vector<std::vector<uint8_t>> records)
{
    auto queue = std::make_shared<std::deque<std::vector<uint8_t>>>(records.begin(), records.end());
    camera.intercept = [queue](uint8_t selector, uint8_t query, uint8_t* data, uint16_t, int& result) {
        if (selector != 7 || query != vorq::platform::UVC_GET_CUR || queue->empty()) return false;
        std::memcpy(data, queue->front().data(), 14);
        queue->pop_front();
        result = 0;
        return true;
    };
}

std::vector<uint8_t> flashRecord(uint8_t status, uint32_t pollMs, uint32_t written, uint32_t total)
{
    std::vector<uint8_t> r(14, 0);
    r[1] = status;
    for (int i = 0; i < 4; ++i) {
        r[2 + i] = static_cast<uint8_t>(pollMs >> (8 * i));
        r[6 + i] = static_cast<uint8_t>(written >> (8 * i));
        r[10 + i] = static_cast<uint8_t>(total >> (8 * i));
    }
    return r;
}

TEST_F(TransferTest, FlashStatusSequences)
{
    bindEngine();
    writeFile("Lynx-A_v2.img", 100);
    const std::string sendLines = capturedOutput();

    scriptFlash(*camera, {flashRecord(0x80, 20, 0, 1000), flashRecord(0x81, 30, 500, 1000),
                          flashRecord(0x82, 0, 500, 1000), flashRecord(0x85, 0, 1000, 1000)});
    EXPECT_EQ(engine.MTD_Upgrade(filter.get(), "Lynx-A_v2.img"), S_OK) << capturedOutput();
    EXPECT_THAT(capturedOutput(), testing::EndsWith("\n\rflash write:50.0%UPGRADE_BUSY\n\rflash write:100.0%\n"));
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1000, 20, 30}));

    capturedOutput().clear();
    scriptFlash(*camera, {flashRecord(0x83, 0, 0, 0)});
    EXPECT_EQ(engine.MTD_Upgrade(filter.get(), "Lynx-A_v2.img"), E_FAIL);
    EXPECT_THAT(capturedOutput(), testing::EndsWith("UPGRADE_DONE\n"));

    capturedOutput().clear();
    scriptFlash(*camera, {flashRecord(0x81, 0, 1, 3), flashRecord(0x84, 0, 0, 0)});
    EXPECT_EQ(engine.MTD_Upgrade(filter.get(), "Lynx-A_v2.img"), E_FAIL);
    EXPECT_THAT(capturedOutput(), testing::EndsWith("\rflash write:33.3%flash write error\n"));
}

TEST_F(TransferTest, FlashWaitIsBounded)
{
    bindEngine();
    writeFile("Lynx-A_v2.img", 100);
    // A camera that names an endless pause and never finishes.
    camera->intercept = [](uint8_t selector, uint8_t query, uint8_t* data, uint16_t, int& result) {
        if (selector != 7 || query != vorq::platform::UVC_GET_CUR) return false;
        const std::vector<uint8_t> r = flashRecord(0x80, 0xFFFFFFFFu, 0, 1000);
        std::memcpy(data, r.data(), r.size());
        result = 0;
        return true;
    };
    clock.sleeps.clear();
    EXPECT_EQ(engine.MTD_Upgrade(filter.get(), "Lynx-A_v2.img"), E_FAIL);
    EXPECT_THAT(capturedOutput(), testing::EndsWith("\nflash write timeout: the camera did not finish within 600 s\n"));
    ASSERT_GT(clock.sleeps.size(), 2u);
    EXPECT_EQ(clock.count(5000), clock.sleeps.size() - 1); // all but the settle pause
    EXPECT_LE(clock.now, 700000u);
}

TEST_F(TransferTest, OneCameraTransferPerPacket)
{
    // Reaching the unit costs nothing per packet: files of 1 and 11 packets
    // differ by exactly ten camera transfers.
    bindEngine();
    writeFile("one.bin", 3072);
    writeFile("eleven.bin", 3072 * 11);
    const uint64_t start = camera->transfers;
    ASSERT_EQ(engine.SendFileToDevice(filter.get(), 35, "one.bin"), S_OK);
    const uint64_t one = camera->transfers - start;
    ASSERT_EQ(engine.SendFileToDevice(filter.get(), 35, "eleven.bin"), S_OK);
    const uint64_t eleven = camera->transfers - start - one;
    EXPECT_EQ(eleven - one, 10u);
}

} // namespace
} // namespace fwtest

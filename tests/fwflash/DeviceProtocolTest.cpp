// The camera side of the upgrade protocol on its own: what it refuses, and
// what it keeps between requests.

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <zlib.h>

#include <cstring>

#include "EngineFixture.h"
#include "MemoryUpgradeStore.h"
#include "upgrade/UpgradeDeviceProtocol.h"
#include "upgrade/UpgradeDeviceRecords.h"
#include "upgrade/UpgradeDeviceState.h"
#include <cstddef>

using vorq::simcam::UpgradeDeviceProtocol;

namespace fwtest {
namespace {

class DeviceProtocolTest : public ::testing::Test {
protected:
    // Every request through a new protocol object, as the simulator does.
    int write(uint8_t selector, std::vector<uint8_t> data)
    {
        UpgradeDeviceProtocol protocol(store);
        return protocol.write(selector, data.data(), static_cast<uint16_t>(data.size()));
    }
    std::vector<uint8_t> read(uint8_t selector)
    {
        const int length = UpgradeDeviceProtocol::controlLength(selector, store.package);
        std::vector<uint8_t> data(static_cast<size_t>(length));
        UpgradeDeviceProtocol protocol(store);
        EXPECT_EQ(protocol.read(selector, data.data(), static_cast<uint16_t>(data.size())), 0);
        return data;
    }
    uint8_t status() { return read(4)[0]; }
    void arm(uint8_t command)
    {
        write(5, {0, 0, 0, 0, 0});
        write(5, {command, 0, 0, 0, 0});
    }
    std::vector<uint8_t> infoBlock(const std::string& name, const std::vector<uint8_t>& content)
    {
        std::vector<uint8_t> block(165, 0);
        std::memcpy(block.data(), name.data(), name.size());
        const uint32_t size = static_cast<uint32_t>(content.size());
        std::memcpy(block.data() + 128, &size, 4);
        unsigned int length = 0;
        EVP_Digest(content.data(), content.size(), block.data() + 132, &length, EVP_md5(), nullptr);
        return block;
    }
    std::vector<uint8_t> packet(uint8_t type, uint32_t offset, uint32_t total, const std::vector<uint8_t>& payload)
    {
        return makePacket(store.package, type, offset, total, payload);
    }

    MemoryUpgradeStore store;
};

TEST_F(DeviceProtocolTest, StateControl)
{
    arm(42);
    EXPECT_EQ(read(5)[0], 42);
    EXPECT_EQ(status(), 0);
    // An unknown code is refused and the state stays.
    write(5, {77, 0, 0, 0, 0});
    EXPECT_EQ(status(), 16);
    EXPECT_EQ(read(5)[0], 42);
    // Idle clears the error.
    write(5, {0, 0, 0, 0, 0});
    EXPECT_EQ(status(), 0);
    // Wrong lengths and write-only/read-only controls.
    UpgradeDeviceProtocol protocol(store);
    uint8_t buffer[8] = {};
    EXPECT_EQ(protocol.read(5, buffer, 4), EINVAL);
    EXPECT_EQ(protocol.read(3, buffer, 6), EPIPE);
    EXPECT_EQ(protocol.write(4, buffer, 1), EPIPE);
    EXPECT_EQ(protocol.read(9, buffer, 1), EINVAL);
}

TEST_F(DeviceProtocolTest, RecordGoesOutAfterItsDescriptor)
{
    arm(43);
    const auto first = read(6);
    EXPECT_EQ(first[0], 1);
    const uint32_t length = le32At(first, 13);
    const uint32_t crc = le32At(first, 17);
    EXPECT_EQ(length, 111u);
    EXPECT_EQ(read(6)[0], 2); // being prepared
    const auto data = read(6);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(le32At(data, 9), 111u);
    EXPECT_EQ(static_cast<uint32_t>(crc32(0L, data.data() + 13, 111)), crc);
    EXPECT_STREQ(reinterpret_cast<const char*>(data.data() + 13 + 32), "Lynx-A");
    EXPECT_EQ(data[13 + 96], 1);
    EXPECT_EQ(data[13 + 98], 3);
    EXPECT_EQ(read(6)[0], 3);
}

TEST_F(DeviceProtocolTest, ReceptionRefusesWhatDoesNotFit)
{
    const std::vector<uint8_t> content(10, 0x42);

    // A packet out of order.
    arm(35);
    write(6, packet(0, 5, 165, std::vector<uint8_t>(160, 0)));
    EXPECT_EQ(status(), 15);

    // A name with a directory in it.
    arm(35);
    write(6, packet(0, 0, 165, infoBlock("../evil", content)));
    EXPECT_EQ(status(), 2);

    // An image larger than the flash.
    arm(32);
    std::vector<uint8_t> block = infoBlock("Lynx-A.img", content);
    const uint32_t tooLarge = (16u << 20) + 1;
    std::memcpy(block.data() + 128, &tooLarge, 4);
    write(6, packet(0, 0, 165, block));
    EXPECT_EQ(status(), 20);

    // Data beyond the announced size.
    arm(35);
    write(6, packet(0, 0, 165, infoBlock("a.bin", content)));
    EXPECT_EQ(status(), 0);
    write(6, packet(1, 0, 10, std::vector<uint8_t>(11, 0x42)));
    EXPECT_EQ(status(), 15);
    EXPECT_FALSE(store.files.count("a.bin"));
    EXPECT_FALSE(store.files.count(UpgradeDeviceProtocol::kIncomingName));

    // Intact: stored under its name.
    arm(35);
    write(6, packet(0, 0, 165, infoBlock("a.bin", content)));
    write(6, packet(1, 0, 10, content));
    EXPECT_EQ(status(), 0);
    EXPECT_EQ(store.files["a.bin"], content);
}

TEST_F(DeviceProtocolTest, DataControlShorterThanAPacketHeaderIsRefused)
{
    arm(35);
    store.package = 8;
    std::vector<uint8_t> shortPacket(8, 0xFF);
    UpgradeDeviceProtocol protocol(store);
    EXPECT_EQ(protocol.write(6, shortPacket.data(), 8), EPIPE);
    EXPECT_EQ(protocol.read(6, shortPacket.data(), 8), EPIPE);
    EXPECT_EQ(shortPacket, std::vector<uint8_t>(8, 0xFF));
}

TEST_F(DeviceProtocolTest, DamagedSavedStateStartsAfresh)
{
    using vorq::simcam::UpgradeDeviceState;
    struct Damage {
        size_t offset;
        uint32_t value;
        uint8_t command; // armed before the damage, so the count is in use
    };
    const Damage damages[] = {
        {offsetof(UpgradeDeviceState, infoCount), 9999, 36},
        {offsetof(UpgradeDeviceState, fileCount), 70000, 35},
        {offsetof(UpgradeDeviceState, recordLength), 4096, 42},
        {offsetof(UpgradeDeviceState, recordSent), 200, 42},
        {offsetof(UpgradeDeviceState, serialHeaderCount), 300, 40},
        {offsetof(UpgradeDeviceState, serialCount), 300, 40},
    };
    store.files["calib.bin"] = std::vector<uint8_t>(100, 7);
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.offset);
        arm(d.command);
        if (d.command == 36) {
            write(6, packet(0, 0, 165, infoBlock("calib.bin", store.files["calib.bin"])));
            ASSERT_EQ(status(), 0);
        }
        std::memcpy(store.state.data() + d.offset, &d.value, sizeof d.value);

        testing::internal::CaptureStderr();
        read(6);
        write(6, packet(1, 0, 64, std::vector<uint8_t>(64, 0x41)));
        EXPECT_NE(testing::internal::GetCapturedStderr().find("saved upgrade state is damaged"), std::string::npos);
        // Started afresh: nothing armed, and the stray packet was refused.
        EXPECT_EQ(read(5)[0], 0);
        EXPECT_EQ(status(), 16);
    }
}

TEST_F(DeviceProtocolTest, ImageFlashAndReboot)
{
    const std::vector<uint8_t> content(1000, 7);
    arm(32);
    write(6, packet(0, 0, 165, infoBlock("Lynx-A_v1.2.3.img", content)));
    write(6, packet(1, 0, 1000, content));
    EXPECT_EQ(status(), 0);

    store.config["slow_flash_ms"] = "50";
    store.config["flash_poll_ms"] = "40";
    auto record = read(7);
    EXPECT_EQ(record[1], 0x80);
    EXPECT_EQ(le32At(record, 2), 40u);
    // Nothing moves until the flash had its time.
    EXPECT_EQ(read(7)[1], 0x80);
    int polls = 0;
    do {
        store.clockMs += 50;
        record = read(7);
        ++polls;
    } while (record[1] == 0x81 && polls < 100);
    EXPECT_EQ(record[1], 0x85);
    EXPECT_EQ(le32At(record, 6), 1000u);
    EXPECT_EQ(le32At(record, 10), 1000u);
    EXPECT_EQ(store.reboots, 1);
    EXPECT_EQ(store.firmware, "1.0.3");

    UpgradeDeviceProtocol(store).rebootCompleted();
    EXPECT_EQ(store.firmware, "1.2.3");
    EXPECT_EQ(read(5)[0], 0);
    // No flash job: the flash control never asks to wait.
    EXPECT_EQ(read(7), std::vector<uint8_t>(14, 0));
}

TEST_F(DeviceProtocolTest, LogArchiveIsAGzippedTar)
{
    write(3, {4, 0, 0, 0, 0, 0});
    ASSERT_TRUE(store.files.count("vorq_log.tar.gz"));
    const std::vector<uint8_t>& archive = store.files["vorq_log.tar.gz"];

    z_stream stream{};
    ASSERT_EQ(inflateInit2(&stream, 15 + 16), Z_OK);
    std::vector<uint8_t> tar(64 * 1024);
    stream.next_in = const_cast<Bytef*>(archive.data());
    stream.avail_in = static_cast<uInt>(archive.size());
    stream.next_out = tar.data();
    stream.avail_out = static_cast<uInt>(tar.size());
    ASSERT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    tar.resize(tar.size() - stream.avail_out);
    inflateEnd(&stream);

    ASSERT_EQ(tar.size() % 512, 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(tar.data()), "vorq.log");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(tar.data() + 257), 5), "ustar");
    const std::string text(reinterpret_cast<const char*>(tar.data() + 512));
    EXPECT_NE(text.find("firmware 1.0.3"), std::string::npos);
}

TEST_F(DeviceProtocolTest, FirmwareVersionRules)
{
    using vorq::simcam::UpgradeDeviceRecords;
    EXPECT_EQ(UpgradeDeviceRecords::nextFirmwareVersion("1.0.3", "Lynx-A_v2.img"), "2.0.0");
    EXPECT_EQ(UpgradeDeviceRecords::nextFirmwareVersion("1.0.3", "Lynx-A_v1.4.img"), "1.4.0");
    EXPECT_EQ(UpgradeDeviceRecords::nextFirmwareVersion("1.0.3", "Lynx-A_test.img"), "1.0.4");
    EXPECT_EQ(UpgradeDeviceRecords::nextFirmwareVersion("1.0.255", "x.pkg"), "1.1.0");
}

} // namespace
} // namespace fwtest

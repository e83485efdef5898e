// The command protocol against a camera: binding, records, states, the
// serial-number block, and the answers a faulty camera may give.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>

#include "EngineFixture.h"

using testing::HasSubstr;
using testing::Not;

namespace fwtest {
namespace {

using ProtocolTest = EngineFixture;

std::vector<uint8_t> descriptor(uint32_t length, uint32_t crc)
{
    std::vector<uint8_t> d(8);
    for (int i = 0; i < 4; ++i) {
        d[i] = static_cast<uint8_t>(length >> (8 * i));
        d[4 + i] = static_cast<uint8_t>(crc >> (8 * i));
    }
    return d;
}

uint32_t crcOf(const std::vector<uint8_t>& bytes)
{
    return static_cast<uint32_t>(crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())));
}

TEST_F(ProtocolTest, BindReadsEveryAttributeRecord)
{
    bindEngine();
    const fwflash::DeviceAttributes& a = engine.Attributes();
    EXPECT_EQ(engine.PackageSize(), 3085u);
    EXPECT_EQ(engine.PayloadCapacity(), 3072u);
    EXPECT_EQ(a.deviceModel(), "Lynx-A");
    EXPECT_EQ(a.serialNumber(), "SN0001");
    EXPECT_EQ(a.usbVendorId(), 0x9f2b);
    EXPECT_EQ(a.flashSize(), 16u << 20);
    EXPECT_TRUE(a.hasUvc());
    EXPECT_TRUE(a.hasUac());

    engine.PrintDeviceInfo();
    EXPECT_EQ(capturedOutput(), " Soc Version:1.0.3 Lynx-A.std: TX42 Chip:0x35590100\n Flash size:16M"
                                " SN:SN0001 \n Vid:0x9f2b \n Pid:0x0042 \n Bcd:0x0103 \n Usb speed max:high-speed\n");
    capturedOutput().clear();
    engine.PrintStatus();
    EXPECT_EQ(capturedOutput(), "device stauts:\nusb speed:high-speed\nuvc stream:0\nuac mic stream:0\n"
                                "uac speak stream:0\n");
}

TEST_F(ProtocolTest, PackageSizeLimits)
{
    camera->store.package = 3086;
    filter = firstFilter();
    ASSERT_TRUE(filter);

    EXPECT_EQ(engine.BindDevice(filter.get()), E_FAIL);
    EXPECT_EQ(capturedOutput(),
              "usb data package size error!,support max:3072\nGetUpgradeVersion error \nUpdateDeviceAttributes error\n");
    EXPECT_FALSE(engine.Connected());

    // A short package binds, and the records still arrive whole.
    camera->store.package = 64;
    filter = firstFilter();
    capturedOutput().clear();
    EXPECT_EQ(engine.BindDevice(filter.get()), S_OK) << capturedOutput();
    EXPECT_EQ(engine.PayloadCapacity(), 51u);
    EXPECT_EQ(engine.Attributes().deviceModel(), "Lynx-A");

    // Too short for a record descriptor: refused rather than read as zeros.
    for (uint32_t size : {13u, 20u}) {
        SCOPED_TRACE(size);
        fwflash::CVorqUvcUpgrade shortEngine;
        shortEngine.SetPrintCallback(capturePrint);
        camera->store.package = size;
        filter = firstFilter();
        capturedOutput().clear();
        EXPECT_EQ(shortEngine.BindDevice(filter.get()), E_FAIL);
        EXPECT_THAT(capturedOutput(), testing::StartsWith("usb data package size error!,support max:3072\n"));
        EXPECT_FALSE(shortEngine.Connected());
    }
    camera->store.package = 21;
    filter = firstFilter();
    fwflash::CVorqUvcUpgrade smallest;
    smallest.SetPrintCallback(capturePrint);
    capturedOutput().clear();
    EXPECT_EQ(smallest.BindDevice(filter.get()), S_OK) << capturedOutput();
    EXPECT_EQ(smallest.Attributes().deviceModel(), "Lynx-A");
}

TEST_F(ProtocolTest, EveryCommandIsArmedFromIdle)
{
    bindEngine();
    uint8_t record[45];
    ASSERT_EQ(engine.GetUsbData(filter.get(), 42, record, sizeof record), S_OK);
    EXPECT_EQ(camera->stateWrites(), (std::vector<uint8_t>{0, 42}));
}

TEST_F(ProtocolTest, EmptyRecordsAndCrc)
{
    bindEngine();
    uint8_t slot[45];
    std::memset(slot, 0xAA, sizeof slot);
    scriptDataReads(*camera, {makePacket(3085, 1, 0, 0, descriptor(0, 0))});
    EXPECT_EQ(engine.GetUsbData(filter.get(), 42, slot, sizeof slot), S_OK);
    EXPECT_EQ(slot[0], 0xAA);

    scriptDataReads(*camera, {makePacket(3085, 1, 0, 0, descriptor(0, 1))});
    EXPECT_EQ(engine.GetUsbData(filter.get(), 42, slot, sizeof slot), E_FAIL);
    EXPECT_EQ(capturedOutput(), "crc error\n");
}

TEST_F(ProtocolTest, RecordEndsByOffsetAndLength)
{
    bindEngine();
    std::vector<uint8_t> slot(45, 0);
    std::vector<uint8_t> expected(45, 0);
    std::memcpy(expected.data(), "abcdefghij", 10);
    // Ten bytes arrive as the end of a 20-byte transfer; the CRC covers all 45.
    scriptDataReads(*camera, {makePacket(3085, 1, 0, 0, descriptor(45, crcOf(expected))),
                              makePacket(3085, 2, 0, 0, {}),
                              makePacket(3085, 1, 10, 20, std::vector<uint8_t>(expected.begin(), expected.begin() + 10))});
    EXPECT_EQ(engine.GetUsbData(filter.get(), 42, slot.data(), 45), S_OK) << capturedOutput();
    EXPECT_EQ(slot, expected);
}

TEST_F(ProtocolTest, RecordsThatDoNotFitAreRefused)
{
    bindEngine();
    std::vector<uint8_t> slot(45 + 8, 0x5A); // 8 guard bytes past the slot

    // A record growing past its declared length: nothing of it is copied.
    scriptDataReads(*camera, {makePacket(3085, 1, 0, 0, descriptor(4, 0)),
                              makePacket(3085, 1, 0, 100, std::vector<uint8_t>(8, 1))});
    EXPECT_EQ(engine.GetUsbData(filter.get(), 42, slot.data(), 45), E_FAIL);
    EXPECT_EQ(capturedOutput(), "GetUsbData error\n");
    EXPECT_EQ(slot[0], 0x5A);

    // A record longer than its slot.
    capturedOutput().clear();
    scriptDataReads(*camera, {makePacket(3085, 1, 0, 0, descriptor(53, 0)),
                              makePacket(3085, 1, 0, 53, std::vector<uint8_t>(53, 1))});
    EXPECT_EQ(engine.GetUsbData(filter.get(), 42, slot.data(), 45), E_FAIL);
    EXPECT_THAT(capturedOutput(), HasSubstr("record length error"));
    EXPECT_THAT(capturedOutput(), HasSubstr("GetUsbData error\n"));
    EXPECT_EQ(slot[45], 0x5A);

    // A packet claiming more payload than a packet holds.
    capturedOutput().clear();
    scriptDataReads(*camera, {makePacket(3085, 1, 0, 0, descriptor(45, 0)),
                              makePacket(3085, 1, 0, 45, {}, 5000)});
    EXPECT_EQ(engine.GetUsbData(filter.get(), 42, slot.data(), 45), E_FAIL);
    EXPECT_THAT(capturedOutput(), HasSubstr("packet length error"));
    EXPECT_EQ(slot[0], 0x5A);

    // An error packet.
    capturedOutput().clear();
    scriptDataReads(*camera, {makePacket(3085, 1, 0, 0, descriptor(45, 0)), makePacket(3085, 4, 0, 0, {})});
    EXPECT_EQ(engine.GetUsbData(filter.get(), 42, slot.data(), 45), E_FAIL);
    EXPECT_EQ(capturedOutput(), "GetUsbData error\n");

    // A first packet that is no record descriptor.
    capturedOutput().clear();
    scriptDataReads(*camera, {makePacket(3085, 2, 0, 0, {})});
    EXPECT_EQ(engine.GetUsbData(filter.get(), 42, slot.data(), 45), E_FAIL);
    EXPECT_EQ(capturedOutput(), "GetUsbData error\n");
}

TEST_F(ProtocolTest, EndlessBusyEndsAfterBoundedTime)
{
    bindEngine();
    // The descriptor arrives, then the camera never gets the record ready.
    scriptDataReads(*camera, {makePacket(3085, 1, 0, 0, descriptor(45, 0))});
    camera->store.config["endless_busy"] = "1";
    camera->logTransfers = false;
    uint8_t slot[45];
    EXPECT_EQ(engine.GetUsbData(filter.get(), 42, slot, sizeof slot), E_FAIL);
    EXPECT_EQ(capturedOutput(), "GetUsbData error\n");
    EXPECT_GT(clock.now, fwflash::CVorqUvcUpgrade::kBusyTimeoutMs);

    // Busy from the first packet on: no record descriptor, no record.
    capturedOutput().clear();
    EXPECT_EQ(engine.GetUsbData(filter.get(), 42, slot, sizeof slot), E_FAIL);
    EXPECT_EQ(capturedOutput(), "GetUsbData error\n");
}

TEST_F(ProtocolTest, ErrorStatusNamesInStateChanges)
{
    bindEngine();
    const uint8_t idle[5] = {0, 0, 0, 0, 0};
    camera->store.config["error_status"] = "19";
    EXPECT_EQ(engine.SetState(filter.get(), idle), E_FAIL);
    EXPECT_EQ(capturedOutput(), "get error status: ERROR_STATUS_CHECK_DATA\nerror_status :ERROR_STATUS_CHECK_DATA\n");

    capturedOutput().clear();
    camera->store.config["error_status"] = "21";
    EXPECT_EQ(engine.SetState(filter.get(), idle), E_FAIL);
    EXPECT_EQ(capturedOutput(), "get error status: unknown\nerror_status :unknown\n");

    capturedOutput().clear();
    camera->store.config["error_status"] = "5";
    uint8_t code = 0;
    EXPECT_EQ(engine.GetErrorStatus(filter.get(), code), S_OK);
    EXPECT_EQ(code, 5);
    EXPECT_EQ(capturedOutput(), "get error status: STATUS_CHECK_ERASED\n");

    // A camera that does not take the state reads back another one.
    camera->store.config.clear();
    capturedOutput().clear();
    const uint8_t unknown[5] = {99, 0, 0, 0, 0};
    EXPECT_EQ(engine.SetState(filter.get(), unknown), E_FAIL);
    EXPECT_EQ(capturedOutput(), "get error status: ERROR_STATUS_STATE\nerror_status :ERROR_STATUS_STATE\n");
}

TEST_F(ProtocolTest, FunctionRecordFailureNamesAppConfig)
{
    camera->store.config["error_status"] = "3";
    camera->store.config["error_step"] = "arm";
    camera->store.config["error_command"] = "46";
    const std::string out = runUpgrade(1, "-I", "0");
    EXPECT_THAT(out, HasSubstr("SetState error\nGetAppConfig error \nUpdateDeviceAttributes error\n"));
}

TEST_F(ProtocolTest, SerialNumberBlock)
{
    bindEngine();
    const std::string serial63(63, 'S');
    ASSERT_EQ(engine.SetUsbSn(filter.get(), serial63.c_str()), S_OK) << capturedOutput();
    EXPECT_EQ(camera->store.serial, serial63);
    EXPECT_EQ(camera->stateWrites(), (std::vector<uint8_t>{0, 40}));

    const auto writes = camera->dataWrites();
    ASSERT_EQ(writes.size(), 2u);
    std::vector<uint8_t> block(64, 0);
    std::memcpy(block.data(), serial63.data(), 63);
    EXPECT_EQ(writes[0][0], 0);
    EXPECT_EQ(le32At(writes[0], 5), 8u);
    EXPECT_EQ(le32At(writes[0], 9), 8u);
    EXPECT_EQ(le32At(writes[0], 13), 8u);
    EXPECT_EQ(le32At(writes[0], 17), crcOf(block));
    EXPECT_EQ(writes[1][0], 1);
    EXPECT_EQ(le32At(writes[1], 1), 0u);
    EXPECT_EQ(le32At(writes[1], 5), 64u);
    EXPECT_EQ(le32At(writes[1], 9), 64u);
    EXPECT_EQ(std::vector<uint8_t>(writes[1].begin() + 13, writes[1].begin() + 77), block);

    camera->log.clear();
    capturedOutput().clear();
    EXPECT_EQ(engine.SetUsbSn(filter.get(), std::string(64, 'S').c_str()), E_INVALIDARG);
    EXPECT_EQ(engine.SetUsbSn(filter.get(), ""), E_INVALIDARG);
    EXPECT_EQ(engine.SetUsbSn(filter.get(), nullptr), E_POINTER);
    EXPECT_EQ(capturedOutput(), "strlen error!\nSN strings error!\nSN strings error!\n");
    EXPECT_TRUE(camera->log.empty());
}

TEST_F(ProtocolTest, DisconnectedEngineTouchesNothing)
{
    uint8_t code = 0;
    EXPECT_EQ(engine.GetErrorStatus(filter.get(), code), E_FAIL);
    EXPECT_EQ(engine.SendFileToDevice(filter.get(), 35, "x"), E_FAIL);
    EXPECT_EQ(engine.DeviceReboot(nullptr), E_POINTER);
    EXPECT_EQ(capturedOutput(), "Device Disconnect\nDevice Disconnect\nparameter error\n");
    EXPECT_TRUE(camera->log.empty());
}

} // namespace
} // namespace fwtest

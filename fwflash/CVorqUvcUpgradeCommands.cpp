// The device command protocol: states, error status, data packets, the record
// transfer and the attribute records.

#include <algorithm>
#include <cstring>

#include "CVorqUvcUpgrade.h"
#include "Checksums.h"
#include "UpgradeClock.h"
#include "UpgradeProtocol.h"

namespace fwflash {

HRESULT CVorqUvcUpgrade::CheckCommon(IBaseFilter* filter, const void* buffer)
{
    if (!connected) {
        print("Device Disconnect\n");
        return E_FAIL;
    }
    if (!filter || !buffer) {
        print("parameter error\n");
        return E_POINTER;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::ReadControl(uint32_t selector, uint32_t length, void* buffer)
{
    if (FAILED(control.xu().read(selector, length, buffer))) {
        print("get_Property fail\n");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::WriteControl(uint32_t selector, uint32_t length, const void* buffer)
{
    if (FAILED(control.xu().write(selector, length, buffer))) {
        print("put_Property fail\n");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::GetErrorStatus(IBaseFilter* filter, uint8_t& code)
{
    code = 0;
    if (HRESULT hr = CheckCommon(filter); FAILED(hr)) return hr;
    if (FAILED(ReadControl(XU_CTRL_ERROR_STATUS, kErrorStatusLength, &code))) return E_FAIL;
    if (code != 0) print("get error status: %s\n", errorStatusName(code));
    return S_OK;
}

HRESULT CVorqUvcUpgrade::GetState(IBaseFilter* filter, uint8_t record[5])
{
    if (HRESULT hr = CheckCommon(filter, record); FAILED(hr)) return hr;
    return ReadControl(XU_CTRL_STATE, kStateLength, record);
}

HRESULT CVorqUvcUpgrade::CheckErrorStatus(IBaseFilter* filter)
{
    uint8_t code = 0;
    if (FAILED(GetErrorStatus(filter, code))) {
        print("GetErrorStatus error\n");
        return E_FAIL;
    }
    if (code != 0) {
        print("error_status :%s\n", errorStatusName(code));
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::SetState(IBaseFilter* filter, const uint8_t record[5])
{
    if (HRESULT hr = CheckCommon(filter, record); FAILED(hr)) return hr;
    if (FAILED(WriteControl(XU_CTRL_STATE, kStateLength, record))) return E_FAIL;

    if (FAILED(CheckErrorStatus(filter))) return E_FAIL;
    uint8_t readBack[5] = {};
    if (FAILED(GetState(filter, readBack))) {
        print("GetState error\n");
        return E_FAIL;
    }
    if (readBack[0] != record[0]) {
        print("state error\n");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::ArmCommand(IBaseFilter* filter, uint8_t command)
{
    const uint8_t idle[5] = {CMD_IDLE, 0, 0, 0, 0};
    const uint8_t armed[5] = {command, 0, 0, 0, 0};
    if (FAILED(SetState(filter, idle)) || FAILED(SetState(filter, armed))) {
        print("SetState error\n");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::SetUsbData(IBaseFilter* filter, const uint8_t* data)
{
    if (HRESULT hr = CheckCommon(filter, data); FAILED(hr)) return hr;
    return WriteControl(XU_CTRL_DATA, packageSize, data);
}

void CVorqUvcUpgrade::FillPacket(uint8_t type, uint32_t offset, uint32_t total, const uint8_t* payload,
                                 uint32_t length)
{
    uint8_t* p = Packet();
    p[0] = type;
    writeLe32(p + 1, offset);
    writeLe32(p + 5, total);
    writeLe32(p + 9, length);
    if (length) std::memcpy(p + kPacketHeaderSize, payload, length);
}

HRESULT CVorqUvcUpgrade::ReadDataPacket()
{
    if (!connected) {
        print("Device Disconnect\n");
        print("GetUsbData error\n");
        return E_FAIL;
    }
    if (FAILED(ReadControl(XU_CTRL_DATA, packageSize, Packet()))) {
        print("GetUsbData error\n");
        return E_FAIL;
    }
    return S_OK;
}

CVorqUvcUpgrade::PacketStep CVorqUvcUpgrade::TakeDataPacket(uint32_t room, uint64_t lastProgress)
{
    const uint8_t* p = Packet();
    const uint8_t type = p[0];
    if (type == PKT_BUSY) {
        // A camera that never gets ready must not hold the run forever.
        return StalledSince(lastProgress) ? PacketStep::Failed : PacketStep::Again;
    }
    if (type == PKT_ERROR) {
        print("GetUsbData error\n");
        return PacketStep::Failed;
    }
    if (type == PKT_END) return PacketStep::End;
    const uint32_t n = readLe32(p + 9);
    if (!PacketLengthFits(n)) {
        print("packet length error, length:%u, max:%u\n", n, payloadCapacity);
        print("GetUsbData error\n");
        return PacketStep::Failed;
    }
    if (n > room) {
        print("GetUsbData error\n");
        return PacketStep::Failed;
    }
    return PacketStep::Data;
}

bool CVorqUvcUpgrade::StalledSince(uint64_t lastProgress)
{
    if (UpgradeClock::current().nowMs() - lastProgress <= kBusyTimeoutMs) return false;
    print("GetUsbData error\n");
    return true;
}

HRESULT CVorqUvcUpgrade::GetUsbData(IBaseFilter* filter, uint8_t command, uint8_t* destination, uint32_t capacity)
{
    if (HRESULT hr = CheckCommon(filter, destination); FAILED(hr)) return hr;
    if (FAILED(ArmCommand(filter, command))) return E_FAIL;
    if (FAILED(ReadDataPacket())) return E_FAIL;

    const uint8_t* p = Packet();
    if (p[0] != PKT_DATA) {
        print("GetUsbData error\n");
        return E_FAIL;
    }
    const uint32_t recordLength = readLe32(p + kPacketHeaderSize);
    const uint32_t expectedCrc = readLe32(p + kPacketHeaderSize + 4);
    if (recordLength > capacity) {
        print("record length error, length:%u, max:%u\n", recordLength, capacity);
        print("GetUsbData error\n");
        return E_FAIL;
    }

    UpgradeClock& clock = UpgradeClock::current();
    uint64_t lastProgress = clock.nowMs();
    uint32_t received = 0;
    while (received < recordLength) {
        if (FAILED(ReadDataPacket())) return E_FAIL;
        const PacketStep step = TakeDataPacket(recordLength - received, lastProgress);
        if (step == PacketStep::Failed) return E_FAIL;
        if (step == PacketStep::Again) continue;
        if (step == PacketStep::End) break;

        const uint32_t offset = readLe32(p + 1);
        const uint32_t total = readLe32(p + 5);
        const uint32_t n = readLe32(p + 9);
        if (n) std::memcpy(destination + received, p + kPacketHeaderSize, n);
        received += n;
        if (n) lastProgress = clock.nowMs();
        else if (StalledSince(lastProgress)) return E_FAIL;
        if (uint64_t(offset) + n == total) break;
    }

    if (Checksums::crc32(destination, recordLength) != expectedCrc) {
        print("crc error\n");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::SendBlock64(IBaseFilter* filter, const uint8_t data[64])
{
    if (HRESULT hr = CheckCommon(filter, data); FAILED(hr)) return hr;
    if (payloadCapacity == 0) {
        print("usb data package size error!,support max:%d\n", static_cast<int>(kMaxPayloadCapacity));
        return E_FAIL;
    }
    if (FAILED(ArmCommand(filter, CMD_SET_USB_SN))) return E_FAIL;

    auto sendAndCheck = [&]() -> HRESULT {
        if (FAILED(SetUsbData(filter, Packet()))) {
            print("SetUsbData error\n");
            return E_FAIL;
        }
        if (FAILED(CheckErrorStatus(filter))) return E_FAIL;
        return S_OK;
    };

    uint8_t header[8];
    writeLe32(header, 8);
    writeLe32(header + 4, Checksums::crc32(data, kSerialBlockSize));
    // The header is 8 bytes: it fits every accepted package size but the
    // smallest ones, which carry it in several packets like the block itself.
    for (uint32_t offset = 0; offset < sizeof header;) {
        uint32_t n = std::min<uint32_t>(payloadCapacity, sizeof header - offset);
        FillPacket(PKT_HEAD, offset, sizeof header, header + offset, n);
        if (FAILED(sendAndCheck())) return E_FAIL;
        offset += n;
    }
    for (uint32_t offset = 0; offset < kSerialBlockSize;) {
        uint32_t n = std::min<uint32_t>(payloadCapacity, kSerialBlockSize - offset);
        FillPacket(PKT_DATA, offset, kSerialBlockSize, data + offset, n);
        if (FAILED(sendAndCheck())) return E_FAIL;
        offset += n;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::GetUpgradeVersion(IBaseFilter* filter, uint8_t version[3])
{
    if (HRESULT hr = CheckCommon(filter, version); FAILED(hr)) return hr;
    if (FAILED(ReadControl(XU_CTRL_VERSION, kVersionLength, version))) return E_FAIL;
    return QueryDataPackageSize();
}

HRESULT CVorqUvcUpgrade::UpdateDeviceAttributes(IBaseFilter* filter)
{
    HRESULT hr = GetUpgradeVersion(filter, attributes.version);
    if (FAILED(hr)) {
        print("GetUpgradeVersion error \n");
        return hr;
    }
    struct RecordStep {
        uint8_t command;
        uint8_t* slot;
        uint32_t size;
        const char* failure;
        bool wanted;
    };
    const RecordStep steps[] = {
        {CMD_GET_HW_INFO, attributes.hwInfo, sizeof attributes.hwInfo, "GetHwInfo error \n", true},
        {CMD_GET_SOF_INFO, attributes.sofInfo, sizeof attributes.sofInfo, "GetSofInfo error \n", true},
        {CMD_GET_APP_CONFIG, attributes.appConfig, sizeof attributes.appConfig, "GetAppConfig error \n", true},
        {CMD_GET_USB_CONFIG, attributes.usbConfig, sizeof attributes.usbConfig, "GetUsbConfig error \n", true},
    };
    for (const RecordStep& step : steps) {
        hr = GetUsbData(filter, step.command, step.slot, step.size);
        if (FAILED(hr)) {
            print(step.failure);
            return hr;
        }
    }
    // The function records exist only for the functions the camera has.
    const RecordStep functionSteps[] = {
        {CMD_GET_UVC_INFO, attributes.uvcInfo, sizeof attributes.uvcInfo, "GetAppConfig error \n", attributes.hasUvc()},
        {CMD_GET_UAC_INFO, attributes.uacInfo, sizeof attributes.uacInfo, "GetAppConfig error \n", attributes.hasUac()},
    };
    for (const RecordStep& step : functionSteps) {
        if (!step.wanted) continue;
        hr = GetUsbData(filter, step.command, step.slot, step.size);
        if (FAILED(hr)) {
            print(step.failure);
            return hr;
        }
    }
    hr = CheckCommon(filter, attributes.deviceStatus);
    if (SUCCEEDED(hr)) hr = ReadControl(XU_CTRL_DEVICE_STATUS, kDeviceStatusLength, attributes.deviceStatus);
    if (FAILED(hr)) {
        print("GetState error \n");
        return hr;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::SetUsbSn(IBaseFilter* filter, const char* text)
{
    if (!text) {
        print("SN strings error!\n");
        return E_POINTER;
    }
    const size_t length = std::strlen(text);
    if (length > kSerialBlockSize - 1) {
        print("strlen error!\n");
        return E_INVALIDARG;
    }
    if (length == 0) {
        print("SN strings error!\n");
        return E_INVALIDARG;
    }
    uint8_t block[kSerialBlockSize] = {};
    std::memcpy(block, text, length);
    HRESULT hr = SendBlock64(filter, block);
    if (FAILED(hr)) {
        print("SetUsbSn error!\n");
        return hr;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::SetLog(IBaseFilter* filter)
{
    if (HRESULT hr = CheckCommon(filter); FAILED(hr)) return hr;
    const uint8_t request[kLogRequestLength] = {4, 0, 0, 0, 0, 0};
    return WriteControl(XU_CTRL_LOG, kLogRequestLength, request);
}

HRESULT CVorqUvcUpgrade::DeviceReboot(IBaseFilter* filter)
{
    if (!filter) {
        print("parameter error\n");
        return E_POINTER;
    }
    const uint8_t reboot[kStateLength] = {CMD_REBOOT, 0, 0, 0, 0};
    return WriteControl(XU_CTRL_STATE, kStateLength, reboot);
}

void CVorqUvcUpgrade::PrintDeviceInfo()
{
    const DeviceAttributes& a = attributes;
    print(" Soc Version:%d.%d.%d", int(a.softwareMajor()), int(a.softwareMinor()), int(a.softwarePatch()));
    print(" %s.%s: %s", a.deviceModel().c_str(), a.sofTextB().c_str(), a.sofTextA().c_str());
    print(" Chip:0x%x\n Flash size:%dM", a.chipId(), static_cast<int>(a.flashSize() >> 20));
    print(" SN:%s \n Vid:0x%04x \n Pid:0x%04x \n Bcd:0x%04x \n Usb speed max:%s\n", a.serialNumber().c_str(),
          unsigned(a.usbVendorId()), unsigned(a.usbProductId()), unsigned(a.bcdDevice()), usbSpeedName(a.maxUsbSpeed()));
}

void CVorqUvcUpgrade::PrintStatus()
{
    const DeviceAttributes& a = attributes;
    print("device stauts:\n");
    print("usb speed:%s\n", usbSpeedName(a.currentUsbSpeed()));
    const uint32_t flags = a.streamFlags();
    if (a.hasUvc()) print("uvc stream:%d\n", int((flags >> 2) & 1));
    if (a.hasUac()) {
        print("uac mic stream:%d\n", int((flags >> 3) & 1));
        print("uac speak stream:%d\n", int((flags >> 4) & 1));
    }
}

} // namespace fwflash

// File transfers between host and camera, and the upgrade flows built on them.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "CVorqUvcUpgrade.h"
#include "Checksums.h"
#include "FilePath.h"
#include "UpgradeClock.h"
#include "UpgradeProtocol.h"

namespace fwflash {

namespace {

struct FileClose {
    void operator()(std::FILE* f) const
    {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileClose>;

constexpr uint32_t kSettleMs = 1000;

float percentOf(uint32_t part, uint32_t total)
{
    if (total == 0) return 0.0f;
    return static_cast<float>(part) * 100.0f / static_cast<float>(total);
}

} // namespace

HRESULT CVorqUvcUpgrade::SendInfoStage(IBaseFilter* filter, const uint8_t* block)
{
    for (uint32_t offset = 0; offset < kFileInfoSize;) {
        const uint32_t n = std::min(payloadCapacity, kFileInfoSize - offset);
        FillPacket(PKT_HEAD, offset, kFileInfoSize, block + offset, n);
        if (FAILED(SetUsbData(filter, Packet()))) {
            print("SetUsbData error\n");
            return E_FAIL;
        }
        if (FAILED(CheckErrorStatus(filter))) return E_FAIL;
        offset += n;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::SendFileToDevice(IBaseFilter* filter, uint8_t command, const char* path)
{
    if (HRESULT hr = CheckCommon(filter, path); FAILED(hr)) return hr;

    File file(std::fopen(path, "rb"));
    if (!file) {
        print("fopen_s error,path:%s\n", path);
        return E_FAIL;
    }
    if (fseeko(file.get(), 0, SEEK_END) != 0) {
        print("fp error,path:%s\n", path);
        return E_FAIL;
    }
    const off_t size = ftello(file.get());
    // Sizes travel as 32-bit numbers; a larger file cannot be described.
    if (size < 0 || static_cast<uint64_t>(size) > 0xFFFFFFFFull) {
        print("file size error,path:%s\n", path);
        return E_FAIL;
    }
    const uint32_t length = static_cast<uint32_t>(size);
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[length ? length : 1]);
    if (!buffer) {
        print("Run out of memory!\n");
        return E_FAIL;
    }
    if (fseeko(file.get(), 0, SEEK_SET) != 0 || std::fread(buffer.get(), 1, length, file.get()) != length) {
        print("fp error,path:%s\n", path);
        return E_FAIL;
    }
    file.reset();

    Md5 digest{};
    if (!Checksums::md5(buffer.get(), length, digest)) {
        print("buff_md5sum error!\n");
        return E_FAIL;
    }
    print("send file:%s\n", path);
    print("file size:%u, MD5:%s\n", length, Checksums::hex(digest).c_str());

    const FilePath parts = FilePath::split(path);
    if (parts.name.size() + parts.extension.size() + 1 > kFileInfoNameSize) {
        print("file name len error\n");
        return E_FAIL;
    }
    if (payloadCapacity == 0) {
        print("usb data package size error!,support max:%d\n", static_cast<int>(kMaxPayloadCapacity));
        return E_FAIL;
    }
    uint8_t block[kFileInfoSize] = {};
    std::memcpy(block, parts.name.data(), parts.name.size());
    std::memcpy(block + parts.name.size(), parts.extension.data(), parts.extension.size());
    writeLe32(block + kFileInfoSizeOffset, length);
    std::memcpy(block + kFileInfoMd5Offset, digest.data(), digest.size());

    if (FAILED(ArmCommand(filter, command))) return E_FAIL;
    if (FAILED(SendInfoStage(filter, block))) return E_FAIL;

    if (length > 0) {
        uint32_t lastDecile = 0;
        for (uint32_t offset = 0; offset < length;) {
            const uint32_t n = std::min(payloadCapacity, length - offset);
            FillPacket(PKT_DATA, offset, length, buffer.get() + offset, n);
            // No status read between data packets: the camera reports once
            // the whole file is in.
            HRESULT hr = SetUsbData(filter, Packet());
            const uint32_t decile = static_cast<uint32_t>((uint64_t(offset) + n) * 10 / length);
            if (decile != lastDecile) {
                print("\rsend file:%d%%", static_cast<int>(decile * 10));
                lastDecile = decile;
            }
            if (FAILED(hr)) {
                print("SetUsbData error\n");
                return E_FAIL;
            }
            offset += n;
        }
        UpgradeClock::current().sleepMs(kSettleMs);
        if (FAILED(CheckErrorStatus(filter))) return E_FAIL;
    }
    print("\n");
    return S_OK;
}

HRESULT CVorqUvcUpgrade::ReadInfoAnswer(uint8_t* block)
{
    UpgradeClock& clock = UpgradeClock::current();
    uint64_t lastProgress = clock.nowMs();
    uint32_t got = 0;
    const uint8_t* p = Packet();
    for (;;) {
        if (FAILED(ReadDataPacket())) return E_FAIL;
        const PacketStep step = TakeDataPacket(kFileInfoSize - got, lastProgress);
        if (step == PacketStep::Failed) return E_FAIL;
        if (step == PacketStep::Again) continue;
        if (step == PacketStep::End) return S_OK;
        const uint32_t offset = readLe32(p + 1);
        const uint32_t total = readLe32(p + 5);
        const uint32_t n = readLe32(p + 9);
        if (n) std::memcpy(block + got, p + kPacketHeaderSize, n);
        got += n;
        if (uint64_t(offset) + n == total || got == kFileInfoSize) return S_OK;
        if (n) lastProgress = clock.nowMs();
        else if (StalledSince(lastProgress)) return E_FAIL;
    }
}

HRESULT CVorqUvcUpgrade::ReceiveFile(IBaseFilter* filter, const char* directory, const char* name)
{
    if (HRESULT hr = CheckCommon(filter, directory); FAILED(hr)) return hr;
    if (HRESULT hr = CheckCommon(filter, name); FAILED(hr)) return hr;
    const size_t nameLength = std::strlen(name);
    if (nameLength + 1 > kFileInfoNameSize) {
        print("file name len error\n");
        return E_FAIL;
    }
    // The directory text is joined to the name as it is; refuse a path that
    // the file functions could not take whole, before the camera is armed.
    const std::string path = std::string(directory) + name;
    if (path.size() > kMaxReceivePath) {
        print("file path len error,path:%s\n", path.c_str());
        return E_FAIL;
    }
    if (payloadCapacity == 0) {
        print("usb data package size error!,support max:%d\n", static_cast<int>(kMaxPayloadCapacity));
        return E_FAIL;
    }

    uint8_t block[kFileInfoSize] = {};
    std::memcpy(block, name, nameLength);
    if (FAILED(ArmCommand(filter, CMD_UPLOAD_FILE))) return E_FAIL;
    if (FAILED(SendInfoStage(filter, block))) return E_FAIL;
    if (FAILED(ReadInfoAnswer(block))) return E_FAIL;

    UpgradeClock& clock = UpgradeClock::current();
    clock.sleepMs(kSettleMs);
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        print("fopen_s error,path:%s\n", path.c_str());
        return E_FAIL;
    }
    // A transfer that fails half-way leaves no partial file behind that could
    // pass for the camera's.
    auto fail = [&]() {
        file.reset();
        std::remove(path.c_str());
        return E_FAIL;
    };

    const uint32_t size = readLe32(block + kFileInfoSizeOffset);
    const uint8_t* p = Packet();
    uint64_t lastProgress = clock.nowMs();
    uint32_t written = 0;
    while (written < size) {
        HRESULT hr = S_OK;
        if (!connected) {
            print("Device Disconnect\n");
            hr = E_FAIL;
        } else {
            hr = ReadControl(XU_CTRL_DATA, packageSize, Packet());
        }
        const uint32_t offset = readLe32(p + 1);
        const uint32_t total = readLe32(p + 5);
        const uint32_t n = readLe32(p + 9);
        print("\rreceive file:%0.1f%%", static_cast<double>(percentOf(offset + n, total)));
        if (FAILED(hr)) {
            print("GetUsbData error\n");
            return fail();
        }
        const PacketStep step = TakeDataPacket(size - written, lastProgress);
        if (step == PacketStep::Failed) return fail();
        if (step == PacketStep::Again) continue;
        if (step == PacketStep::End) break;
        if (n && std::fwrite(p + kPacketHeaderSize, 1, n, file.get()) != n) {
            print("fwrite error\n");
            return fail();
        }
        written += n;
        if (uint64_t(offset) + n == total) break;
        if (n) lastProgress = clock.nowMs();
        else if (StalledSince(lastProgress)) return fail();
    }
    if (std::fclose(file.release()) != 0) {
        print("fwrite error\n");
        std::remove(path.c_str());
        return E_FAIL;
    }
    print("\n");

    Md5 digest{};
    if (!Checksums::md5File(path, digest)) {
        print("file_md5sum error\n");
        std::remove(path.c_str());
        return E_FAIL;
    }
    Md5 expected{};
    std::memcpy(expected.data(), block + kFileInfoMd5Offset, expected.size());
    if (digest != expected) {
        print("file md5 check error\n");
        print("%s\n", Checksums::hex(expected).c_str());
        print("%s\n", Checksums::hex(digest).c_str());
        std::remove(path.c_str());
        return E_FAIL;
    }
    print("receive file:%s\n", path.c_str());
    print("file size:%u, MD5:%s\n", size, Checksums::hex(digest).c_str());
    return S_OK;
}

HRESULT CVorqUvcUpgrade::GetDeviceLog(IBaseFilter* filter, const char* directory)
{
    HRESULT hr = SetLog(filter);
    if (FAILED(hr)) {
        print("SetLog error\n");
        return hr;
    }
    return ReceiveFile(filter, directory, kLogArchiveName);
}

HRESULT CVorqUvcUpgrade::Config_Upgrade(IBaseFilter* filter, const char* path)
{
    if (!path || FilePath::split(path).extension != ".gz") {
        print("file type error\n");
        return E_INVALIDARG;
    }
    return SendFileToDevice(filter, CMD_CONFIG, path);
}

HRESULT CVorqUvcUpgrade::CheckModel(const char* path, const char* extension)
{
    const FilePath parts = FilePath::split(path ? path : "");
    if (!path || parts.extension != extension) {
        print("file type error\n");
        return E_INVALIDARG;
    }
    const std::string model = attributes.deviceModel();
    if (parts.name.find(model) == std::string::npos) {
        print("device model error! FileName:%s, device model:%s\n", parts.name.c_str(), model.c_str());
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::PKG_Upgrade(IBaseFilter* filter, const char* path)
{
    if (HRESULT hr = CheckModel(path, ".pkg"); FAILED(hr)) return hr;
    return SendFileToDevice(filter, CMD_PKG, path);
}

HRESULT CVorqUvcUpgrade::MTD_Upgrade(IBaseFilter* filter, const char* path)
{
    if (HRESULT hr = CheckModel(path, ".img"); FAILED(hr)) return hr;
    HRESULT hr = SendFileToDevice(filter, CMD_MTD_IMAGE, path);
    if (FAILED(hr)) {
        print("MTD_Upgrade SendFile error\n");
        return hr;
    }
    return FollowFlashWrite(filter);
}

HRESULT CVorqUvcUpgrade::FollowFlashWrite(IBaseFilter* filter)
{
    UpgradeClock& clock = UpgradeClock::current();
    const uint64_t started = clock.nowMs();
    for (uint32_t polls = 0; polls < kMaxFlashPolls; ++polls) {
        if (!connected) {
            print("Device Disconnect\n");
            return E_FAIL;
        }
        if (!filter) {
            print("parameter error\n");
            return E_POINTER;
        }
        uint8_t record[kFlashProgressLength] = {};
        if (FAILED(ReadControl(XU_CTRL_FLASH_PROGRESS, kFlashProgressLength, record))) return E_FAIL;
        const uint8_t status = record[1];
        const uint32_t interval = readLe32(record + 2);
        const uint32_t written = readLe32(record + 6);
        const uint32_t total = readLe32(record + 10);
        switch (status) {
        case FLASH_WAIT:
            break;
        case FLASH_PROGRESS:
            print("\rflash write:%0.1f%%", static_cast<double>(percentOf(written, total)));
            break;
        case UPGRADE_BUSY:
            print("UPGRADE_BUSY\n");
            break;
        case UPGRADE_DONE:
            print("UPGRADE_DONE\n");
            return E_FAIL;
        case FLASH_COMPLETE:
            print("\rflash write:%0.1f%%\n", static_cast<double>(percentOf(written, total)));
            return S_OK;
        default:
            print("flash write error\n");
            return E_FAIL;
        }
        if (clock.nowMs() - started >= kFlashTimeoutMs) {
            print("\n");
            print("flash write timeout: the camera did not finish within %u s\n",
                  static_cast<unsigned>(kFlashTimeoutMs / 1000));
            return E_FAIL;
        }
        if (interval) clock.sleepMs(std::min(interval, kMaxFlashPollIntervalMs));
    }
    print("\n");
    print("timeout\n");
    return E_FAIL;
}

} // namespace fwflash

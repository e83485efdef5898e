#include "upgrade/UpgradeDeviceProtocol.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <openssl/evp.h>
#include <zlib.h>

#include "upgrade/UpgradeDeviceLogArchive.h"
#include "upgrade/UpgradeDeviceRecords.h"
#include "upgrade/UpgradeDeviceStore.h"

namespace vorq::simcam {

namespace {

constexpr uint32_t kHeaderSize = 13;
constexpr uint32_t kInfoSize = 165;
constexpr uint32_t kInfoNameSize = 128;
constexpr uint32_t kSerialHeaderSize = 8;
constexpr uint32_t kSerialBlockSize = 64;
constexpr uint64_t kMaxStoredFile = 256ull << 20;
constexpr long kDefaultPollMs = 100;
constexpr uint32_t kFlashSteps = 20;
constexpr const char* kLogArchiveName = "vorq_log.tar.gz";

enum PacketType : uint8_t { PktHead = 0, PktData = 1, PktBusy = 2, PktEnd = 3, PktError = 4 };

enum StatusCode : uint8_t {
    StatusOk = 0,
    StatusFile = 2,
    StatusWrite = 3,
    StatusStalledPacket = 15,
    StatusState = 16,
    StatusFopen = 18,
    StatusCheckData = 19,
    StatusSize = 20,
};

enum FlashStatus : uint8_t { FlashWait = 0x80, FlashProgressing = 0x81, FlashFail = 0x84, FlashComplete = 0x85 };

enum Command : uint8_t {
    CmdIdle = 0,
    CmdReboot = 2,
    CmdImage = 32,
    CmdPackage = 33,
    CmdConfig = 34,
    CmdDownload = 35,
    CmdUpload = 36,
    CmdSerial = 40,
    CmdFirstRecord = 42,
    CmdLastRecord = 47,
};

uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

struct Packet {
    uint8_t type;
    uint32_t offset;
    uint32_t total;
    uint32_t length;
    const uint8_t* payload;
};
Packet parse(const uint8_t* p)
{
    return {p[0], le32(p + 1), le32(p + 5), le32(p + 9), p + kHeaderSize};
}

struct MdFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

// MD5 of a stored file of known size, read in blocks.
bool storedFileMd5(UpgradeDeviceStore& store, const std::string& name, uint64_t size, uint8_t out[16])
{
    std::unique_ptr<EVP_MD_CTX, MdFree> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1) return false;
    std::vector<uint8_t> block(64 * 1024);
    for (uint64_t offset = 0; offset < size;) {
        size_t want = size - offset < block.size() ? static_cast<size_t>(size - offset) : block.size();
        size_t got = 0;
        if (store.readFile(name, offset, block.data(), want, got) != 0 || got == 0) return false;
        if (EVP_DigestUpdate(ctx.get(), block.data(), got) != 1) return false;
        offset += got;
    }
    unsigned int length = 0;
    return EVP_DigestFinal_ex(ctx.get(), out, &length) == 1 && length == 16;
}

} // namespace

UpgradeDeviceProtocol::UpgradeDeviceProtocol(UpgradeDeviceStore& store) : store_(store) { load(); }

UpgradeDeviceProtocol::~UpgradeDeviceProtocol()
{
    size_t size = 0;
    uint8_t* area = store_.protocolState(size);
    if (area && size >= sizeof s_) std::memcpy(area, &s_, sizeof s_);
}

void UpgradeDeviceProtocol::load()
{
    size_t size = 0;
    uint8_t* area = store_.protocolState(size);
    if (area && size >= sizeof s_) std::memcpy(&s_, area, sizeof s_);
    if (s_.magic != UpgradeDeviceState::kMagic) {
        // First use: nothing saved yet.
        s_ = UpgradeDeviceState{};
        s_.magic = UpgradeDeviceState::kMagic;
    } else if (const std::string damage = damagedField(); !damage.empty()) {
        // Every count indexes one of the arrays: one out of bounds would make
        // the next packet read or write past it.
        std::fprintf(stderr, "vorq-sim: the saved upgrade state is damaged (%s); starting afresh\n", damage.c_str());
        s_ = UpgradeDeviceState{};
        s_.magic = UpgradeDeviceState::kMagic;
    }
    // Texts read from shared memory always end inside their fields.
    s_.fileName[sizeof s_.fileName - 1] = '\0';
    s_.pendingFirmware[sizeof s_.pendingFirmware - 1] = '\0';
}

std::string UpgradeDeviceProtocol::damagedField() const
{
    auto over = [](const char* what, uint64_t value, uint64_t limit) {
        return what + (" " + std::to_string(value)) + " > " + std::to_string(limit);
    };
    if (s_.phase > UpgradeDeviceState::Failed) return over("phase", s_.phase, UpgradeDeviceState::Failed);
    if (s_.infoCount > kInfoSize) return over("information count", s_.infoCount, kInfoSize);
    if (s_.fileCount > s_.fileSize) return over("file count", s_.fileCount, s_.fileSize);
    if (s_.recordLength > sizeof s_.record) return over("record length", s_.recordLength, sizeof s_.record);
    if (s_.recordSent > s_.recordLength) return over("record progress", s_.recordSent, s_.recordLength);
    if (s_.serialHeaderCount > kSerialHeaderSize)
        return over("serial-number header count", s_.serialHeaderCount, kSerialHeaderSize);
    if (s_.serialCount > kSerialBlockSize) return over("serial-number count", s_.serialCount, kSerialBlockSize);
    if (s_.flashWritten > s_.flashTotal) return over("flash progress", s_.flashWritten, s_.flashTotal);
    return {};
}

int UpgradeDeviceProtocol::controlLength(uint8_t selector, uint32_t packageSize)
{
    switch (selector) {
    case Version: return 3;
    case DeviceStatus: return 5;
    case Log: return 6;
    case ErrorStatus: return 1;
    case State: return 5;
    case Data: return static_cast<int>(packageSize);
    case FlashProgress: return 14;
    default: return -1;
    }
}

uint32_t UpgradeDeviceProtocol::payloadCapacity() const
{
    const uint32_t size = store_.packageSize();
    return size > kHeaderSize ? size - kHeaderSize : 0;
}

bool UpgradeDeviceProtocol::faultAt(const char* step) const
{
    if (store_.configNumber("error_status", 0) == 0) return false;
    std::string configured = store_.configText("error_step");
    if (configured.empty()) configured = "any";
    if (configured != step) return false;
    const long command = store_.configNumber("error_command", 0);
    return command == 0 || command == s_.command;
}

void UpgradeDeviceProtocol::fail(uint8_t status)
{
    if (s_.phase == UpgradeDeviceState::ReceiveData) store_.removeFile(kIncomingName);
    s_.errorStatus = status;
    s_.phase = UpgradeDeviceState::Failed;
}

void UpgradeDeviceProtocol::resetTransfer()
{
    if (s_.phase == UpgradeDeviceState::ReceiveData) store_.removeFile(kIncomingName);
    s_.phase = UpgradeDeviceState::Idle;
    s_.busyPending = 0;
    s_.descriptorSent = 0;
    s_.flashStarted = 0;
    s_.infoCount = 0;
    s_.fileSize = 0;
    s_.fileCount = 0;
    s_.recordLength = 0;
    s_.recordSent = 0;
    s_.serialHeaderCount = 0;
    s_.serialCount = 0;
    std::memset(s_.info, 0, sizeof s_.info);
    std::memset(s_.fileName, 0, sizeof s_.fileName);
}

int UpgradeDeviceProtocol::read(uint8_t selector, uint8_t* data, uint16_t size)
{
    const int length = controlLength(selector, store_.packageSize());
    if (length < 0 || size != length || !data) return EINVAL;
    switch (selector) {
    case Version: {
        const uint8_t version[3] = {1, 0, 0};
        std::memcpy(data, version, sizeof version);
        return 0;
    }
    case DeviceStatus: {
        const std::vector<uint8_t> status = UpgradeDeviceRecords(store_).deviceStatus();
        std::memcpy(data, status.data(), status.size());
        return 0;
    }
    case ErrorStatus: data[0] = readErrorStatus(); return 0;
    case State: std::memcpy(data, s_.state, sizeof s_.state); return 0;
    case Data:
        // A data control too short for a packet header carries no packet.
        if (size < kHeaderSize) return EPIPE;
        // What the kernel reports for a short USB transfer.
        if (store_.configNumber("short_reads", 0)) return EIO;
        readData(data, size);
        return 0;
    case FlashProgress: readFlashProgress(data); return 0;
    default: return EPIPE; // the log request is write-only
    }
}

int UpgradeDeviceProtocol::write(uint8_t selector, const uint8_t* data, uint16_t size)
{
    const int length = controlLength(selector, store_.packageSize());
    if (length < 0 || size != length || !data) return EINVAL;
    switch (selector) {
    case State: setState(data); return 0;
    case Data:
        if (size < kHeaderSize) return EPIPE;
        writeData(data);
        return 0;
    case Log:
        if (data[0] == 4) writeLogArchive();
        else s_.errorStatus = StatusState;
        return 0;
    default: return EPIPE; // read-only controls
    }
}

uint8_t UpgradeDeviceProtocol::readErrorStatus()
{
    if (faultAt("any")) return static_cast<uint8_t>(store_.configNumber("error_status", 0));
    const uint8_t code = s_.errorStatus;
    // A package is installed once the host has seen it arrive intact.
    if (s_.rebootAfterStatus && code == StatusOk) {
        s_.rebootAfterStatus = 0;
        store_.requestReboot();
    }
    return code;
}

void UpgradeDeviceProtocol::setState(const uint8_t* record)
{
    const uint8_t code = record[0];
    if (code == CmdIdle) {
        resetTransfer();
        s_.errorStatus = StatusOk;
        s_.command = CmdIdle;
        std::memcpy(s_.state, record, sizeof s_.state);
        return;
    }
    if (code == CmdReboot) {
        std::memcpy(s_.state, record, sizeof s_.state);
        store_.requestReboot();
        return;
    }
    const bool known = (code >= CmdImage && code <= CmdUpload) || code == CmdSerial ||
                       (code >= CmdFirstRecord && code <= CmdLastRecord);
    if (!known) {
        s_.errorStatus = StatusState;
        return;
    }
    std::memcpy(s_.state, record, sizeof s_.state);
    armCommand(code);
}

void UpgradeDeviceProtocol::armCommand(uint8_t code)
{
    resetTransfer();
    s_.errorStatus = StatusOk;
    s_.command = code;
    if (code >= CmdFirstRecord) {
        const std::vector<uint8_t> record = UpgradeDeviceRecords(store_).record(code);
        std::memcpy(s_.record, record.data(), record.size());
        s_.recordLength = static_cast<uint32_t>(record.size());
        s_.phase = UpgradeDeviceState::SendRecord;
        // The record is put together after the descriptor went out.
        s_.busyPending = 1;
    } else if (code == CmdSerial) {
        s_.phase = UpgradeDeviceState::SerialHeader;
    } else {
        s_.phase = UpgradeDeviceState::ReceiveInfo;
    }
    if (faultAt("arm")) fail(static_cast<uint8_t>(store_.configNumber("error_status", 0)));
}

void UpgradeDeviceProtocol::writeData(const uint8_t* packet)
{
    switch (s_.phase) {
    case UpgradeDeviceState::ReceiveInfo: receiveInfo(packet); break;
    case UpgradeDeviceState::ReceiveData: receiveFileData(packet); break;
    case UpgradeDeviceState::SerialHeader:
    case UpgradeDeviceState::SerialData: receiveSerial(packet); break;
    case UpgradeDeviceState::Failed: break; // the status already tells
    default: fail(StatusState); break;
    }
}

void UpgradeDeviceProtocol::receiveInfo(const uint8_t* raw)
{
    const Packet p = parse(raw);
    if (p.type != PktHead || p.total != kInfoSize || p.offset != s_.infoCount || p.length > payloadCapacity() ||
        uint64_t(p.offset) + p.length > kInfoSize)
        return fail(StatusStalledPacket);
    std::memcpy(s_.info + p.offset, p.payload, p.length);
    s_.infoCount += p.length;
    if (s_.infoCount == kInfoSize) acceptFileInfo();
}

void UpgradeDeviceProtocol::acceptFileInfo()
{
    const void* end = std::memchr(s_.info, 0, kInfoNameSize);
    if (!end || end == s_.info) return fail(StatusFile);
    const std::string name(reinterpret_cast<const char*>(s_.info), static_cast<const uint8_t*>(end) - s_.info);
    std::memcpy(s_.fileName, name.data(), name.size());
    s_.fileName[name.size()] = '\0';

    if (s_.command == CmdUpload) return prepareUpload();

    if (!store_.validFileName(name) || name == kIncomingName) return fail(StatusFile);
    const uint32_t size = le32(s_.info + 128);
    const uint64_t limit = s_.command == CmdImage ? UpgradeDeviceRecords::kFlashSize : kMaxStoredFile;
    if (size > limit) return fail(StatusSize);
    if (faultAt("info")) return fail(static_cast<uint8_t>(store_.configNumber("error_status", 0)));
    if (store_.writeFile(kIncomingName, nullptr, 0) != 0) return fail(StatusWrite);
    s_.fileSize = size;
    s_.fileCount = 0;
    s_.phase = UpgradeDeviceState::ReceiveData;
    if (size == 0) finishFile();
}

void UpgradeDeviceProtocol::receiveFileData(const uint8_t* raw)
{
    const Packet p = parse(raw);
    if (p.type != PktData || p.total != s_.fileSize || p.offset != s_.fileCount || p.length > payloadCapacity() ||
        uint64_t(s_.fileCount) + p.length > s_.fileSize)
        return fail(StatusStalledPacket);
    if (p.length && store_.appendFile(kIncomingName, p.payload, p.length) != 0) return fail(StatusWrite);
    s_.fileCount += p.length;
    if (s_.fileCount == s_.fileSize) finishFile();
}

void UpgradeDeviceProtocol::finishFile()
{
    uint8_t digest[16];
    if (!storedFileMd5(store_, kIncomingName, s_.fileSize, digest)) return fail(StatusWrite);
    if (std::memcmp(digest, s_.info + 132, sizeof digest) != 0) return fail(StatusCheckData);
    if (faultAt("data")) return fail(static_cast<uint8_t>(store_.configNumber("error_status", 0)));
    const std::string name = s_.fileName;
    if (store_.renameFile(kIncomingName, name) != 0) return fail(StatusWrite);

    s_.phase = UpgradeDeviceState::Received;
    if (s_.command == CmdImage || s_.command == CmdPackage) {
        const std::string next = UpgradeDeviceRecords::nextFirmwareVersion(store_.firmwareVersion(), name);
        std::memset(s_.pendingFirmware, 0, sizeof s_.pendingFirmware);
        std::memcpy(s_.pendingFirmware, next.data(), next.size() < 31 ? next.size() : 31);
        s_.pendingFirmwareSet = 1;
    }
    if (s_.command == CmdImage) {
        s_.phase = UpgradeDeviceState::Flashing;
        s_.flashTotal = s_.fileSize;
        s_.flashWritten = 0;
        s_.flashStarted = 0;
    } else if (s_.command == CmdPackage) {
        s_.rebootAfterStatus = 1;
    }
}

void UpgradeDeviceProtocol::receiveSerial(const uint8_t* raw)
{
    const Packet p = parse(raw);
    const uint32_t cap = payloadCapacity();
    if (s_.phase == UpgradeDeviceState::SerialHeader) {
        if (p.type != PktHead || p.total != kSerialHeaderSize || p.offset != s_.serialHeaderCount || p.length > cap ||
            uint64_t(p.offset) + p.length > kSerialHeaderSize)
            return fail(StatusStalledPacket);
        std::memcpy(s_.serialHeader + p.offset, p.payload, p.length);
        s_.serialHeaderCount += p.length;
        if (s_.serialHeaderCount < kSerialHeaderSize) return;
        if (le32(s_.serialHeader) != kSerialHeaderSize) return fail(StatusStalledPacket);
        if (faultAt("info")) return fail(static_cast<uint8_t>(store_.configNumber("error_status", 0)));
        s_.phase = UpgradeDeviceState::SerialData;
        return;
    }
    if (p.type != PktData || p.total != kSerialBlockSize || p.offset != s_.serialCount || p.length > cap ||
        uint64_t(p.offset) + p.length > kSerialBlockSize)
        return fail(StatusStalledPacket);
    std::memcpy(s_.serialBlock + p.offset, p.payload, p.length);
    s_.serialCount += p.length;
    if (s_.serialCount < kSerialBlockSize) return;

    if (static_cast<uint32_t>(crc32(0L, s_.serialBlock, kSerialBlockSize)) != le32(s_.serialHeader + 4))
        return fail(StatusCheckData);
    const void* end = std::memchr(s_.serialBlock, 0, kSerialBlockSize);
    if (!end || end == s_.serialBlock) return fail(StatusFile);
    if (faultAt("data")) return fail(static_cast<uint8_t>(store_.configNumber("error_status", 0)));
    const std::string serial(reinterpret_cast<const char*>(s_.serialBlock),
                             static_cast<const uint8_t*>(end) - s_.serialBlock);
    if (store_.setSerialNumber(serial) != 0) return fail(StatusWrite);
    s_.phase = UpgradeDeviceState::SerialDone;
}

void UpgradeDeviceProtocol::prepareUpload()
{
    const std::string name = s_.fileName;
    uint64_t size = 0;
    if (!store_.validFileName(name) || name == kIncomingName || store_.fileSize(name, size) != 0)
        return fail(StatusFopen);
    if (size > 0xFFFFFFFFull) return fail(StatusSize);
    uint8_t digest[16];
    if (!storedFileMd5(store_, name, size, digest)) return fail(StatusFopen);
    if (faultAt("info")) return fail(static_cast<uint8_t>(store_.configNumber("error_status", 0)));

    std::memset(s_.info, 0, sizeof s_.info);
    std::memcpy(s_.info, name.data(), name.size());
    put32(s_.info + 128, static_cast<uint32_t>(size));
    std::memcpy(s_.info + 132, digest, sizeof digest);
    s_.fileSize = static_cast<uint32_t>(size);
    s_.fileCount = 0;
    s_.infoCount = 0;
    s_.phase = UpgradeDeviceState::SendFileInfo;
    s_.busyPending = 1;
}

void UpgradeDeviceProtocol::writeLogArchive()
{
    std::string log = "camera TX42\nmodel " + store_.modelText() + "\nfirmware " + store_.firmwareVersion() +
                      "\nserial " + store_.serialNumber() + "\nupgrade unit ready\n";
    const std::vector<uint8_t> archive = UpgradeDeviceLogArchive::build(log, store_.nowMs() / 1000);
    if (archive.empty() || store_.writeFile(kLogArchiveName, archive.data(), archive.size()) != 0)
        s_.errorStatus = StatusWrite;
}

void UpgradeDeviceProtocol::readData(uint8_t* packet, uint16_t size)
{
    std::memset(packet, 0, size);
    if (size < kHeaderSize) return;
    const uint32_t cap = size - kHeaderSize;
    uint8_t* payload = packet + kHeaderSize;
    auto put = [&](uint8_t type, uint32_t offset, uint32_t total, uint32_t length) {
        packet[0] = type;
        put32(packet + 1, offset);
        put32(packet + 5, total);
        put32(packet + 9, length);
    };
    // A camera that never gets ready: only busy packets, whatever it was
    // asked (or only for one command).
    const long busyCommand = store_.configNumber("endless_busy_command", 0);
    if (store_.configNumber("endless_busy", 0) != 0 && (busyCommand == 0 || busyCommand == s_.command))
        return put(PktBusy, 0, 0, 0);

    switch (s_.phase) {
    case UpgradeDeviceState::SendRecord: {
        if (!s_.descriptorSent) {
            uint8_t descriptor[8];
            put32(descriptor, s_.recordLength);
            uint32_t crc = static_cast<uint32_t>(crc32(0L, s_.record, s_.recordLength));
            if (store_.configNumber("bad_crc", 0)) crc ^= 0xFFFFFFFFu;
            put32(descriptor + 4, crc);
            const uint32_t n = cap < 8 ? cap : 8;
            std::memcpy(payload, descriptor, n);
            put(PktData, 0, s_.recordLength, n);
            s_.descriptorSent = 1;
            return;
        }
        if (s_.busyPending) {
            --s_.busyPending;
            return put(PktBusy, 0, 0, 0);
        }
        if (s_.recordSent >= s_.recordLength) return put(PktEnd, 0, 0, 0);
        const uint32_t n = std::min(cap, s_.recordLength - s_.recordSent);
        std::memcpy(payload, s_.record + s_.recordSent, n);
        put(PktData, s_.recordSent, s_.recordLength, n);
        s_.recordSent += n;
        return;
    }
    case UpgradeDeviceState::SendFileInfo: {
        if (s_.busyPending) {
            --s_.busyPending;
            return put(PktBusy, 0, 0, 0);
        }
        const uint32_t n = std::min(cap, kInfoSize - s_.infoCount);
        std::memcpy(payload, s_.info + s_.infoCount, n);
        put(PktData, s_.infoCount, kInfoSize, n);
        s_.infoCount += n;
        if (s_.infoCount == kInfoSize) s_.phase = UpgradeDeviceState::SendFileData;
        return;
    }
    case UpgradeDeviceState::SendFileData: {
        if (s_.fileCount >= s_.fileSize) return put(PktEnd, 0, 0, 0);
        const uint32_t n = std::min(cap, s_.fileSize - s_.fileCount);
        size_t got = 0;
        if (store_.readFile(s_.fileName, s_.fileCount, payload, n, got) != 0 || got != n) {
            std::memset(payload, 0, cap);
            fail(StatusFopen);
            return put(PktError, 0, 0, 0);
        }
        put(PktData, s_.fileCount, s_.fileSize, n);
        s_.fileCount += n;
        return;
    }
    case UpgradeDeviceState::Failed: return put(PktError, 0, 0, 0);
    default: return put(PktEnd, 0, 0, 0); // nothing (more) to send

    }
}

void UpgradeDeviceProtocol::readFlashProgress(uint8_t* record)
{
    std::memset(record, 0, 14);
    // No flash job: status 0, which no host takes for a reason to wait.
    if (s_.phase != UpgradeDeviceState::Flashing) return;
    const long pollMs = store_.configNumber("flash_poll_ms", 0);
    put32(record + 2, static_cast<uint32_t>(pollMs > 0 ? pollMs : kDefaultPollMs));
    // A faulty camera: any 32-bit poll interval as it is, up to 0xFFFFFFFF.
    const long faultyPollMs = store_.configNumber("flash_poll_fault_ms", -1);
    if (faultyPollMs >= 0) put32(record + 2, static_cast<uint32_t>(faultyPollMs));
    const uint64_t now = store_.nowMs();
    const long slowMs = store_.configNumber("slow_flash_ms", 0);
    uint8_t status = FlashProgressing;
    if (!s_.flashStarted) {
        // The first answer comes while the flash is being erased.
        s_.flashStarted = 1;
        s_.flashLastStepMs = now;
        status = FlashWait;
    } else if (slowMs > 0 && now - s_.flashLastStepMs < static_cast<uint64_t>(slowMs)) {
        status = s_.flashWritten ? FlashProgressing : FlashWait;
    } else {
        s_.flashLastStepMs = now;
        const uint32_t step = s_.flashTotal / kFlashSteps + 1;
        s_.flashWritten = s_.flashTotal - s_.flashWritten > step ? s_.flashWritten + step : s_.flashTotal;
        if (store_.configNumber("flash_fail", 0) && uint64_t(s_.flashWritten) * 2 >= s_.flashTotal) {
            status = FlashFail;
            s_.pendingFirmwareSet = 0;
            fail(StatusWrite);
        } else if (s_.flashWritten >= s_.flashTotal) {
            status = static_cast<uint8_t>(store_.configNumber("flash_end_status", FlashComplete));
            s_.phase = UpgradeDeviceState::Received;
            if (status == FlashComplete) store_.requestReboot();
            else s_.pendingFirmwareSet = 0;
        }
    }
    record[1] = status;
    put32(record + 6, s_.flashWritten);
    put32(record + 10, s_.flashTotal);
}

void UpgradeDeviceProtocol::rebootCompleted()
{
    if (s_.pendingFirmwareSet) store_.setFirmwareVersion(s_.pendingFirmware);
    s_ = UpgradeDeviceState{};
    s_.magic = UpgradeDeviceState::kMagic;
}

} // namespace vorq::simcam

#include "upgrade/UpgradeDeviceSimStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "model/SimCameraModel.h"
#include "simcam/SimFd.h"
#include "simcam/SimStateStore.h"
#include "units/SimUnitContext.h"

namespace vorq::simcam {

namespace {

template <size_t N>
std::string text(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

template <size_t N>
int putText(char (&field)[N], const std::string& value)
{
    if (value.size() >= N) return EINVAL;
    std::memset(field, 0, N);
    std::memcpy(field, value.data(), value.size());
    return 0;
}

} // namespace

UpgradeDeviceSimStore::UpgradeDeviceSimStore(SimUnitContext& context) : context_(context) {}

std::string UpgradeDeviceSimStore::firmwareVersion() { return text(context_.camera().firmwareVersion); }

// The record is written directly: the caller already holds the state lock.
int UpgradeDeviceSimStore::setFirmwareVersion(const std::string& version)
{
    return putText(context_.camera().firmwareVersion, version);
}

std::string UpgradeDeviceSimStore::modelText() { return text(context_.camera().modelText); }

std::string UpgradeDeviceSimStore::serialNumber() { return text(context_.camera().serial); }

int UpgradeDeviceSimStore::setSerialNumber(const std::string& serial)
{
    return putText(context_.camera().serial, serial);
}

uint16_t UpgradeDeviceSimStore::vendorId()
{
    return SimCameraModel::instance().identity(context_.camera(), context_.config(), context_.cameraIndex()).vendorId;
}

uint16_t UpgradeDeviceSimStore::productId()
{
    return SimCameraModel::instance().identity(context_.camera(), context_.config(), context_.cameraIndex()).productId;
}

bool UpgradeDeviceSimStore::validFileName(const std::string& name) { return SimStateStore::validBlobName(name); }

int UpgradeDeviceSimStore::fileSize(const std::string& name, uint64_t& size)
{
    return context_.store().blobSize(name, size);
}

int UpgradeDeviceSimStore::readFile(const std::string& name, uint64_t offset, uint8_t* data, size_t size, size_t& got)
{
    got = 0;
    const std::string path = context_.store().blobPath(name);
    if (path.empty()) return EINVAL;
    SimFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno;
    while (got < size) {
        const ssize_t n = ::pread(fd.get(), data + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return 0;
}

int UpgradeDeviceSimStore::writeFile(const std::string& name, const uint8_t* data, size_t size)
{
    static const uint8_t nothing = 0;
    return context_.store().writeBlob(name, data ? data : &nothing, size);
}

int UpgradeDeviceSimStore::appendFile(const std::string& name, const uint8_t* data, size_t size)
{
    return context_.store().appendBlob(name, data, size);
}

int UpgradeDeviceSimStore::renameFile(const std::string& from, const std::string& to)
{
    const std::string source = context_.store().blobPath(from);
    const std::string target = context_.store().blobPath(to);
    if (source.empty() || target.empty()) return EINVAL;
    return ::rename(source.c_str(), target.c_str()) == 0 ? 0 : errno;
}

int UpgradeDeviceSimStore::removeFile(const std::string& name) { return context_.store().removeBlob(name); }

long UpgradeDeviceSimStore::configNumber(const char* key, long defaultValue)
{
    // The keys sim.conf already knows come parsed and checked.
    const SimCameraConfig& camera = context_.config();
    const std::string name = key;
    if (name == "error_status") return camera.errorStatus;
    if (name == "endless_busy") return camera.endlessBusy ? 1 : 0;
    if (name == "short_reads") return camera.shortReads ? 1 : 0;
    if (name == "slow_flash_ms") return camera.slowFlashMs;
    if (name == "flash_poll_ms") return camera.flashPollMs;
    std::string value;
    if (!context_.fullConfig().lookup(name, context_.cameraIndex(), value)) return defaultValue;
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(value.c_str(), &end, 0);
    if (end == value.c_str() || *end != '\0' || errno != 0) return defaultValue;
    return number;
}

std::string UpgradeDeviceSimStore::configText(const char* key)
{
    std::string value;
    context_.fullConfig().lookup(key, context_.cameraIndex(), value);
    return value;
}

uint32_t UpgradeDeviceSimStore::packageSize() { return static_cast<uint32_t>(context_.config().packageSize); }

uint8_t* UpgradeDeviceSimStore::protocolState(size_t& size)
{
    size = kSimUnitReservedBytes;
    return context_.camera().unitReserved;
}

uint64_t UpgradeDeviceSimStore::nowMs()
{
    // Every process that serves this camera reads the same clock.
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

void UpgradeDeviceSimStore::requestReboot() { context_.scheduleReboot(); }

} // namespace vorq::simcam

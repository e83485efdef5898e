#include "simcam/SimStateStore.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "model/SimCameraModel.h"
#include "state/SimStateLock.h"

namespace vorq::simcam {

namespace {

constexpr size_t kMaxConfigBytes = 64 * 1024;
constexpr size_t kMaxBlobName = 200;

// Counts fork()s into a child, so a store notices that it runs in a new
// process and takes its own lock file description.
std::atomic<uint64_t> forkEpoch{0};
void onForkChild() { forkEpoch.fetch_add(1, std::memory_order_relaxed); }
void watchForks()
{
    static std::once_flag once;
    std::call_once(once, [] { pthread_atfork(nullptr, nullptr, onForkChild); });
}

const char kConfigTemplate[] =
    "# Simulated camera: key=value lines; camN.key applies to camera N only.\n"
    "# cameras=1            number of cameras (1..4)\n"
    "# reboot_ms=3000       how long a rebooting camera is gone\n"
    "# busy=1               the camera is held by another program\n"
    "# unplugged=1          the camera is not plugged in\n"
    "# unplug_after=N       the camera vanishes after N further transfers\n"
    "# error_status=N       what the upgrade unit's error-status control answers\n"
    "# endless_busy=1       the upgrade unit's data control answers only busy packets\n"
    "# short_reads=1        reads of the upgrade unit's data control fail with EIO\n"
    "# slow_flash_ms=N      flash writing takes this long\n"
    "# flash_poll_ms=N      flash progress advances at this interval\n"
    "# package_size=3085    length of the upgrade unit's data control\n";

int64_t realtimeNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int openFile(const std::string& path, int flags, mode_t mode = 0600)
{
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int writeAll(int fd, const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

int readAll(int fd, std::vector<uint8_t>& out, size_t limit)
{
    out.clear();
    uint8_t chunk[16384];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        size_t take = std::min(static_cast<size_t>(n), limit - std::min(limit, out.size()));
        out.insert(out.end(), chunk, chunk + take);
        if (out.size() >= limit) return 0;
    }
}

// Writes a file aside and renames it into place, so readers see the old or
// the new content and never a mixture.
int replaceFile(const std::string& path, const void* data, size_t size)
{
    static std::atomic<unsigned> counter{0};
    size_t slash = path.rfind('/');
    std::string temp = path.substr(0, slash + 1) + ".tmp-" + std::to_string(getpid()) + "-" +
                       std::to_string(counter.fetch_add(1)) + "-" + path.substr(slash + 1);
    SimFd fd(openFile(temp, O_WRONLY | O_CREAT | O_EXCL));
    if (!fd) return errno;
    int err = writeAll(fd.get(), data, size);
    fd.reset();
    if (!err && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err) ::unlink(temp.c_str());
    return err;
}

int makeDirectories(const std::string& path)
{
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        size_t next = path.find('/', pos + 1);
        partial = path.substr(0, next);
        pos = next;
        if (partial.empty() || partial == "/") continue;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

std::string defaultDirectory()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string base = runtime && *runtime ? runtime : "/tmp";
    return base + "/vorq-sim-" + std::to_string(getuid());
}

bool validConfigKey(const std::string& key)
{
    if (key.empty() || key.size() > 100) return false;
    for (char c : key)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-')) return false;
    return true;
}

bool validConfigValue(const std::string& value)
{
    if (value.size() > 1000) return false;
    for (char c : value)
        if (c == '\n' || c == '\r' || c == '#' || c == '\0') return false;
    return true;
}

std::string lineKey(const std::string& line)
{
    std::string body = line.substr(0, line.find('#'));
    size_t eq = body.find('=');
    if (eq == std::string::npos) return {};
    std::string key = body.substr(0, eq);
    size_t first = key.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    size_t last = key.find_last_not_of(" \t\r");
    return key.substr(first, last - first + 1);
}

// The file without the lines of `key`, with "key=value" where the first of
// them stood (or at the end) unless value is null.
std::string editConfigText(const std::string& text, const std::string& key, const std::string* value)
{
    std::string out;
    bool placed = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        if (lineKey(line) == key) {
            if (value && !placed) out += key + "=" + *value + "\n";
            placed = true;
            continue;
        }
        out += line + "\n";
    }
    if (value && !placed) out += key + "=" + *value + "\n";
    return out;
}

bool endsWith(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void printDiagnostics(const std::string& directory, const std::string& lines)
{
    size_t pos = 0;
    while (pos < lines.size()) {
        size_t end = lines.find('\n', pos);
        if (end == std::string::npos) end = lines.size();
        std::fprintf(stderr, "vorq-sim: %s/%s\n", directory.c_str(), lines.substr(pos, end - pos).c_str());
        pos = end + 1;
    }
}

} // namespace

SimStateStore::SimStateStore(std::string directory)
    : directory_(std::move(directory)),
      configPath_(directory_ + "/sim.conf"),
      statePath_(directory_ + "/state"),
      lockPath_(directory_ + "/lock"),
      blobDirectory_(directory_ + "/files")
{
}

SimStateStore::~SimStateStore() = default;

std::string SimStateStore::directoryFor(const std::string& vorqSim)
{
    if (vorqSim.empty() || vorqSim == "0") return {};
    if (vorqSim == "1") return defaultDirectory();
    return vorqSim;
}

std::shared_ptr<SimStateStore> SimStateStore::open(const std::string& directory, int* error)
{
    auto fail = [&](int err, const char* what) -> std::shared_ptr<SimStateStore> {
        std::fprintf(stderr, "vorq-sim: %s %s: %s\n", what, directory.c_str(), std::strerror(err));
        if (error) *error = err;
        return nullptr;
    };
    if (error) *error = 0;
    if (directory.empty()) return fail(EINVAL, "no state directory given");
    watchForks();
    if (int err = makeDirectories(directory)) return fail(err, "cannot create the state directory");
    if (directory == defaultDirectory()) {
        // The default lives in a shared place like /tmp: only a directory of
        // our own is trusted, never one another user prepared.
        struct stat st {};
        if (::lstat(directory.c_str(), &st) != 0) return fail(errno, "cannot inspect the state directory");
        if (!S_ISDIR(st.st_mode) || st.st_uid != getuid())
            return fail(EPERM, "refusing a state directory that is not our own:");
    }
    std::shared_ptr<SimStateStore> store(new SimStateStore(directory));
    if (int err = store->initialise()) return fail(err, "cannot open the state in");
    return store;
}

int SimStateStore::initialise()
{
    lockFd_.reset(openFile(lockPath_, O_RDWR | O_CREAT));
    if (!lockFd_) return errno;
    lockForkEpoch_ = forkEpoch.load(std::memory_order_relaxed);
    if (::mkdir(blobDirectory_.c_str(), 0700) != 0 && errno != EEXIST) return errno;

    SimStateLock lock(*this);
    if (lock.status()) return lock.status();
    // sim.conf starts as a commented list of what can be set.
    SimFd conf(openFile(configPath_, O_WRONLY | O_CREAT | O_EXCL, 0644));
    if (conf) writeAll(conf.get(), kConfigTemplate, sizeof kConfigTemplate - 1);
    return 0;
}

int SimStateStore::lockDescriptor()
{
    uint64_t epoch = forkEpoch.load(std::memory_order_relaxed);
    if (epoch != lockForkEpoch_ || !lockFd_) {
        // flock() belongs to the open file description, which a forked child
        // shares with its parent: the child needs one of its own to be
        // excluded by (and to exclude) the parent.
        lockFd_.reset(openFile(lockPath_, O_RDWR | O_CREAT));
        lockForkEpoch_ = epoch;
    }
    return lockFd_.get();
}

int SimStateStore::mapStateFile()
{
    mapping_.reset();
    state_ = nullptr;
    stateFd_.reset(openFile(statePath_, O_RDWR | O_CREAT));
    if (!stateFd_) return errno;
    struct stat st {};
    if (::fstat(stateFd_.get(), &st) != 0) return errno;
    const bool fresh = st.st_size == 0;
    const bool rightSize = st.st_size == static_cast<off_t>(sizeof(SimStateFile));
    if (!rightSize && ::ftruncate(stateFd_.get(), sizeof(SimStateFile)) != 0) return errno;
    void* address = ::mmap(nullptr, sizeof(SimStateFile), PROT_READ | PROT_WRITE, MAP_SHARED, stateFd_.get(), 0);
    if (address == MAP_FAILED) return errno;
    mapping_ = SimMapping(address, sizeof(SimStateFile));
    state_ = static_cast<SimStateFile*>(address);

    if (fresh) {
        resetStateLocked({});
        return 0;
    }
    if (!rightSize) {
        resetStateLocked("is " + std::to_string(st.st_size) + " bytes long instead of " +
                         std::to_string(sizeof(SimStateFile)));
        return 0;
    }
    const SimStateHeader& h = state_->header;
    if (std::memcmp(h.magic, kSimStateMagic, sizeof h.magic) != 0 || h.layoutVersion != kSimLayoutVersion ||
        h.headerSize != sizeof(SimStateHeader) || h.recordSize != sizeof(SimCameraRecord) ||
        h.cameraSlots != kSimMaxCameras) {
        resetStateLocked("has an unknown header");
        return 0;
    }
    const SimCameraModel& model = SimCameraModel::instance();
    bool repaired = false;
    for (int i = 0; i < kSimMaxCameras; ++i) repaired = model.repairRecord(state_->cameras[i], i) || repaired;
    if (repaired)
        std::fprintf(stderr, "vorq-sim: state file %s held invalid values; they were reset to their defaults\n",
                     statePath_.c_str());
    return 0;
}

int SimStateStore::validateLocked()
{
    if (!state_) return mapStateFile();
    struct stat st {};
    if (::fstat(stateFd_.get(), &st) != 0) return errno;
    // Deleted or replaced behind our back: follow the file that is there now.
    if (st.st_nlink == 0) return mapStateFile();
    if (st.st_size != static_cast<off_t>(sizeof(SimStateFile))) {
        // Touching the mapping beyond a shortened file would fault: restore
        // the size first.
        if (::ftruncate(stateFd_.get(), sizeof(SimStateFile)) != 0) return errno;
        resetStateLocked("was truncated to " + std::to_string(st.st_size) + " bytes");
        return 0;
    }
    const SimStateHeader& h = state_->header;
    if (std::memcmp(h.magic, kSimStateMagic, sizeof h.magic) != 0 || h.layoutVersion != kSimLayoutVersion ||
        h.headerSize != sizeof(SimStateHeader) || h.recordSize != sizeof(SimCameraRecord) ||
        h.cameraSlots != kSimMaxCameras)
        resetStateLocked("was overwritten");
    return 0;
}

void SimStateStore::resetStateLocked(const std::string& reason)
{
    if (!reason.empty())
        std::fprintf(stderr, "vorq-sim: state file %s %s; re-initialised with the defaults\n", statePath_.c_str(),
                     reason.c_str());
    std::memset(state_, 0, sizeof(SimStateFile));
    SimStateHeader& h = state_->header;
    std::memcpy(h.magic, kSimStateMagic, sizeof h.magic);
    h.layoutVersion = kSimLayoutVersion;
    h.headerSize = sizeof(SimStateHeader);
    h.recordSize = sizeof(SimCameraRecord);
    h.cameraSlots = kSimMaxCameras;
    h.generation = static_cast<uint64_t>(realtimeNs());
    h.configGeneration = h.generation;
    const SimCameraModel& model = SimCameraModel::instance();
    for (int i = 0; i < kSimMaxCameras; ++i) model.initialiseRecord(state_->cameras[i], i);
}

std::string SimStateStore::readConfigText() const
{
    // A symlinked sim.conf is fine to read (only writes stay inside the directory).
    SimFd fd(::open(configPath_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return {};
    std::vector<uint8_t> bytes;
    readAll(fd.get(), bytes, kMaxConfigBytes);
    return std::string(bytes.begin(), bytes.end());
}

const SimConfig& SimStateStore::refreshConfigLocked()
{
    // One stat() per transfer: sim.conf is parsed again only when it changed.
    ConfigStamp stamp;
    struct stat st {};
    if (::stat(configPath_.c_str(), &st) == 0) {
        stamp.exists = true;
        stamp.inode = st.st_ino;
        stamp.size = static_cast<uint64_t>(st.st_size);
        stamp.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        stamp.ctimeNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    }
    stamp.generation = state_ ? state_->header.configGeneration : 0;
    if (configLoaded_ && stamp == configStamp_) return config_;

    std::string diagnostics;
    std::string text = stamp.exists ? readConfigText() : std::string();
    if (text.size() >= kMaxConfigBytes) diagnostics += "sim.conf: longer than 64 KiB; the rest is ignored\n";
    config_ = SimConfig::parse(text, &diagnostics);
    printDiagnostics(directory_, diagnostics);
    configStamp_ = stamp;
    configLoaded_ = true;
    return config_;
}

int SimStateStore::writeConfigLocked(const std::string& text)
{
    if (int err = replaceFile(configPath_, text.data(), text.size())) return err;
    ++state_->header.configGeneration;
    return 0;
}

int SimStateStore::setConfig(const std::string& key, const std::string& value)
{
    if (!validConfigKey(key) || !validConfigValue(value)) return EINVAL;
    SimStateLock lock(*this);
    if (lock.status()) return lock.status();
    if (int err = writeConfigLocked(editConfigText(readConfigText(), key, &value))) return err;
    // Writing unplug_after starts a new countdown even when the value is the
    // same as before.
    if (key == "unplug_after" || endsWith(key, ".unplug_after"))
        for (auto& camera : state_->cameras) camera.unplugAfterArmed = kSimUnplugRearm;
    return 0;
}

int SimStateStore::clearConfig(const std::string& key)
{
    if (!validConfigKey(key)) return EINVAL;
    SimStateLock lock(*this);
    if (lock.status()) return lock.status();
    return writeConfigLocked(editConfigText(readConfigText(), key, nullptr));
}

int SimStateStore::replaceConfig(const std::string& text)
{
    if (text.size() >= kMaxConfigBytes) return EINVAL;
    SimStateLock lock(*this);
    if (lock.status()) return lock.status();
    if (int err = writeConfigLocked(text)) return err;
    for (auto& camera : state_->cameras) camera.unplugAfterArmed = kSimUnplugRearm;
    return 0;
}

SimConfig SimStateStore::config()
{
    SimStateLock lock(*this);
    return lock.config();
}

int SimStateStore::reboot(int camera)
{
    SimStateLock lock(*this);
    if (lock.status()) return lock.status();
    SimCameraRecord* record = lock.camera(camera);
    if (!record) return EINVAL;
    SimCameraModel::scheduleReboot(*record, lock.config().camera(camera).rebootMs);
    return 0;
}

bool SimStateStore::isPresent(int camera)
{
    SimStateLock lock(*this);
    return lock.status() == 0 && SimCameraModel::instance().admit(lock, camera, false) == 0;
}

template <size_t N>
std::string SimStateStore::readText(int camera, const char (SimCameraRecord::*field)[N])
{
    SimStateLock lock(*this);
    SimCameraRecord* record = lock.camera(camera);
    if (!record) return {};
    const char* text = record->*field;
    return std::string(text, strnlen(text, N));
}

template <size_t N>
int SimStateStore::writeText(int camera, const std::string& text, char (SimCameraRecord::*field)[N])
{
    if (text.size() >= N || text.find('\0') != std::string::npos) return EINVAL;
    SimStateLock lock(*this);
    if (lock.status()) return lock.status();
    SimCameraRecord* record = lock.camera(camera);
    if (!record) return EINVAL;
    std::memset(record->*field, 0, N);
    std::memcpy(record->*field, text.data(), text.size());
    return 0;
}

std::string SimStateStore::firmwareVersion(int camera) { return readText(camera, &SimCameraRecord::firmwareVersion); }
int SimStateStore::setFirmwareVersion(int camera, const std::string& version)
{
    return writeText(camera, version, &SimCameraRecord::firmwareVersion);
}
std::string SimStateStore::serialNumber(int camera) { return readText(camera, &SimCameraRecord::serial); }
int SimStateStore::setSerialNumber(int camera, const std::string& serial)
{
    return writeText(camera, serial, &SimCameraRecord::serial);
}
std::string SimStateStore::modelText(int camera) { return readText(camera, &SimCameraRecord::modelText); }
int SimStateStore::setModelText(int camera, const std::string& model)
{
    return writeText(camera, model, &SimCameraRecord::modelText);
}

uint64_t SimStateStore::transferCount(int camera)
{
    SimStateLock lock(*this);
    SimCameraRecord* record = lock.camera(camera);
    return record ? record->transferCount : 0;
}

bool SimStateStore::validBlobName(const std::string& name)
{
    if (name.empty() || name.size() > kMaxBlobName || name[0] == '.') return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\') return false;
    return true;
}

std::string SimStateStore::blobPath(const std::string& name) const
{
    return validBlobName(name) ? blobDirectory_ + "/" + name : std::string();
}

int SimStateStore::writeBlob(const std::string& name, const void* data, size_t size)
{
    if (!validBlobName(name) || (!data && size)) return EINVAL;
    return replaceFile(blobPath(name), data, size);
}

int SimStateStore::appendBlob(const std::string& name, const void* data, size_t size)
{
    if (!validBlobName(name) || (!data && size)) return EINVAL;
    SimFd fd(openFile(blobPath(name), O_WRONLY | O_CREAT | O_APPEND));
    if (!fd) return errno;
    return writeAll(fd.get(), data, size);
}

int SimStateStore::readBlob(const std::string& name, std::vector<uint8_t>& data) const
{
    if (!validBlobName(name)) return EINVAL;
    SimFd fd(openFile(blobPath(name), O_RDONLY));
    if (!fd) return errno;
    std::vector<uint8_t> bytes;
    if (int err = readAll(fd.get(), bytes, SIZE_MAX)) return err;
    data = std::move(bytes);
    return 0;
}

int SimStateStore::blobSize(const std::string& name, uint64_t& size) const
{
    if (!validBlobName(name)) return EINVAL;
    struct stat st {};
    if (::lstat(blobPath(name).c_str(), &st) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    size = static_cast<uint64_t>(st.st_size);
    return 0;
}

int SimStateStore::removeBlob(const std::string& name)
{
    if (!validBlobName(name)) return EINVAL;
    return ::unlink(blobPath(name).c_str()) == 0 ? 0 : errno;
}

} // namespace vorq::simcam

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "simcam/SimConfig.h"
#include "simcam/SimFd.h"
#include "simcam/SimMapping.h"
#include "simcam/SimStateLayout.h"

namespace vorq::simcam {

// The simulator's state directory, shared by every process that simulates
// the same cameras:
//   lock      flock()ed around every access (a crashed holder frees it)
//   state     the fixed-layout SimStateFile, mapped shared
//   sim.conf  key=value settings and faults, re-read when it changes
//   files/    blobs: stored files, the log archive, a file being received
// Results are 0 or an errno. Everything that touches the state takes the
// lock (SimStateLock); blob operations are atomic file operations and do not.
class SimStateStore {
public:
    // Opens (creating on first use) the state directory. Null on failure,
    // with a diagnostic on stderr and the errno in *error.
    static std::shared_ptr<SimStateStore> open(const std::string& directory, int* error = nullptr);
    // The state directory that a VORQ_SIM value names: "1" the per-user
    // default, "0" or "" none (empty result), anything else the path itself.
    static std::string directoryFor(const std::string& vorqSim);

    SimStateStore(const SimStateStore&) = delete;
    SimStateStore& operator=(const SimStateStore&) = delete;
    ~SimStateStore();

    const std::string& directory() const { return directory_; }
    const std::string& configPath() const { return configPath_; }
    const std::string& statePath() const { return statePath_; }

    // --- sim.conf -----------------------------------------------------------
    // Sets (or adds) one key=value line, keeping the rest of the file.
    int setConfig(const std::string& key, const std::string& value);
    int clearConfig(const std::string& key);
    // Replaces the whole file.
    int replaceConfig(const std::string& text);
    // The configuration in force now.
    SimConfig config();

    // --- camera state ---------------------------------------------------------
    // Starts a reboot: the camera is gone for reboot_ms.
    int reboot(int camera);
    bool isPresent(int camera);
    std::string firmwareVersion(int camera);
    int setFirmwareVersion(int camera, const std::string& version);
    std::string serialNumber(int camera);
    int setSerialNumber(int camera, const std::string& serial);
    std::string modelText(int camera);
    int setModelText(int camera, const std::string& model);
    uint64_t transferCount(int camera);

    // --- blobs in files/ ---------------------------------------------------------
    // Names are single file names: no '/', no control characters, not
    // starting with '.', at most 200 bytes. Anything else is EINVAL.
    static bool validBlobName(const std::string& name);
    std::string blobPath(const std::string& name) const; // "" for an invalid name
    // Readers never see a half-written blob: it is written aside and renamed.
    int writeBlob(const std::string& name, const void* data, size_t size);
    int writeBlob(const std::string& name, const std::vector<uint8_t>& data)
    {
        return writeBlob(name, data.data(), data.size());
    }
    int appendBlob(const std::string& name, const void* data, size_t size);
    int readBlob(const std::string& name, std::vector<uint8_t>& data) const;
    int blobSize(const std::string& name, uint64_t& size) const;
    // Removing a blob that does not exist is ENOENT.
    int removeBlob(const std::string& name);

private:
    friend class SimStateLock;

    explicit SimStateStore(std::string directory);
    int initialise();
    // The lock file descriptor of this process (a forked child opens its own,
    // since flock() does not exclude holders of one open file).
    int lockDescriptor();
    // With the lock held: checks the mapped file and re-initialises it when
    // it is damaged. 0 or an errno.
    int validateLocked();
    int mapStateFile();
    void resetStateLocked(const std::string& reason);
    const SimConfig& refreshConfigLocked();
    int writeConfigLocked(const std::string& text);
    std::string readConfigText() const;
    template <size_t N>
    int writeText(int camera, const std::string& text, char (SimCameraRecord::*field)[N]);
    template <size_t N>
    std::string readText(int camera, const char (SimCameraRecord::*field)[N]);

    struct ConfigStamp {
        bool exists = false;
        uint64_t inode = 0, size = 0;
        int64_t mtimeNs = 0, ctimeNs = 0;
        uint64_t generation = 0;
        bool operator==(const ConfigStamp& o) const
        {
            return exists == o.exists && inode == o.inode && size == o.size && mtimeNs == o.mtimeNs &&
                   ctimeNs == o.ctimeNs && generation == o.generation;
        }
    };

    const std::string directory_;
    const std::string configPath_;
    const std::string statePath_;
    const std::string lockPath_;
    const std::string blobDirectory_;
    std::mutex mutex_;
    SimFd lockFd_;
    uint64_t lockForkEpoch_ = 0;
    SimFd stateFd_;
    SimMapping mapping_;
    SimStateFile* state_ = nullptr;
    SimConfig config_;
    ConfigStamp configStamp_;
    bool configLoaded_ = false;
};

} // namespace vorq::simcam

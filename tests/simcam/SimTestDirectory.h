#pragma once

#include <ftw.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "sim/SimBackend.h"

// A state directory of the test's own, removed with everything in it.
class SimTestDirectory {
public:
    SimTestDirectory()
    {
        char pattern[] = "/tmp/vorq-sim-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made ? made : "";
    }
    ~SimTestDirectory()
    {
        if (!path_.empty())
            nftw(path_.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 16,
                 FTW_DEPTH | FTW_PHYS);
    }
    SimTestDirectory(const SimTestDirectory&) = delete;
    SimTestDirectory& operator=(const SimTestDirectory&) = delete;

    const std::string& path() const { return path_; }
    vorq::platform::DeviceList cameras() const { return vorq::platform::enumerateSimCameras(path_); }

private:
    std::string path_;
};

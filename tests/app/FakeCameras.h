#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/UvcDevice.h"

// Stands in for the system's device walk while it lives: the cameras it
// lists are whatever the test set last. Simulated cameras capture a lavfi
// test picture and tone, so the media engine really runs.
class FakeCameras {
public:
    struct Camera {
        std::string card = "TELDORA TX42";
        uint16_t vendorId = 0x9f2b;
        bool usb = true;
        std::string busPath = "1-4";
        bool busy = false;
    };

    FakeCameras();
    ~FakeCameras();
    FakeCameras(const FakeCameras&) = delete;
    FakeCameras& operator=(const FakeCameras&) = delete;

    void set(std::vector<Camera> cameras);

    static Camera teldora(const std::string& busPath = "1-4");

    // The device name the program sees for `camera`.
    static std::string deviceNameOf(const Camera& camera);

private:
    static vorq::platform::UvcIdentity identityOf(const Camera& camera);

    std::mutex mutex_;
    std::vector<Camera> cameras_;
};

#pragma once

#include <memory>
#include <string>
#include <vector>

#include "EmulatedCamera.h"
#include "V4l2Node.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace vorq::emucam {

// A umockdev testbed holding emulated cameras as uvcvideo would show them:
// the USB device and its interfaces with their attributes, and per video
// function one capture node per streaming interface plus a metadata node.
class EmulatedTestbed {
public:
    EmulatedTestbed();
    ~EmulatedTestbed();
    EmulatedTestbed(const EmulatedTestbed&) = delete;
    EmulatedTestbed& operator=(const EmulatedTestbed&) = delete;

    // Loads a descriptors file and its optional profile file ("" for none)
    // and plugs the camera in. False with a reason otherwise.
    bool addCamera(const std::string& descriptorsPath, const std::string& profilePath, std::string& error);

    // The environment a program needs to see the testbed (UMOCKDEV_DIR and
    // LD_PRELOAD with umockdev's and our preload library).
    std::string rootDir() const;

    // Every camera off the bus, and back with new device numbers.
    void unplugAll();
    bool replugAll(std::string& error);

    std::size_t nodeCount() const;

private:
    struct Slot {
        std::unique_ptr<EmulatedCamera> camera;
        std::vector<std::unique_ptr<V4l2Node>> nodes;
        std::string usbPath;
        std::vector<std::string> childPaths; // interfaces and nodes, in the order added
        int port = 0;
        int deviceNumber = 0;
        int firstNode = 0;
        bool attached = false;
    };
    bool plug(Slot& slot, std::string& error);

    UMockdevTestbed* testbed_ = nullptr;
    std::vector<Slot> slots_;
    int nextNode_ = 0;
    int nextDeviceNumber_ = 2;
};

} // namespace vorq::emucam

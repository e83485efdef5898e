#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/UvcDevice.h"
#include "v4l2/KernelSeam.h"

// Device nodes answered from tables and every call recorded; sysfs stays the
// real filesystem below the fixture root.
class FakeKernel : public vorq::platform::KernelSeam {
public:
    struct Node {
        uint32_t capabilities = 0;
        uint32_t deviceCaps = 0;
        std::string card;
        std::string driver = "uvcvideo";
        int openErrno = 0;
        std::vector<vorq::platform::CaptureMode> modes{}; // answered by ENUM_FMT and friends
    };
    struct XuCall {
        int fd;
        uint8_t unit, selector, query;
        uint16_t size;
        const uint8_t* data;
        std::vector<uint8_t> sent;
    };
    struct ControlCall {
        unsigned long request;
        uint32_t id;
        int32_t value;
    };

    explicit FakeKernel(std::string root) : KernelSeam(std::move(root)) {}

    int open(const std::string& path, int flags) override;
    int ioctl(int fd, unsigned long request, void* arg) override;
    int close(int fd) override;

    std::map<std::string, Node> nodes;
    std::vector<uint8_t> xuReply;          // copied into the buffer of GET queries
    int xuErrno = 0;
    std::map<uint32_t, int32_t> controls;  // unknown ids answer EINVAL
    // Optional per control: its range (else -64..64 step 2 around the value),
    // the menu items it has, an errno G_CTRL/S_CTRL answer.
    std::map<uint32_t, vorq::platform::ControlRange> ranges;
    std::map<uint32_t, std::vector<uint32_t>> menus;
    std::map<uint32_t, int> controlErrno;

    std::vector<std::string> opened;
    std::vector<int> closed;
    std::map<int, std::string> openFds;
    std::vector<XuCall> xuCalls;
    std::vector<ControlCall> controlCalls;

private:
    int enumerate(const Node& node, unsigned long request, void* arg) const;
    int nextFd_ = 100;
};

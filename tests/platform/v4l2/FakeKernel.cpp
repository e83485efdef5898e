#include "FakeKernel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>

int FakeKernel::open(const std::string& path, int)
{
    opened.push_back(path);
    auto it = nodes.find(path);
    if (it == nodes.end()) return -ENOENT;
    if (it->second.openErrno) return -it->second.openErrno;
    openFds[nextFd_] = path;
    return nextFd_++;
}

int FakeKernel::close(int fd)
{
    closed.push_back(fd);
    return openFds.erase(fd) ? 0 : EBADF;
}

int FakeKernel::ioctl(int fd, unsigned long request, void* arg)
{
    auto open = openFds.find(fd);
    if (open == openFds.end()) return EBADF;
    const Node& node = nodes[open->second];

    if (request == VIDIOC_QUERYCAP) {
        auto* cap = static_cast<v4l2_capability*>(arg);
        std::strncpy(reinterpret_cast<char*>(cap->card), node.card.c_str(), sizeof cap->card - 1);
        std::strncpy(reinterpret_cast<char*>(cap->driver), node.driver.c_str(), sizeof cap->driver - 1);
        cap->capabilities = node.capabilities;
        cap->device_caps = node.deviceCaps;
        return 0;
    }
    if (request == UVCIOC_CTRL_QUERY) {
        auto* q = static_cast<uvc_xu_control_query*>(arg);
        XuCall call{fd, q->unit, q->selector, q->query, q->size, q->data, {}};
        if (q->data) call.sent.assign(q->data, q->data + q->size);
        xuCalls.push_back(call);
        if (xuErrno) return xuErrno;
        if ((q->query & 0x80) && q->data && !xuReply.empty())
            std::memcpy(q->data, xuReply.data(), std::min<std::size_t>(q->size, xuReply.size()));
        return 0;
    }

    const bool query = request == VIDIOC_QUERYCTRL;
    if (!query && request != VIDIOC_G_CTRL && request != VIDIOC_S_CTRL) return ENOTTY;
    auto* q = static_cast<v4l2_queryctrl*>(arg);
    auto* c = static_cast<v4l2_control*>(arg);
    const uint32_t id = query ? q->id : c->id;
    controlCalls.push_back({request, id, request == VIDIOC_S_CTRL ? c->value : 0});
    auto control = controls.find(id);
    if (control == controls.end()) return EINVAL;
    if (query) {
        q->minimum = -64;
        q->maximum = 64;
        q->step = 2;
        q->default_value = control->second;
        q->flags = V4L2_CTRL_FLAG_SLIDER;
    } else if (request == VIDIOC_G_CTRL) {
        c->value = control->second;
    } else {
        control->second = c->value;
    }
    return 0;
}

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

    if (request == VIDIOC_ENUM_FMT || request == VIDIOC_ENUM_FRAMESIZES || request == VIDIOC_ENUM_FRAMEINTERVALS)
        return enumerate(node, request, arg);
    if (request == VIDIOC_QUERYMENU) {
        auto* m = static_cast<v4l2_querymenu*>(arg);
        auto items = menus.find(m->id);
        if (items == menus.end()) return EINVAL;
        return std::count(items->second.begin(), items->second.end(), m->index) ? 0 : EINVAL;
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
        if (auto r = ranges.find(id); r != ranges.end()) {
            q->minimum = r->second.minimum;
            q->maximum = r->second.maximum;
            q->step = r->second.step;
            q->default_value = r->second.defaultValue;
            q->flags = r->second.flags;
        }
    } else if (auto e = controlErrno.find(id); e != controlErrno.end()) {
        return e->second;
    } else if (request == VIDIOC_G_CTRL) {
        c->value = control->second;
    } else {
        control->second = c->value;
    }
    return 0;
}

int FakeKernel::enumerate(const Node& node, unsigned long request, void* arg) const
{
    // Formats in the order they first appear, sizes and intervals per format.
    std::vector<uint32_t> formats;
    for (const auto& m : node.modes)
        if (!std::count(formats.begin(), formats.end(), m.fourcc)) formats.push_back(m.fourcc);
    if (request == VIDIOC_ENUM_FMT) {
        auto* f = static_cast<v4l2_fmtdesc*>(arg);
        if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || f->index >= formats.size()) return EINVAL;
        f->pixelformat = formats[f->index];
        f->flags = 0;
        for (const auto& m : node.modes)
            if (m.fourcc == f->pixelformat && m.compressed) f->flags = V4L2_FMT_FLAG_COMPRESSED;
        return 0;
    }
    if (request == VIDIOC_ENUM_FRAMESIZES) {
        auto* s = static_cast<v4l2_frmsizeenum*>(arg);
        uint32_t seen = 0;
        for (const auto& m : node.modes)
            if (m.fourcc == s->pixel_format && seen++ == s->index) {
                s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
                s->discrete.width = static_cast<uint32_t>(m.width);
                s->discrete.height = static_cast<uint32_t>(m.height);
                return 0;
            }
        return EINVAL;
    }
    auto* v = static_cast<v4l2_frmivalenum*>(arg);
    for (const auto& m : node.modes)
        if (m.fourcc == v->pixel_format && uint32_t(m.width) == v->width && uint32_t(m.height) == v->height) {
            if (v->index >= m.frameRates.size()) return EINVAL;
            v->type = V4L2_FRMIVAL_TYPE_DISCRETE;
            v->discrete.numerator = static_cast<uint32_t>(10000000 / m.frameRates[v->index] + 0.5);
            v->discrete.denominator = 10000000;
            return 0;
        }
    return EINVAL;
}

#include "v4l2/V4l2UvcDevice.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>

#include "platform/CaptureModes.h"
#include "v4l2/KernelSeam.h"
#include "v4l2/SysfsCameraWalk.h"

namespace vorq::platform {

namespace {
bool sameCamera(const UvcIdentity& a, const UvcIdentity& b)
{
    return a.usb == b.usb && a.vendorId == b.vendorId && a.productId == b.productId && a.serial == b.serial &&
           a.busPath == b.busPath && a.interfaceNumber == b.interfaceNumber && a.driver == b.driver;
}
} // namespace

V4l2UvcDevice::V4l2UvcDevice(std::shared_ptr<KernelSeam> kernel, std::string nodeName, UvcIdentity identity,
                             std::vector<ExtensionUnit> units)
    : kernel_(std::move(kernel)),
      nodeName_(std::move(nodeName)),
      identity_(std::move(identity)),
      units_(std::move(units))
{
}

V4l2UvcDevice::~V4l2UvcDevice() = default;

int V4l2UvcDevice::node(int& fd)
{
    std::lock_guard<std::mutex> lock(openMutex_);
    if (!fd_.valid()) {
        const int r = kernel_->open(identity_.videoNode, O_RDWR | O_NONBLOCK | O_CLOEXEC);
        // A failed open is not remembered: the next call tries again.
        if (r < 0) return -r;
        fd_ = KernelFd(*kernel_, r);
    }
    fd = fd_.get();
    return 0;
}

int V4l2UvcDevice::xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size)
{
    if (!data && size > 0) return EINVAL;
    // What uvcvideo answers for a selector missing from the unit's bmControls,
    // without a round trip.
    for (const ExtensionUnit& u : units_)
        if (u.unitId == unit && !u.advertises(selector)) return ENOENT;
    int fd = -1;
    if (int r = node(fd)) return r;
    uvc_xu_control_query q{};
    q.unit = unit;
    q.selector = selector;
    q.query = query;
    q.size = size;
    q.data = data;
    return kernel_->ioctl(fd, UVCIOC_CTRL_QUERY, &q);
}

int V4l2UvcDevice::queryControl(uint32_t cid, ControlRange& range)
{
    int fd = -1;
    if (int r = node(fd)) return r;
    v4l2_queryctrl q{};
    q.id = cid;
    if (int r = kernel_->ioctl(fd, VIDIOC_QUERYCTRL, &q)) return r;
    // Asked for one control and the driver answered another (it does that
    // only with the NEXT_CTRL flag, but a wrong range must never pass).
    if (q.id != cid) return EINVAL;
    range.minimum = q.minimum;
    range.maximum = q.maximum;
    range.step = q.step;
    range.defaultValue = q.default_value;
    range.flags = q.flags;
    return 0;
}

int V4l2UvcDevice::getControl(uint32_t cid, int32_t& value)
{
    int fd = -1;
    if (int r = node(fd)) return r;
    v4l2_control c{};
    c.id = cid;
    if (int r = kernel_->ioctl(fd, VIDIOC_G_CTRL, &c)) return r;
    value = c.value;
    return 0;
}

int V4l2UvcDevice::setControl(uint32_t cid, int32_t value)
{
    int fd = -1;
    if (int r = node(fd)) return r;
    v4l2_control c{};
    c.id = cid;
    c.value = value;
    return kernel_->ioctl(fd, VIDIOC_S_CTRL, &c);
}

int V4l2UvcDevice::queryMenu(uint32_t cid, uint32_t index)
{
    int fd = -1;
    if (int r = node(fd)) return r;
    v4l2_querymenu q{};
    q.id = cid;
    q.index = index;
    return kernel_->ioctl(fd, VIDIOC_QUERYMENU, &q);
}

int V4l2UvcDevice::captureModes(std::vector<CaptureMode>& modes)
{
    modes.clear();
    int fd = -1;
    if (int r = node(fd)) return r;
    // Bounded loops: a driver that never answers EINVAL must not hold us.
    constexpr uint32_t kMaxEntries = 256;
    for (uint32_t f = 0; f < kMaxEntries; ++f) {
        v4l2_fmtdesc format{};
        format.index = f;
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (int r = kernel_->ioctl(fd, VIDIOC_ENUM_FMT, &format)) {
            if (r == EINVAL) break;
            return r;
        }
        CaptureMode base;
        base.fourcc = format.pixelformat;
        base.format = CaptureModes::ffmpegFormatName(format.pixelformat);
        base.compressed = (format.flags & V4L2_FMT_FLAG_COMPRESSED) != 0;
        for (const auto& size : frameSizes(fd, format.pixelformat)) {
            CaptureMode mode = base;
            mode.width = static_cast<int>(size.first);
            mode.height = static_cast<int>(size.second);
            mode.frameRates = frameRates(fd, format.pixelformat, size.first, size.second);
            modes.push_back(std::move(mode));
        }
    }
    return 0;
}

std::vector<std::pair<uint32_t, uint32_t>> V4l2UvcDevice::frameSizes(int fd, uint32_t fourcc)
{
    std::vector<std::pair<uint32_t, uint32_t>> sizes;
    for (uint32_t i = 0; i < 256; ++i) {
        v4l2_frmsizeenum s{};
        s.index = i;
        s.pixel_format = fourcc;
        if (kernel_->ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &s)) break;
        if (s.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            sizes.emplace_back(s.discrete.width, s.discrete.height);
            continue;
        }
        // A continuous or stepwise range: its ends are the sizes to offer.
        sizes.emplace_back(s.stepwise.min_width, s.stepwise.min_height);
        sizes.emplace_back(s.stepwise.max_width, s.stepwise.max_height);
        break;
    }
    return sizes;
}

std::vector<double> V4l2UvcDevice::frameRates(int fd, uint32_t fourcc, uint32_t width, uint32_t height)
{
    std::vector<double> rates;
    auto rate = [&rates](const v4l2_fract& interval) {
        if (interval.numerator && interval.denominator)
            rates.push_back(static_cast<double>(interval.denominator) / interval.numerator);
    };
    for (uint32_t i = 0; i < 256; ++i) {
        v4l2_frmivalenum v{};
        v.index = i;
        v.pixel_format = fourcc;
        v.width = width;
        v.height = height;
        if (kernel_->ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &v)) break;
        if (v.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            rate(v.discrete);
            continue;
        }
        rate(v.stepwise.min);
        rate(v.stepwise.max);
        break;
    }
    return rates;
}

std::unique_ptr<UvcDevice> V4l2UvcDevice::reopen() const
{
    // Node numbers are reused after an unplug, so the node must still lead to
    // the same camera; another camera on it would get this one's commands.
    auto again = SysfsCameraWalk(kernel_).probe(nodeName_);
    if (!again || !sameCamera(again->identity(), identity_)) return nullptr;
    return again;
}

} // namespace vorq::platform

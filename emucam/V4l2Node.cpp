#include "V4l2Node.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/version.h>
#include <sys/mman.h>
#include <unistd.h>

#include <umockdev.h>

#include "EmulatedCamera.h"

namespace vorq::emucam {

namespace {
constexpr uint32_t kMaxBuffers = 32; // VIDEO_MAX_FRAME
constexpr uint32_t kMinBuffers = 2;

std::size_t pageAligned(std::size_t n)
{
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return (n + page - 1) / page * page;
}

const char* formatName(uint32_t fourcc)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_MJPEG: return "Motion-JPEG";
    case V4L2_PIX_FMT_YUYV: return "YUYV 4:2:2";
    case V4L2_PIX_FMT_NV12: return "Y/UV 4:2:0";
    case V4L2_PIX_FMT_H264: return "H.264";
    case V4L2_PIX_FMT_UYVY: return "UYVY 4:2:2";
    case V4L2_PIX_FMT_YUV420: return "Planar YUV 4:2:0";
    case V4L2_PIX_FMT_GREY: return "8-bit Greyscale";
    default: return "Unknown";
    }
}

void copyText(uint8_t* field, std::size_t size, const std::string& text)
{
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

template <typename T>
bool fits(UMockdevIoctlData* data)
{
    return data && data->data && static_cast<std::size_t>(data->data_len) >= sizeof(T);
}

// The interval of a frame nearest to the one asked for.
uint32_t nearestInterval(const FrameSize& frame, uint32_t wanted)
{
    if (frame.continuous) {
        const uint32_t min = frame.intervals[0], max = frame.intervals[1], step = std::max(frame.intervals[2], 1u);
        const uint32_t v = std::clamp(wanted, min, max);
        return std::min(max, min + (v - min + step / 2) / step * step);
    }
    uint32_t best = frame.intervals.front();
    for (uint32_t i : frame.intervals)
        if ((i > wanted ? i - wanted : wanted - i) < (best > wanted ? best - wanted : wanted - best)) best = i;
    return best;
}
} // namespace

V4l2Node::V4l2Node(EmulatedCamera& camera, const StreamingInterface* streaming, Kind kind, std::string devnode,
                   std::string bufferFile)
    : camera_(camera), streaming_(streaming), kind_(kind), devnode_(std::move(devnode)), bufferFile_(std::move(bufferFile))
{
    resetFormat();
}

void V4l2Node::resetFormat()
{
    formatIndex_ = frameIndex_ = 0;
    if (const StreamFormat* f = format()) {
        for (std::size_t i = 0; i < f->frames.size(); ++i)
            if (f->frames[i].index == f->defaultFrame) frameIndex_ = i;
        if (const FrameSize* fr = frame()) interval_ = nearestInterval(*fr, fr->defaultInterval);
    }
}

V4l2Node::~V4l2Node()
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        stopStreaming(lock);
        failPending(ENODEV);
        releaseBuffers();
        setOwner(nullptr);
    }
    if (handler_) g_object_unref(handler_);
}

bool V4l2Node::attach(UMockdevTestbed* testbed, std::string& error)
{
    if (!handler_) {
        handler_ = umockdev_ioctl_base_new();
        g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&V4l2Node::onIoctl), this);
        g_signal_connect(handler_, "client-connected", G_CALLBACK(&V4l2Node::onConnected), this);
        g_signal_connect(handler_, "client-vanished", G_CALLBACK(&V4l2Node::onVanished), this);
    }
    GError* gerror = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed, devnode_.c_str(), handler_, &gerror)) {
        error = gerror ? gerror->message : "cannot attach the ioctl handler";
        g_clear_error(&gerror);
        return false;
    }
    return true;
}

int V4l2Node::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self)
{
    auto* node = static_cast<V4l2Node*>(self);
    bool deferred = false;
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    // The argument arrives as the client's pointer; its bytes are fetched
    // here and written back when the call completes.
    UMockdevIoctlData* data = nullptr;
    if (_IOC_SIZE(request) > 0) {
        GError* error = nullptr;
        data = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, _IOC_SIZE(request), &error);
        g_clear_error(&error);
    }
    const int error = node->handle(client, request, data, deferred);
    if (!deferred) umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
    if (data) g_object_unref(data);
    return TRUE;
}

void V4l2Node::onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self)
{
    auto* node = static_cast<V4l2Node*>(self);
    std::lock_guard<std::mutex> lock(node->mutex_);
    node->clients_[client] = node->camera_.plugIn();
}

void V4l2Node::onVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self)
{
    auto* node = static_cast<V4l2Node*>(self);
    std::unique_lock<std::mutex> lock(node->mutex_);
    node->clients_.erase(client);
    // A closed file handle gives up the stream, as the driver's release does.
    for (auto it = node->pending_.begin(); it != node->pending_.end();) {
        if (it->client == client) {
            g_object_unref(it->arg);
            g_object_unref(it->client);
            it = node->pending_.erase(it);
        } else {
            ++it;
        }
    }
    if (node->owner_ == client) {
        node->stopStreaming(lock);
        node->releaseBuffers();
        node->setOwner(nullptr);
    }
}

void V4l2Node::unplugged()
{
    std::unique_lock<std::mutex> lock(mutex_);
    stopStreaming(lock);
    failPending(ENODEV);
    // What comes back is a new device: nobody owns it, nothing is mapped.
    releaseBuffers();
    setOwner(nullptr);
    resetFormat();
}

const StreamFormat* V4l2Node::format() const
{
    if (!streaming_ || formatIndex_ >= streaming_->formats.size()) return nullptr;
    return &streaming_->formats[formatIndex_];
}

const FrameSize* V4l2Node::frame() const
{
    const StreamFormat* f = format();
    if (!f || frameIndex_ >= f->frames.size()) return nullptr;
    return &f->frames[frameIndex_];
}

uint32_t V4l2Node::sizeImage() const
{
    const StreamFormat* f = format();
    const FrameSize* fr = frame();
    if (!f || !fr) return 0;
    if (!f->compressed) return static_cast<uint32_t>(fr->width) * fr->height * std::max<uint8_t>(f->bitsPerPixel, 8) / 8;
    return fr->maxBufferSize ? fr->maxBufferSize : static_cast<uint32_t>(fr->width) * fr->height * 2;
}

int V4l2Node::handle(UMockdevIoctlClient* client, unsigned long request, UMockdevIoctlData* data, bool& deferred)
{
    if (!camera_.plugged()) return ENODEV;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = clients_.find(client);
        if (it != clients_.end() && it->second != camera_.plugIn()) return ENODEV;
    }
    void* arg = data ? data->data : nullptr;

    if (request == VIDIOC_QUERYCAP) {
        if (!fits<v4l2_capability>(data)) return EFAULT;
        auto& cap = *static_cast<v4l2_capability*>(arg);
        std::memset(&cap, 0, sizeof cap);
        copyText(cap.driver, sizeof cap.driver, "uvcvideo");
        copyText(cap.card, sizeof cap.card, camera_.cardName());
        copyText(cap.bus_info, sizeof cap.bus_info, camera_.busInfo());
        cap.version = KERNEL_VERSION(6, 1, 0);
        cap.device_caps = (kind_ == Kind::Capture ? V4L2_CAP_VIDEO_CAPTURE : V4L2_CAP_META_CAPTURE) | V4L2_CAP_STREAMING;
        cap.capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
        return 0;
    }
    if (kind_ == Kind::Metadata) {
        if (request == VIDIOC_ENUM_FMT && fits<v4l2_fmtdesc>(data)) {
            auto& f = *static_cast<v4l2_fmtdesc*>(arg);
            if (f.index != 0 || f.type != V4L2_BUF_TYPE_META_CAPTURE) return EINVAL;
            const uint32_t index = f.index, type = f.type;
            std::memset(&f, 0, sizeof f);
            f.index = index;
            f.type = type;
            f.pixelformat = V4L2_META_FMT_UVC;
            copyText(f.description, sizeof f.description, "UVC Payload Header Metadata");
            return 0;
        }
        // No controls and no extension units here: the driver's metadata
        // node has no handler for them.
        return ENOTTY;
    }

    switch (request) {
    case VIDIOC_QUERYCTRL: {
        if (!fits<v4l2_queryctrl>(data)) return EFAULT;
        return camera_.controls().query(*static_cast<v4l2_queryctrl*>(arg));
    }
    case VIDIOC_QUERYMENU: {
        if (!fits<v4l2_querymenu>(data)) return EFAULT;
        return camera_.controls().queryMenu(*static_cast<v4l2_querymenu*>(arg));
    }
    case VIDIOC_G_CTRL: {
        if (!fits<v4l2_control>(data)) return EFAULT;
        auto& c = *static_cast<v4l2_control*>(arg);
        return camera_.controls().get(c.id, c.value);
    }
    case VIDIOC_S_CTRL: {
        if (!fits<v4l2_control>(data)) return EFAULT;
        auto& c = *static_cast<v4l2_control*>(arg);
        return camera_.setControl(c.id, c.value);
    }
    case UVCIOC_CTRL_QUERY: {
        if (!fits<uvc_xu_control_query>(data)) return EFAULT;
        auto& q = *static_cast<uvc_xu_control_query*>(arg);
        uint8_t* bytes = nullptr;
        if (q.size > 0) {
            GError* error = nullptr;
            UMockdevIoctlData* child =
                umockdev_ioctl_data_resolve(data, offsetof(uvc_xu_control_query, data), q.size, &error);
            if (!child) {
                g_clear_error(&error);
                return EFAULT;
            }
            bytes = child->data;
            g_object_unref(child);
        }
        return camera_.xuQuery(q.unit, q.selector, q.query, bytes, q.size);
    }
    case VIDIOC_ENUMINPUT: {
        if (!fits<v4l2_input>(data)) return EFAULT;
        auto& in = *static_cast<v4l2_input*>(arg);
        if (in.index != 0) return EINVAL;
        std::memset(&in, 0, sizeof in);
        copyText(in.name, sizeof in.name, "Camera 1");
        in.type = V4L2_INPUT_TYPE_CAMERA;
        return 0;
    }
    case VIDIOC_G_INPUT:
        if (!fits<int>(data)) return EFAULT;
        *static_cast<int*>(arg) = 0;
        return 0;
    case VIDIOC_S_INPUT:
        if (!fits<int>(data)) return EFAULT;
        return *static_cast<int*>(arg) == 0 ? 0 : EINVAL;
    default:
        break;
    }
    if (request == VIDIOC_ENUM_FMT || request == VIDIOC_ENUM_FRAMESIZES || request == VIDIOC_ENUM_FRAMEINTERVALS ||
        request == VIDIOC_G_FMT || request == VIDIOC_S_FMT || request == VIDIOC_TRY_FMT || request == VIDIOC_G_PARM ||
        request == VIDIOC_S_PARM)
        return handleFormat(request, arg, client);
    if (request == VIDIOC_REQBUFS || request == VIDIOC_QUERYBUF || request == VIDIOC_QBUF ||
        request == VIDIOC_DQBUF || request == VIDIOC_STREAMON || request == VIDIOC_STREAMOFF) {
        const std::size_t need = request == VIDIOC_REQBUFS ? sizeof(v4l2_requestbuffers)
                                 : request == VIDIOC_STREAMON || request == VIDIOC_STREAMOFF ? sizeof(int)
                                                                                             : sizeof(v4l2_buffer);
        if (!data || !data->data || static_cast<std::size_t>(data->data_len) < need) return EFAULT;
        return handleStream(request, arg, client, data, deferred);
    }
    return ENOTTY;
}

void V4l2Node::chooseFormat(v4l2_format& f, std::size_t& formatIndex, std::size_t& frameIndex) const
{
    // As the driver does: the format asked for, else the first; then the
    // frame size nearest to the one asked for.
    formatIndex = 0;
    for (std::size_t i = 0; i < streaming_->formats.size(); ++i)
        if (streaming_->formats[i].fourcc == f.fmt.pix.pixelformat) formatIndex = i;
    const StreamFormat& fmt = streaming_->formats[formatIndex];
    const uint64_t rw = f.fmt.pix.width, rh = f.fmt.pix.height;
    uint64_t best = UINT64_MAX;
    frameIndex = 0;
    for (std::size_t i = 0; i < fmt.frames.size(); ++i) {
        const uint64_t w = fmt.frames[i].width, h = fmt.frames[i].height;
        const uint64_t common = std::min(w, rw) * std::min(h, rh);
        const uint64_t d = w * h + rw * rh - 2 * common;
        if (d < best) {
            best = d;
            frameIndex = i;
        }
    }
}

int V4l2Node::handleFormat(unsigned long request, void* arg, UMockdevIoctlClient* client)
{
    if (!streaming_ || streaming_->formats.empty()) return EINVAL;
    std::unique_lock<std::mutex> lock(mutex_);
    auto findFormat = [this](uint32_t fourcc) -> const StreamFormat* {
        for (const auto& f : streaming_->formats)
            if (f.fourcc == fourcc) return &f;
        return nullptr;
    };
    switch (request) {
    case VIDIOC_ENUM_FMT: {
        auto& f = *static_cast<v4l2_fmtdesc*>(arg);
        if (f.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || f.index >= streaming_->formats.size()) return EINVAL;
        const StreamFormat& fmt = streaming_->formats[f.index];
        const uint32_t index = f.index;
        std::memset(&f, 0, sizeof f);
        f.index = index;
        f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        f.flags = fmt.compressed ? V4L2_FMT_FLAG_COMPRESSED : 0;
        f.pixelformat = fmt.fourcc;
        copyText(f.description, sizeof f.description, formatName(fmt.fourcc));
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto& s = *static_cast<v4l2_frmsizeenum*>(arg);
        const StreamFormat* fmt = findFormat(s.pixel_format);
        if (!fmt || s.index >= fmt->frames.size()) return EINVAL;
        s.type = V4L2_FRMSIZE_TYPE_DISCRETE;
        s.discrete.width = fmt->frames[s.index].width;
        s.discrete.height = fmt->frames[s.index].height;
        return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto& iv = *static_cast<v4l2_frmivalenum*>(arg);
        const StreamFormat* fmt = findFormat(iv.pixel_format);
        if (!fmt) return EINVAL;
        const FrameSize* fr = nullptr;
        for (const auto& x : fmt->frames)
            if (x.width == iv.width && x.height == iv.height) fr = &x;
        if (!fr) return EINVAL;
        if (fr->continuous) {
            if (iv.index != 0) return EINVAL;
            iv.type = V4L2_FRMIVAL_TYPE_STEPWISE;
            iv.stepwise.min = {fr->intervals[0], 10000000};
            iv.stepwise.max = {fr->intervals[1], 10000000};
            iv.stepwise.step = {fr->intervals[2], 10000000};
            return 0;
        }
        if (iv.index >= fr->intervals.size()) return EINVAL;
        iv.type = V4L2_FRMIVAL_TYPE_DISCRETE;
        iv.discrete = {fr->intervals[iv.index], 10000000};
        return 0;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT: {
        auto& f = *static_cast<v4l2_format*>(arg);
        if (f.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return EINVAL;
        std::size_t formatIndex = formatIndex_, frameIndex = frameIndex_;
        if (request != VIDIOC_G_FMT) chooseFormat(f, formatIndex, frameIndex);
        if (request == VIDIOC_S_FMT) {
            if (const int r = claim(client, lock)) return r;
            if (bufferCount_ > 0) return EBUSY;
            formatIndex_ = formatIndex;
            frameIndex_ = frameIndex;
            interval_ = nearestInterval(*frame(), frame()->defaultInterval);
        }
        const std::size_t savedFormat = formatIndex_, savedFrame = frameIndex_;
        formatIndex_ = formatIndex;
        frameIndex_ = frameIndex;
        const StreamFormat& fmt = *format();
        const FrameSize& fr = *frame();
        std::memset(&f.fmt.pix, 0, sizeof f.fmt.pix);
        f.fmt.pix.width = fr.width;
        f.fmt.pix.height = fr.height;
        f.fmt.pix.pixelformat = fmt.fourcc;
        f.fmt.pix.field = V4L2_FIELD_NONE;
        f.fmt.pix.bytesperline = fmt.compressed ? 0 : fr.width * std::max<uint8_t>(fmt.bitsPerPixel, 8) / 8;
        f.fmt.pix.sizeimage = sizeImage();
        f.fmt.pix.colorspace = V4L2_COLORSPACE_SRGB;
        formatIndex_ = savedFormat;
        frameIndex_ = savedFrame;
        return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
        auto& p = *static_cast<v4l2_streamparm*>(arg);
        if (p.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return EINVAL;
        if (request == VIDIOC_S_PARM) {
            if (const int r = claim(client, lock)) return r;
            if (streaming_on_) return EBUSY;
            const v4l2_fract want = p.parm.capture.timeperframe;
            uint32_t wanted = interval_;
            if (want.numerator && want.denominator)
                wanted = static_cast<uint32_t>(std::min<uint64_t>(
                    UINT32_MAX, uint64_t(want.numerator) * 10000000u / want.denominator));
            interval_ = nearestInterval(*frame(), wanted);
        }
        std::memset(&p.parm, 0, sizeof p.parm);
        p.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
        // Reduced as the driver does, so that 333333/10000000 reads as 1/30.
        p.parm.capture.timeperframe = {interval_, 10000000};
        const uint32_t fps = 10000000 / interval_;
        if (fps > 0 && 10000000 % interval_ <= interval_ / 100) p.parm.capture.timeperframe = {1, fps};
        return 0;
    }
    default:
        return ENOTTY;
    }
}

void V4l2Node::setOwner(UMockdevIoctlClient* client)
{
    // Held, so that a late look at a closed owner never meets a freed object.
    if (client == owner_) return;
    if (client) g_object_ref(client);
    if (owner_) g_object_unref(owner_);
    owner_ = client;
}

int V4l2Node::claim(UMockdevIoctlClient* client, std::unique_lock<std::mutex>& lock)
{
    // The first file handle to use a streaming ioctl owns the stream until
    // it frees its buffers or closes; others are told the device is busy.
    if (owner_ && owner_ != client) {
        if (umockdev_ioctl_client_get_connected(owner_)) return EBUSY;
        // The owner closed its handle; umockdev tells us of that a little
        // later than the kernel would act on it.
        stopStreaming(lock);
        failPending(EINVAL);
        releaseBuffers();
    }
    setOwner(client);
    return 0;
}

void V4l2Node::releaseBuffers()
{
    if (mapping_) munmap(mapping_, mappingSize_);
    mapping_ = nullptr;
    mappingSize_ = 0;
    bufferCount_ = 0;
    bufferFlags_.clear();
    bytesUsed_.clear();
    queued_.clear();
    unlink(bufferFile_.c_str());
}

int V4l2Node::requestBuffers(v4l2_requestbuffers& rb, UMockdevIoctlClient* client, std::unique_lock<std::mutex>& lock)
{
    if (rb.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || rb.memory != V4L2_MEMORY_MMAP) return EINVAL;
    if (const int r = claim(client, lock)) return r;
    if (streaming_on_) return EBUSY;
    releaseBuffers();
    if (rb.count == 0) {
        setOwner(nullptr);
        return 0;
    }
    const uint32_t count = std::clamp(rb.count, kMinBuffers, kMaxBuffers);
    const std::size_t stride = pageAligned(std::max<uint32_t>(sizeImage(), 1));
    const int fd = ::open(bufferFile_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return ENOMEM;
    const std::size_t total = stride * count;
    void* map = MAP_FAILED;
    if (ftruncate(fd, static_cast<off_t>(total)) == 0) map = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) {
        unlink(bufferFile_.c_str());
        return ENOMEM;
    }
    mapping_ = static_cast<uint8_t*>(map);
    mappingSize_ = total;
    bufferStride_ = stride;
    bufferCount_ = count;
    bufferFlags_.assign(count, 0);
    bytesUsed_.assign(count, 0);
    rb.count = count;
    rb.capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
    return 0;
}

void V4l2Node::fillBuffer(uint32_t index, v4l2_buffer& b) const
{
    const uint32_t flags = bufferFlags_[index];
    std::memset(&b, 0, sizeof b);
    b.index = index;
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    b.field = V4L2_FIELD_NONE;
    b.flags = flags | V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | V4L2_BUF_FLAG_TSTAMP_SRC_SOE;
    b.m.offset = static_cast<uint32_t>(index * bufferStride_);
    b.length = static_cast<uint32_t>(bufferStride_);
    b.bytesused = bytesUsed_[index];
}

int V4l2Node::handleStream(unsigned long request, void* arg, UMockdevIoctlClient* client, UMockdevIoctlData* data,
                           bool& deferred)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (request == VIDIOC_REQBUFS) return requestBuffers(*static_cast<v4l2_requestbuffers*>(arg), client, lock);
    if (request == VIDIOC_STREAMON || request == VIDIOC_STREAMOFF) {
        if (*static_cast<int*>(arg) != V4L2_BUF_TYPE_VIDEO_CAPTURE) return EINVAL;
        if (const int r = claim(client, lock)) return r;
        if (request == VIDIOC_STREAMOFF) {
            stopStreaming(lock);
            failPending(EINVAL);
            queued_.clear();
            for (auto& f : bufferFlags_) f = 0;
            return 0;
        }
        if (bufferCount_ == 0) return EINVAL;
        if (streaming_on_) return 0;
        // Made now, so the first frame is not late.
        if (camera_.frames().frame(format()->fourcc, frame()->width, frame()->height, 0).empty()) return EIO;
        streaming_on_ = true;
        stopClock_ = false;
        sequence_ = 0;
        nextFrame_ = std::chrono::steady_clock::now() + std::chrono::microseconds(interval_ / 10);
        clock_ = std::thread(&V4l2Node::clockLoop, this);
        return 0;
    }

    auto& b = *static_cast<v4l2_buffer*>(arg);
    if (b.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return EINVAL;
    if (request == VIDIOC_QUERYBUF) {
        if (b.index >= bufferCount_) return EINVAL;
        fillBuffer(b.index, b);
        return 0;
    }
    if (const int r = claim(client, lock)) return r;
    if (request == VIDIOC_QBUF) {
        if (b.memory != V4L2_MEMORY_MMAP || b.index >= bufferCount_) return EINVAL;
        if (bufferFlags_[b.index] & V4L2_BUF_FLAG_QUEUED) return EINVAL;
        bufferFlags_[b.index] = V4L2_BUF_FLAG_QUEUED;
        queued_.push_back(b.index);
        fillBuffer(b.index, b);
        wake_.notify_all();
        return 0;
    }
    // DQBUF: answered by the clock when the next frame is due.
    if (!streaming_on_) return EINVAL;
    g_object_ref(client);
    g_object_ref(data);
    pending_.push_back({client, data});
    deferred = true;
    wake_.notify_all();
    return 0;
}

void V4l2Node::failPending(int error)
{
    for (auto& p : pending_) {
        umockdev_ioctl_client_complete(p.client, -1, error);
        g_object_unref(p.arg);
        g_object_unref(p.client);
    }
    pending_.clear();
}

void V4l2Node::stopStreaming(std::unique_lock<std::mutex>& lock)
{
    if (!clock_.joinable()) {
        streaming_on_ = false;
        return;
    }
    stopClock_ = true;
    wake_.notify_all();
    std::thread clock = std::move(clock_);
    lock.unlock();
    clock.join();
    lock.lock();
    streaming_on_ = false;
}

void V4l2Node::clockLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    const auto interval = std::chrono::microseconds(interval_ / 10);
    while (!stopClock_) {
        if (pending_.empty() || queued_.empty()) {
            wake_.wait_for(lock, std::chrono::milliseconds(500));
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now < nextFrame_) {
            wake_.wait_until(lock, nextFrame_);
            continue;
        }
        // A reader that fell behind gets the next frame at once; the
        // camera's pace is kept from there.
        nextFrame_ = std::max(nextFrame_ + interval, now - interval);

        const uint32_t index = queued_.front();
        queued_.pop_front();
        const std::string& bytes = camera_.frames().frame(format()->fourcc, frame()->width, frame()->height, sequence_);
        const std::size_t n = std::min(bytes.size(), bufferStride_);
        std::memcpy(mapping_ + index * bufferStride_, bytes.data(), n);
        bytesUsed_[index] = format()->compressed ? static_cast<uint32_t>(n) : sizeImage();
        bufferFlags_[index] = V4L2_BUF_FLAG_DONE;

        v4l2_buffer b;
        fillBuffer(index, b);
        bufferFlags_[index] = 0;
        b.sequence = sequence_++;
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        b.timestamp.tv_sec = ts.tv_sec;
        b.timestamp.tv_usec = ts.tv_nsec / 1000;

        Pending p = pending_.front();
        pending_.pop_front();
        std::memcpy(p.arg->data, &b, sizeof b);
        umockdev_ioctl_client_complete(p.client, 0, 0);
        g_object_unref(p.arg);
        g_object_unref(p.client);
    }
}

} // namespace vorq::emucam

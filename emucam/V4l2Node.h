#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <linux/videodev2.h>

#include "UvcDescriptors.h"

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;
typedef struct _UMockdevTestbed UMockdevTestbed;

namespace vorq::emucam {

class EmulatedCamera;

// One /dev/videoN of the emulated camera: a capture node (formats, controls,
// extension units, mmap streaming) or the metadata node beside it. Its
// ioctls arrive through umockdev; the buffers the client maps are pages of
// a file the preload library maps for it (umockdev carries no mmap).
class V4l2Node {
public:
    enum class Kind { Capture, Metadata };

    V4l2Node(EmulatedCamera& camera, const StreamingInterface* streaming, Kind kind, std::string devnode,
             std::string bufferFile);
    ~V4l2Node();
    V4l2Node(const V4l2Node&) = delete;
    V4l2Node& operator=(const V4l2Node&) = delete;

    bool attach(UMockdevTestbed* testbed, std::string& error);
    const std::string& devnode() const { return devnode_; }
    Kind kind() const { return kind_; }
    // The camera went away: waiting readers get ENODEV, streaming stops.
    void unplugged();

private:
    struct Pending {
        UMockdevIoctlClient* client;
        UMockdevIoctlData* arg;
    };

    static int onIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, void* self);
    static void onConnected(UMockdevIoctlBase* base, UMockdevIoctlClient* client, void* self);
    static void onVanished(UMockdevIoctlBase* base, UMockdevIoctlClient* client, void* self);

    // errno result; `deferred` when the answer comes later (DQBUF).
    int handle(UMockdevIoctlClient* client, unsigned long request, UMockdevIoctlData* arg, bool& deferred);
    int handleFormat(unsigned long request, void* arg, UMockdevIoctlClient* client);
    int handleStream(unsigned long request, void* arg, UMockdevIoctlClient* client, UMockdevIoctlData* data,
                     bool& deferred);
    int claim(UMockdevIoctlClient* client, std::unique_lock<std::mutex>& lock);
    void setOwner(UMockdevIoctlClient* client);
    int requestBuffers(v4l2_requestbuffers& rb, UMockdevIoctlClient* client, std::unique_lock<std::mutex>& lock);
    void fillBuffer(uint32_t index, v4l2_buffer& b) const;
    void stopStreaming(std::unique_lock<std::mutex>& lock);
    void releaseBuffers();
    void clockLoop();
    void failPending(int error);

    void resetFormat();
    const StreamFormat* format() const;
    const FrameSize* frame() const;
    uint32_t sizeImage() const;
    void chooseFormat(v4l2_format& f, std::size_t& formatIndex, std::size_t& frameIndex) const;

    EmulatedCamera& camera_;
    const StreamingInterface* streaming_;
    Kind kind_;
    std::string devnode_;
    std::string bufferFile_;
    UMockdevIoctlBase* handler_ = nullptr;

    std::mutex mutex_;
    std::condition_variable wake_;
    // Each file handle and the plug-in it was opened under: a handle from
    // before an unplug stays dead.
    std::map<UMockdevIoctlClient*, unsigned> clients_;
    std::size_t formatIndex_ = 0, frameIndex_ = 0;
    uint32_t interval_ = 333333; // 100 ns units
    UMockdevIoctlClient* owner_ = nullptr;
    uint32_t bufferCount_ = 0;
    std::size_t bufferStride_ = 0;
    uint8_t* mapping_ = nullptr;
    std::size_t mappingSize_ = 0;
    std::vector<uint32_t> bufferFlags_;
    std::vector<uint32_t> bytesUsed_;
    std::deque<uint32_t> queued_;
    std::deque<Pending> pending_;
    bool streaming_on_ = false;
    bool stopClock_ = false;
    uint32_t sequence_ = 0;
    std::chrono::steady_clock::time_point nextFrame_;
    std::thread clock_;
};

} // namespace vorq::emucam

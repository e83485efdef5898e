#pragma once

// A file transfer to the simulated camera's upgrade unit as the upgrade engine
// makes it: the command armed through the state control, the file information
// block, then numbered data packets. Data packets that no command has armed
// are refused at once by the camera, so they would measure nothing of a
// transfer.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace bench {

class ArmedTransfer {
public:
    static constexpr uint8_t kErrorStatusSelector = 4;
    static constexpr uint8_t kStateSelector = 5;
    // About 60 MB a file: well inside what the camera stores.
    static constexpr uint32_t kPacketsPerFile = 20000;
    static constexpr uint8_t kDataSelector = 6;
    static constexpr uint32_t kHeader = 13;
    static constexpr uint32_t kInfoSize = 165;
    static constexpr uint8_t kCommandConfigFile = 34; // a file kept by the camera, no reboot

    // send(selector, data, size): true when the camera took the transfer.
    using Send = std::function<bool(uint8_t selector, uint8_t* data, uint32_t size)>;

    ArmedTransfer(Send send, Send read, uint32_t packetSize)
        : send(std::move(send)), read(std::move(read)), packet(packetSize)
    {
    }

    // Sends `count` data packets, arming a new file whenever the last one is
    // complete; false when a transfer failed or the camera reported an error.
    bool run(uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i) {
            if (!armedPacketsLeft() && !arm(std::min<uint32_t>(count - i, kPacketsPerFile))) return false;
            if (!next()) return false;
        }
        uint8_t status = 0xFF;
        return read(kErrorStatusSelector, &status, 1) && status == 0;
    }

    // Arms a file of `packets` full data packets; false when the camera refused.
    bool arm(uint32_t packets)
    {
        // One packet more than will be sent: a complete file would be checked
        // against its digest, which the benchmark does not compute.
        total = (packets + 1) * capacity();
        offset = 0;
        left = packets;
        uint8_t state[5] = {kCommandConfigFile, 0, 0, 0, 0};
        if (!send(kStateSelector, state, sizeof state)) return false;
        std::vector<uint8_t> info(kInfoSize, 0);
        std::memcpy(info.data(), "bench.bin", 9);
        put32(info.data() + 128, total);
        return sendPacket(0, kInfoSize, info.data(), kInfoSize);
    }

    // The next data packet of the armed file.
    bool next()
    {
        const uint32_t length = capacity();
        std::memset(packet.data() + kHeader, static_cast<int>(offset / length), length);
        const bool ok = sendPacket(1, total, nullptr, length);
        offset += length;
        --left;
        return ok;
    }

    bool armedPacketsLeft() const { return left > 0; }

private:
    uint32_t capacity() const { return static_cast<uint32_t>(packet.size()) - kHeader; }

    bool sendPacket(uint8_t type, uint32_t size, const uint8_t* payload, uint32_t length)
    {
        packet[0] = type;
        put32(packet.data() + 1, type == 0 ? 0 : offset);
        put32(packet.data() + 5, size);
        put32(packet.data() + 9, length);
        if (payload) std::memcpy(packet.data() + kHeader, payload, length);
        return send(kDataSelector, packet.data(), static_cast<uint32_t>(packet.size()));
    }

    static void put32(uint8_t* p, uint32_t v)
    {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    }

    Send send;
    Send read;
    std::vector<uint8_t> packet;
    uint32_t total = 0;
    uint32_t offset = 0;
    uint32_t left = 0;
};

} // namespace bench

#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace vorq::emucam {

// The device side of extension-unit requests: what the camera's firmware
// answers. Results are 0 or the errno the driver reports for the stall.
class UnitResponder {
public:
    virtual ~UnitResponder() = default;
    virtual int request(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) = 0;
    // A V4L2 control write the driver made (value as stored), for traces.
    virtual void controlWritten(uint32_t /*cid*/, int32_t /*value*/, int /*error*/) {}
};

// A camera whose extension units we know nothing of: each advertised
// control is a few bytes that read back what was written.
class PlainUnits final : public UnitResponder {
public:
    static constexpr uint16_t kDefaultLength = 2;

    void setLength(uint8_t unit, uint8_t selector, uint16_t length);
    int request(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) override;

private:
    std::mutex mutex_;
    std::map<std::pair<uint8_t, uint8_t>, std::string> values_;
    std::map<std::pair<uint8_t, uint8_t>, uint16_t> lengths_;
};

} // namespace vorq::emucam

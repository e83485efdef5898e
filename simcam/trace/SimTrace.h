#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "simcam/Uvc.h"
#include "simcam/SimFd.h"

namespace vorq::simcam {

// Appends one JSON line per device-level transfer to the file that
// VORQ_SIM_TRACE names. Lines are written whole with O_APPEND, so several
// processes can trace into one file. Tracing problems never fail a transfer.
class SimTrace {
public:
    // Null when VORQ_SIM_TRACE is unset or empty, or the file cannot be opened.
    static std::shared_ptr<SimTrace> fromEnvironment();
    static std::shared_ptr<SimTrace> open(const std::string& path);

    SimTrace(const SimTrace&) = delete;
    SimTrace& operator=(const SimTrace&) = delete;

    // data: the bytes moved (written for SET_CUR, answered for GET_*); only
    // traced when err is 0.
    void xuQuery(const std::string& device, uint8_t unit, uint8_t selector, uint8_t query, const uint8_t* data,
                 uint16_t size, int err);
    // op: "g_ctrl", "s_ctrl" or "queryctrl". value / range when they apply.
    void control(const std::string& device, const char* op, uint32_t cid, const int32_t* value,
                 const ControlRange* range, int err);

private:
    explicit SimTrace(SimFd fd);
    void beginLine(std::string& line, const std::string& device) const;
    void writeLine(std::string& line);

    SimFd fd_;
};

} // namespace vorq::simcam

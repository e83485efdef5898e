#include "trace/SimTrace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <nlohmann/json.hpp>

#include "simcam/HexText.h"

namespace vorq::simcam {

namespace {

// "t" counts from the first trace this process opened, so the lines of all
// its cameras share one time line.
std::chrono::steady_clock::time_point traceEpoch()
{
    static const auto epoch = std::chrono::steady_clock::now();
    return epoch;
}

void appendJsonString(std::string& out, const std::string& text)
{
    out += nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

std::shared_ptr<SimTrace> SimTrace::fromEnvironment()
{
    const char* path = std::getenv("VORQ_SIM_TRACE");
    if (!path || !*path) return nullptr;
    return open(path);
}

std::shared_ptr<SimTrace> SimTrace::open(const std::string& path)
{
    int fd;
    do
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        std::fprintf(stderr, "vorq-sim: cannot open the trace file %s: %s\n", path.c_str(), std::strerror(errno));
        return nullptr;
    }
    traceEpoch();
    return std::shared_ptr<SimTrace>(new SimTrace(SimFd(fd)));
}

SimTrace::SimTrace(SimFd fd) : fd_(std::move(fd)) {}

void SimTrace::beginLine(std::string& line, const std::string& device) const
{
    double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - traceEpoch()).count();
    char buf[48];
    std::snprintf(buf, sizeof buf, "{\"t\":%.6f,\"dev\":", t);
    line += buf;
    appendJsonString(line, device);
}

void SimTrace::xuQuery(const std::string& device, uint8_t unit, uint8_t selector, uint8_t query,
                       const uint8_t* data, uint16_t size, int err)
{
    std::string line;
    line.reserve(160 + 2 * static_cast<size_t>(size));
    beginLine(line, device);
    char buf[96];
    std::snprintf(buf, sizeof buf, ",\"unit\":%u,\"selector\":%u,\"query\":", unit, selector);
    line += buf;
    appendJsonString(line, queryName(query));
    std::snprintf(buf, sizeof buf, ",\"size\":%u,\"data\":\"", size);
    line += buf;
    if (err == 0 && data) appendHex(line, data, size);
    std::snprintf(buf, sizeof buf, "\",\"errno\":%d}\n", err);
    line += buf;
    writeLine(line);
}

void SimTrace::control(const std::string& device, const char* op, uint32_t cid, const int32_t* value,
                       const ControlRange* range, int err)
{
    std::string line;
    line.reserve(160);
    beginLine(line, device);
    char buf[160];
    std::snprintf(buf, sizeof buf, ",\"op\":\"%s\",\"cid\":%u", op, cid);
    line += buf;
    if (value) {
        std::snprintf(buf, sizeof buf, ",\"value\":%d", *value);
        line += buf;
    }
    if (range) {
        std::snprintf(buf, sizeof buf, ",\"min\":%d,\"max\":%d,\"step\":%d,\"default\":%d,\"flags\":%u",
                      range->minimum, range->maximum, range->step, range->defaultValue, range->flags);
        line += buf;
    }
    std::snprintf(buf, sizeof buf, ",\"errno\":%d}\n", err);
    line += buf;
    writeLine(line);
}

void SimTrace::writeLine(std::string& line)
{
    // One write() per line keeps lines whole between processes.
    ssize_t n;
    do
        n = ::write(fd_.get(), line.data(), line.size());
    while (n < 0 && errno == EINTR);
}

} // namespace vorq::simcam

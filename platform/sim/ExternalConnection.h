#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>

#include "sim/Json.h"

namespace vorq::platform {

// One client connection to an external simulated device: a Unix stream socket
// carrying one JSON object per line each way, one reply per request, in
// order. Connects lazily; after any failure the socket is dropped, so a late
// or stray reply can never be taken for the answer to a later request, and the
// next request connects afresh. Every wait is bounded by the timeout.
// Requests from several threads are serialised.
class ExternalConnection {
public:
    static constexpr int kDefaultTimeoutMs = 2000;
    static constexpr size_t kMaxLineBytes = 1024 * 1024;

    // VORQ_SIM_TIMEOUT_MS when it holds a positive number of milliseconds,
    // kDefaultTimeoutMs otherwise.
    static int timeoutFromEnvironment();

    explicit ExternalConnection(std::string socketPath, int timeoutMs = timeoutFromEnvironment());
    ~ExternalConnection();
    ExternalConnection(const ExternalConnection&) = delete;
    ExternalConnection& operator=(const ExternalConnection&) = delete;

    // Sends `request` and waits for its reply, which must be a JSON object.
    // Returns 0, or ETIMEDOUT (no complete answer in time), ENODEV (cannot
    // connect, or the device closed the connection) or EIO (the reply is not
    // a JSON object, or its line is too long). Each failure writes one
    // diagnostic line to stderr.
    int request(const Json& request, Json& reply);

    // Writes "vorq-sim: external device <path>: <message>" to stderr.
    void diagnose(const std::string& message) const;

    const std::string& socketPath() const { return socketPath_; }
    int timeoutMs() const { return timeoutMs_; }
    bool isConnected() const;

private:
    using Deadline = std::chrono::steady_clock::time_point;

    int transact(const std::string& line, Json& reply, std::string& error);
    int ensureConnected(Deadline deadline, std::string& error);
    int connectSocket(Deadline deadline, std::string& error);
    int sendAll(const std::string& data, Deadline deadline, std::string& error);
    int receiveLine(std::string& line, Deadline deadline, std::string& error);
    bool idleConnectionIsStale() const;
    void drop();

    const std::string socketPath_;
    const int timeoutMs_;
    mutable std::mutex mutex_;
    int fd_ = -1;
    std::string pending_; // received bytes not yet consumed as a reply line
};

} // namespace vorq::platform

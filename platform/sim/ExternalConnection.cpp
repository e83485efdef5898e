#include "sim/ExternalConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vorq::platform {

namespace {

constexpr size_t kReceiveChunk = 16 * 1024;

// Milliseconds left until the deadline, rounded up so a poll never wakes
// just short of it; 0 once it has passed.
int remainingMs(std::chrono::steady_clock::time_point deadline)
{
    auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return 0;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left + std::chrono::microseconds(999));
    return ms.count() > INT_MAX ? INT_MAX : static_cast<int>(ms.count());
}

// Waits for `events` on fd until the deadline. 1 ready, 0 timed out, -1 with
// errno on failure.
int waitFor(int fd, short events, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        int left = remainingMs(deadline);
        if (left == 0) return 0;
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, left);
        if (n > 0) return 1;
        if (n == 0) continue; // the next round sees the deadline has passed
        if (errno != EINTR) return -1;
    }
}

// strerror's buffer is shared between threads; the GNU strerror_r is not.
std::string errnoText(int err)
{
    char buf[128];
    return ::strerror_r(err, buf, sizeof buf);
}

} // namespace

int ExternalConnection::timeoutFromEnvironment()
{
    const char* text = std::getenv("VORQ_SIM_TIMEOUT_MS");
    if (!text || !*text) return kDefaultTimeoutMs;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v <= 0) return kDefaultTimeoutMs;
    // An hour is more than any device needs; larger values only risk overflow.
    return v > 3600 * 1000 ? 3600 * 1000 : static_cast<int>(v);
}

ExternalConnection::ExternalConnection(std::string socketPath, int timeoutMs)
    : socketPath_(std::move(socketPath)), timeoutMs_(timeoutMs > 0 ? timeoutMs : kDefaultTimeoutMs)
{
}

ExternalConnection::~ExternalConnection() { drop(); }

bool ExternalConnection::isConnected() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return fd_ >= 0;
}

void ExternalConnection::diagnose(const std::string& message) const
{
    std::string line = "vorq-sim: external device " + socketPath_ + ": " + message + "\n";
    std::fputs(line.c_str(), stderr);
}

int ExternalConnection::request(const Json& request, Json& reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::string error;
    int err = transact(toJsonText(request) + "\n", reply, error);
    if (err != 0) {
        drop();
        diagnose(error);
    }
    return err;
}

void ExternalConnection::drop()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    pending_.clear();
}

int ExternalConnection::transact(const std::string& line, Json& reply, std::string& error)
{
    Deadline deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
    if (int err = ensureConnected(deadline, error)) return err;
    if (int err = sendAll(line, deadline, error)) return err;
    std::string answer;
    if (int err = receiveLine(answer, deadline, error)) return err;

    Json parsed;
    std::string parseError;
    if (!parseJson(answer, parsed, &parseError)) {
        error = "invalid JSON in the reply (" + parseError + ")";
        return EIO;
    }
    if (!parsed.is_object()) {
        error = "the reply is not a JSON object";
        return EIO;
    }
    reply = std::move(parsed);
    return 0;
}

// An idle connection should be silent. If the device has closed it (say it
// restarted) or sent something unasked, nothing of the coming request has
// been sent yet, so a fresh connection is safe and spares the caller a
// spurious failure.
bool ExternalConnection::idleConnectionIsStale() const
{
    if (!pending_.empty()) return true;
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) != 0;
}

int ExternalConnection::ensureConnected(Deadline deadline, std::string& error)
{
    if (fd_ >= 0 && idleConnectionIsStale()) drop();
    if (fd_ >= 0) return 0;
    return connectSocket(deadline, error);
}

int ExternalConnection::connectSocket(Deadline deadline, std::string& error)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath_.empty() || socketPath_.size() >= sizeof addr.sun_path) {
        error = "cannot connect: invalid socket path";
        return ENODEV;
    }
    std::memcpy(addr.sun_path, socketPath_.c_str(), socketPath_.size() + 1);

    for (;;) {
        int left = remainingMs(deadline);
        if (left == 0) break;
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = "cannot create a socket: " + errnoText(errno);
            return ENODEV;
        }
        // A Unix-socket connect waits for room in the listener's backlog as
        // long as the send timeout allows; that bounds it without polling.
        timeval tv{left / 1000, static_cast<suseconds_t>((left % 1000) * 1000)};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
            fd_ = fd;
            return 0;
        }
        int err = errno;
        ::close(fd);
        if (err == EINTR) continue;
        if (err == EAGAIN || err == EINPROGRESS || err == ETIMEDOUT) break;
        error = "cannot connect: " + errnoText(err);
        return ENODEV;
    }
    error = "no answer within " + std::to_string(timeoutMs_) + " ms";
    return ETIMEDOUT;
}

int ExternalConnection::sendAll(const std::string& data, Deadline deadline, std::string& error)
{
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        int err = errno;
        if (err == EINTR) continue;
        if (err == EAGAIN || err == EWOULDBLOCK) {
            int ready = waitFor(fd_, POLLOUT, deadline);
            if (ready > 0) continue;
            if (ready == 0) {
                error = "no answer within " + std::to_string(timeoutMs_) + " ms";
                return ETIMEDOUT;
            }
            err = errno;
        }
        if (err == EPIPE || err == ECONNRESET || err == ENOTCONN) {
            error = "the device closed the connection";
            return ENODEV;
        }
        error = "cannot send: " + errnoText(err);
        return ENODEV;
    }
    return 0;
}

int ExternalConnection::receiveLine(std::string& line, Deadline deadline, std::string& error)
{
    size_t scanned = 0;
    for (;;) {
        size_t nl = pending_.find('\n', scanned);
        if (nl != std::string::npos) {
            if (nl > kMaxLineBytes) break;
            line.assign(pending_, 0, nl);
            pending_.erase(0, nl + 1);
            return 0;
        }
        if (pending_.size() > kMaxLineBytes) break;
        scanned = pending_.size();

        int ready = waitFor(fd_, POLLIN, deadline);
        if (ready == 0) {
            error = "no answer within " + std::to_string(timeoutMs_) + " ms";
            return ETIMEDOUT;
        }
        if (ready < 0) {
            error = "cannot receive: " + errnoText(errno);
            return ENODEV;
        }
        char chunk[kReceiveChunk];
        ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            pending_.append(chunk, static_cast<size_t>(n));
            continue;
        }
        if (n == 0) {
            error = "the device closed the connection";
            return ENODEV;
        }
        int err = errno;
        if (err == EINTR || err == EAGAIN || err == EWOULDBLOCK) continue;
        if (err == ECONNRESET) {
            error = "the device closed the connection";
            return ENODEV;
        }
        error = "cannot receive: " + errnoText(err);
        return ENODEV;
    }
    error = "reply line longer than " + std::to_string(kMaxLineBytes) + " bytes";
    return EIO;
}

} // namespace vorq::platform

#include "FakeDeviceServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

using vorq::platform::Json;

FakeDeviceServer::FakeDeviceServer(Handler handler) : handler_(std::move(handler))
{
    char dirTemplate[] = "/tmp/vorq-ext-XXXXXX";
    if (::mkdtemp(dirTemplate)) dir_ = dirTemplate;
    socketPath_ = dir_ + "/device.sock";

    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socketPath_.c_str(), sizeof addr.sun_path - 1);
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ >= 0 &&
        (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 8) != 0)) {
        ::close(listenFd_);
        listenFd_ = -1;
    }
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread(&FakeDeviceServer::run, this);
}

FakeDeviceServer::~FakeDeviceServer()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake();
    thread_.join();
    if (listenFd_ >= 0) ::close(listenFd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
    ::unlink(socketPath_.c_str());
    if (!dir_.empty()) ::rmdir(dir_.c_str());
}

std::vector<std::string> FakeDeviceServer::requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

int FakeDeviceServer::connectionsAccepted() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
}

void FakeDeviceServer::closeClients()
{
    std::unique_lock<std::mutex> lock(mutex_);
    closeClientsRequested_ = true;
    lock.unlock();
    wake();
    lock.lock();
    changed_.wait(lock, [this] { return !closeClientsRequested_; });
}

void FakeDeviceServer::setCloseOnAccept(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    closeOnAccept_ = on;
}

void FakeDeviceServer::wake()
{
    uint64_t one = 1;
    if (::write(wakeFd_, &one, sizeof one) < 0) {
        // The counter cannot overflow in a test; nothing to do.
    }
}

// Returns false once the client connection should be closed.
bool FakeDeviceServer::handleClient(int fd, std::string& buffer)
{
    char chunk[4096];
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(n));
    size_t nl;
    while ((nl = buffer.find('\n')) != std::string::npos) {
        std::string line = buffer.substr(0, nl);
        buffer.erase(0, nl + 1);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(line);
        }
        Json request;
        vorq::platform::parseJson(line, request);
        Reply reply = handler_(request);
        if (reply.kind == Reply::Close) return false;
        if (reply.kind == Reply::Silent) continue;
        std::string out = reply.text + "\n";
        size_t sent = 0;
        while (sent < out.size()) {
            ssize_t w = ::send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
            if (w <= 0) return false;
            sent += static_cast<size_t>(w);
        }
    }
    return true;
}

void FakeDeviceServer::run()
{
    std::map<int, std::string> clients; // fd -> bytes of an incomplete line
    for (;;) {
        bool closeAll = false;
        bool closeOnAccept = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) break;
            closeAll = closeClientsRequested_;
            closeOnAccept = closeOnAccept_;
        }
        if (closeAll) {
            for (auto& c : clients) ::close(c.first);
            clients.clear();
            std::lock_guard<std::mutex> lock(mutex_);
            closeClientsRequested_ = false;
            changed_.notify_all();
        }

        std::vector<pollfd> fds{{wakeFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (auto& c : clients) fds.push_back({c.first, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;

        if (fds[0].revents) {
            uint64_t count;
            if (::read(wakeFd_, &count, sizeof count) < 0) {
                // Nothing pending; the flags are re-read anyway.
            }
        }
        if (fds[1].revents & POLLIN) {
            int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    ++accepted_;
                }
                if (closeOnAccept) ::close(fd);
                else clients[fd];
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            int fd = fds[i].fd;
            if (!handleClient(fd, clients[fd])) {
                ::close(fd);
                clients.erase(fd);
            }
        }
    }
    for (auto& c : clients) ::close(c.first);
}

#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/Json.h"

// A scripted external device for the tests: listens on a Unix socket in a
// fresh temporary directory, hands every request line to the handler on its
// own thread and records the lines it received.
class FakeDeviceServer {
public:
    struct Reply {
        enum Kind { Send, Close, Silent } kind = Send;
        std::string text; // sent as is, followed by '\n'
    };
    static Reply send(const std::string& text) { return {Reply::Send, text}; }
    static Reply closeConnection() { return {Reply::Close, {}}; }
    static Reply silent() { return {Reply::Silent, {}}; }

    // `request` is the parsed line (null when it was no valid JSON).
    using Handler = std::function<Reply(const vorq::platform::Json& request)>;

    explicit FakeDeviceServer(Handler handler);
    ~FakeDeviceServer();
    FakeDeviceServer(const FakeDeviceServer&) = delete;
    FakeDeviceServer& operator=(const FakeDeviceServer&) = delete;

    const std::string& path() const { return socketPath_; }
    std::vector<std::string> requests() const;
    int connectionsAccepted() const;

    // Closes every client connection; returns once they are closed.
    void closeClients();
    // From now on, closes each connection as soon as it is accepted.
    void setCloseOnAccept(bool on);

private:
    void run();
    void wake();
    bool handleClient(int fd, std::string& buffer);

    std::string dir_;
    std::string socketPath_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    Handler handler_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> requests_;
    int accepted_ = 0;
    bool stop_ = false;
    bool closeClientsRequested_ = false;
    bool closeOnAccept_ = false;
    std::thread thread_;
};

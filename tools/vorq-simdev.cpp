// vorq-simdev: the simulated camera model served as an external device,
// speaking the line protocol that VORQ_SIM_SOCKET clients use. Handy for
// trying a client against a device in another process.
//
//   vorq-simdev <socket path> [state dir]     (state dir: as VORQ_SIM, default "1")

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Guid.h"
#include "sim/Json.h"
#include "simcam/Camera.h"
#include "simcam/HexText.h"
#include "simcam/SimStateStore.h"
#include "simcam/Uvc.h"

using vorq::platform::Json;
using vorq::platform::jsonInt;
using vorq::platform::jsonMember;
using vorq::platform::jsonString;
using vorq::simcam::Camera;
using vorq::simcam::fromHex;
using vorq::simcam::toHex;

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

constexpr size_t kMaxLine = 1 << 20;

class DeviceServer {
public:
    explicit DeviceServer(std::string stateDir) : stateDir_(std::move(stateDir)) {}

    Json handle(const Json& request)
    {
        std::string name;
        if (!jsonString(jsonMember(request, "op"), name)) return errnoReply(EINVAL);
        if (name == "list") return list();
        if (name != "xu" && name != "queryctrl" && name != "g_ctrl" && name != "s_ctrl") return errnoReply(EINVAL);

        std::string id;
        if (!jsonString(jsonMember(request, "id"), id)) return errnoReply(EINVAL);
        Camera* device = find(id);
        if (!device) return errnoReply(ENODEV);
        if (name == "xu") return xu(*device, request);

        int64_t cid = 0;
        if (!jsonInt(jsonMember(request, "cid"), cid, 0, UINT32_MAX)) return errnoReply(EINVAL);
        if (name == "queryctrl") {
            vorq::simcam::ControlRange range;
            int err = device->queryControl(static_cast<uint32_t>(cid), range);
            Json reply = errnoReply(err);
            if (!err) {
                reply["min"] = range.minimum;
                reply["max"] = range.maximum;
                reply["step"] = range.step;
                reply["default"] = range.defaultValue;
                reply["flags"] = range.flags;
            }
            return reply;
        }
        if (name == "g_ctrl") {
            int32_t value = 0;
            int err = device->getControl(static_cast<uint32_t>(cid), value);
            Json reply = errnoReply(err);
            if (!err) reply["value"] = value;
            return reply;
        }
        int64_t value = 0;
        if (!jsonInt(jsonMember(request, "value"), value, INT32_MIN, INT32_MAX)) return errnoReply(EINVAL);
        return errnoReply(device->setControl(static_cast<uint32_t>(cid), static_cast<int32_t>(value)));
    }

    static Json errnoReply(int err)
    {
        Json reply = Json::object();
        reply["errno"] = err;
        return reply;
    }

private:
    // A fresh walk each time, so reboots and unplugs show as they happen.
    std::vector<std::unique_ptr<Camera>> walk()
    {
        std::vector<std::unique_ptr<Camera>> cameras;
        auto store = vorq::simcam::SimStateStore::open(vorq::simcam::SimStateStore::directoryFor(stateDir_));
        if (!store) return cameras;
        const int count = Camera::cameraCount(*store);
        for (int i = 0; i < count; ++i)
            if (auto camera = Camera::open(store, i)) cameras.push_back(std::move(camera));
        return cameras;
    }

    Camera* find(const std::string& id)
    {
        auto devices = walk();
        for (auto& device : devices)
            if (device->name() == id) {
                auto& slot = devices_[id];
                if (!slot) slot = std::move(device);
                return slot.get();
            }
        devices_.erase(id);
        return nullptr;
    }

    Json list()
    {
        Json array = Json::array();
        for (const auto& device : walk()) {
            const auto& identity = device->identity();
            Json entry = Json::object();
            entry["id"] = device->name();
            entry["card"] = identity.card;
            entry["vid"] = identity.vendorId;
            entry["pid"] = identity.productId;
            entry["serial"] = identity.serial;
            entry["bus"] = identity.busPath;
            entry["busy"] = identity.busy;
            Json units = Json::array();
            for (const auto& unit : device->extensionUnits()) {
                uint8_t bytes[16];
                unit.guid.toBytes(bytes);
                Json u = Json::object();
                u["unit"] = unit.unitId;
                u["guid"] = vorq::platform::formatGuid(vorq::platform::guidFromBytes(bytes));
                units.push_back(std::move(u));
            }
            entry["units"] = std::move(units);
            entry["video"] = identity.videoGraph;
            entry["microphone"] = identity.microphone;
            entry["audio"] = identity.audioGraph;
            array.push_back(std::move(entry));
        }
        Json reply = Json::object();
        reply["devices"] = std::move(array);
        return reply;
    }

    Json xu(Camera& device, const Json& request)
    {
        int64_t unit = 0, selector = 0, size = 0;
        std::string queryName;
        uint8_t query = 0;
        if (!jsonInt(jsonMember(request, "unit"), unit, 0, 255) ||
            !jsonInt(jsonMember(request, "selector"), selector, 0, 255) ||
            !jsonInt(jsonMember(request, "size"), size, 0, 65535) || !jsonString(jsonMember(request, "query"), queryName) ||
            !vorq::simcam::queryFromName(queryName, query))
            return errnoReply(EINVAL);
        std::vector<uint8_t> data(static_cast<size_t>(size));
        if (query == vorq::simcam::SET_CUR) {
            std::string hex;
            if (!jsonString(jsonMember(request, "data"), hex) || !fromHex(hex, data) ||
                data.size() != static_cast<size_t>(size))
                return errnoReply(EINVAL);
        }
        int err = device.xuQuery(static_cast<uint8_t>(unit), static_cast<uint8_t>(selector), query, data.data(),
                                 static_cast<uint16_t>(size));
        Json reply = errnoReply(err);
        if (!err && query != vorq::simcam::SET_CUR) reply["data"] = toHex(data.data(), data.size());
        return reply;
    }

    std::string stateDir_;
    std::map<std::string, std::unique_ptr<Camera>> devices_;
};

struct Client {
    int fd;
    std::string pending;
};

bool sendAll(int fd, const std::string& text)
{
    size_t sent = 0;
    while (sent < text.size()) {
        ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: vorq-simdev <socket path> [state dir]\n");
        return 2;
    }
    const std::string socketPath = argv[1];
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        std::fprintf(stderr, "vorq-simdev: socket path too long: %s\n", socketPath.c_str());
        return 2;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);

    int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::unlink(socketPath.c_str());
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 ||
        ::listen(listener, 16) < 0) {
        std::fprintf(stderr, "vorq-simdev: cannot listen on %s: %s\n", socketPath.c_str(), std::strerror(errno));
        return 1;
    }
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    DeviceServer server(argc == 3 ? argv[2] : "1");
    std::vector<Client> clients;
    std::printf("vorq-simdev: serving on %s\n", socketPath.c_str());
    std::fflush(stdout);
    while (!stopRequested) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        for (const auto& c : clients) fds.push_back({c.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) clients.push_back({fd, {}});
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Client& client = clients[i - 1];
            char buffer[65536];
            ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
            bool keep = n > 0;
            if (keep) client.pending.append(buffer, static_cast<size_t>(n));
            for (size_t end; keep && (end = client.pending.find('\n')) != std::string::npos;) {
                std::string line = client.pending.substr(0, end);
                client.pending.erase(0, end + 1);
                Json request;
                Json reply = vorq::platform::parseJson(line, request) ? server.handle(request)
                                                                      : DeviceServer::errnoReply(EINVAL);
                keep = sendAll(client.fd, vorq::platform::toJsonText(reply) + "\n");
            }
            if (client.pending.size() > kMaxLine) keep = false;
            if (!keep) {
                ::close(client.fd);
                client.fd = -1;
            }
        }
        std::vector<Client> open;
        for (auto& c : clients)
            if (c.fd >= 0) open.push_back(std::move(c));
        clients = std::move(open);
    }
    for (const auto& c : clients) ::close(c.fd);
    ::close(listener);
    ::unlink(socketPath.c_str());
    return 0;
}

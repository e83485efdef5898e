// vorq-simdev: the built-in simulated camera served as an external device,
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

#include "platform/UvcDevice.h"
#include "sim/HexText.h"
#include "sim/JsonValue.h"
#include "sim/SimBackend.h"

using vorq::platform::DeviceList;
using vorq::platform::JsonValue;
using vorq::platform::UvcDevice;
using vorq::platform::fromHex;
using vorq::platform::toHex;

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

constexpr size_t kMaxLine = 1 << 20;

// "sim-cam0" -> "cam0"
std::string idOf(const UvcDevice& device)
{
    const std::string& node = device.identity().videoNode;
    return node.rfind("sim-", 0) == 0 ? node.substr(4) : node;
}

class DeviceServer {
public:
    explicit DeviceServer(std::string stateDir) : stateDir_(std::move(stateDir)) {}

    JsonValue handle(const JsonValue& request)
    {
        const JsonValue* op = request.find("op");
        if (!request.isObject() || !op || !op->isString()) return errnoReply(EINVAL);
        const std::string& name = op->asString();
        if (name == "list") return list();
        if (name != "xu" && name != "queryctrl" && name != "g_ctrl" && name != "s_ctrl") return errnoReply(EINVAL);

        const JsonValue* id = request.find("id");
        if (!id || !id->isString()) return errnoReply(EINVAL);
        UvcDevice* device = find(id->asString());
        if (!device) return errnoReply(ENODEV);
        if (name == "xu") return xu(*device, request);

        int64_t cid = 0;
        const JsonValue* cidValue = request.find("cid");
        if (!cidValue || !cidValue->getInt(cid, 0, UINT32_MAX)) return errnoReply(EINVAL);
        if (name == "queryctrl") {
            vorq::platform::ControlRange range;
            int err = device->queryControl(static_cast<uint32_t>(cid), range);
            JsonValue reply = errnoReply(err);
            if (!err) {
                reply.set("min", range.minimum);
                reply.set("max", range.maximum);
                reply.set("step", range.step);
                reply.set("default", range.defaultValue);
                reply.set("flags", range.flags);
            }
            return reply;
        }
        if (name == "g_ctrl") {
            int32_t value = 0;
            int err = device->getControl(static_cast<uint32_t>(cid), value);
            JsonValue reply = errnoReply(err);
            if (!err) reply.set("value", value);
            return reply;
        }
        int64_t value = 0;
        const JsonValue* valueField = request.find("value");
        if (!valueField || !valueField->getInt(value, INT32_MIN, INT32_MAX)) return errnoReply(EINVAL);
        return errnoReply(device->setControl(static_cast<uint32_t>(cid), static_cast<int32_t>(value)));
    }

private:
    static JsonValue errnoReply(int err)
    {
        JsonValue reply = JsonValue::object();
        reply.set("errno", err);
        return reply;
    }

    // A fresh walk each time, so reboots and unplugs show as they happen.
    DeviceList walk() { return vorq::platform::enumerateSimCameras(stateDir_); }

    UvcDevice* find(const std::string& id)
    {
        DeviceList devices = walk();
        for (auto& device : devices)
            if (idOf(*device) == id) {
                auto& slot = devices_[id];
                if (!slot) slot = std::move(device);
                return slot.get();
            }
        devices_.erase(id);
        return nullptr;
    }

    JsonValue list()
    {
        JsonValue array = JsonValue::array();
        for (const auto& device : walk()) {
            const auto& identity = device->identity();
            JsonValue entry = JsonValue::object();
            entry.set("id", idOf(*device));
            entry.set("card", identity.card);
            entry.set("vid", identity.vendorId);
            entry.set("pid", identity.productId);
            entry.set("serial", identity.serial);
            entry.set("bus", identity.busPath);
            entry.set("busy", identity.busy);
            JsonValue units = JsonValue::array();
            for (const auto& unit : device->extensionUnits()) {
                JsonValue u = JsonValue::object();
                u.set("unit", unit.unitId);
                u.set("guid", vorq::platform::formatGuid(unit.guid));
                units.append(std::move(u));
            }
            entry.set("units", std::move(units));
            entry.set("video", identity.videoGraph);
            entry.set("microphone", identity.microphone);
            entry.set("audio", identity.audioGraph);
            array.append(std::move(entry));
        }
        JsonValue reply = JsonValue::object();
        reply.set("devices", std::move(array));
        return reply;
    }

    JsonValue xu(UvcDevice& device, const JsonValue& request)
    {
        int64_t unit = 0, selector = 0, size = 0;
        const JsonValue* unitField = request.find("unit");
        const JsonValue* selectorField = request.find("selector");
        const JsonValue* sizeField = request.find("size");
        const JsonValue* queryField = request.find("query");
        uint8_t query = 0;
        if (!unitField || !unitField->getInt(unit, 0, 255) || !selectorField || !selectorField->getInt(selector, 0, 255) ||
            !sizeField || !sizeField->getInt(size, 0, 65535) || !queryField || !queryField->isString() ||
            !vorq::platform::uvcQueryFromName(queryField->asString(), query))
            return errnoReply(EINVAL);
        std::vector<uint8_t> data(static_cast<size_t>(size));
        if (query == vorq::platform::UVC_SET_CUR) {
            const JsonValue* hex = request.find("data");
            if (!hex || !hex->isString() || !fromHex(hex->asString(), data) || data.size() != static_cast<size_t>(size))
                return errnoReply(EINVAL);
        }
        int err = device.xuQuery(static_cast<uint8_t>(unit), static_cast<uint8_t>(selector), query, data.data(),
                                 static_cast<uint16_t>(size));
        JsonValue reply = errnoReply(err);
        if (!err && query != vorq::platform::UVC_SET_CUR) reply.set("data", toHex(data.data(), data.size()));
        return reply;
    }

    std::string stateDir_;
    std::map<std::string, std::unique_ptr<UvcDevice>> devices_;
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
                JsonValue request;
                JsonValue reply = JsonValue::parse(line, request) ? server.handle(request) : JsonValue::object();
                if (reply.size() == 0) reply.set("errno", EINVAL);
                keep = sendAll(client.fd, reply.serialize() + "\n");
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

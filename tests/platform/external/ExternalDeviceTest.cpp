#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "FakeDeviceServer.h"
#include "sim/ExternalBackend.h"
#include "sim/ExternalConnection.h"
#include "sim/ExternalUvcDevice.h"

using namespace vorq::platform;
using Reply = FakeDeviceServer::Reply;

namespace {

constexpr uint32_t kBrightness = 9963776; // V4L2_CID_BRIGHTNESS
constexpr uint32_t kContrast = 9963777;

// Answers the requests in turn with the given replies, then with errno 22.
FakeDeviceServer::Handler scripted(std::vector<Reply> replies)
{
    auto next = std::make_shared<size_t>(0);
    return [replies = std::move(replies), next](const Json&) {
        return *next < replies.size() ? replies[(*next)++] : FakeDeviceServer::send(R"({"errno":22})");
    };
}

// Replies are single lines; lets a test lay a long one out readably.
std::string oneLine(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
    return text;
}

std::unique_ptr<ExternalUvcDevice> deviceOn(const FakeDeviceServer& server, int timeoutMs = 5000)
{
    return std::make_unique<ExternalUvcDevice>(server.path(), "cam0", UvcIdentity{}, std::vector<ExtensionUnit>{},
                                               timeoutMs);
}

// Keeps VORQ_SIM_TIMEOUT_MS generous unless a test wants a short one, so a
// loaded machine cannot turn a slow answer into a failure.
class ExternalDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("VORQ_SIM_TIMEOUT_MS")) saved_ = std::make_unique<std::string>(old);
        ::setenv("VORQ_SIM_TIMEOUT_MS", "5000", 1);
    }
    void TearDown() override
    {
        if (saved_) ::setenv("VORQ_SIM_TIMEOUT_MS", saved_->c_str(), 1);
        else ::unsetenv("VORQ_SIM_TIMEOUT_MS");
    }

private:
    std::unique_ptr<std::string> saved_;
};

} // namespace

TEST_F(ExternalDevice, ListBuildsOneCameraPerValidEntry)
{
    FakeDeviceServer server(scripted({FakeDeviceServer::send(oneLine(R"j({"devices":[
        {"id":"cam0","card":"TELDORA TX42","vid":40747,"pid":66,"serial":"SN0001","bus":"1-4","busy":false,
         "units":[{"unit":4,"guid":"{A7A6A934-3A4A-4351-85F4-042EF2CDCAAB}"},
                  {"unit":"5","guid":"{9D33BBE7-E619-435C-8FAC-528EECCCBCA4}"},
                  {"unit":6,"guid":"1b7fdaaf-9f57-4f6f-ad21-3bd92341bb54"},
                  {"unit":7,"guid":"not a guid"}],
         "video":"testsrc2","microphone":"麦克风 (TELDORA TX42)","audio":"sine"},
        {"id":"cam1","card":"Other","vid":1,"pid":2,"busy":true},
        {"card":"no id","vid":1,"pid":2},
        {"id":"cam2","card":"vid as text","vid":"9f2b","pid":2},
        {"id":"cam3","card":"vid too big","vid":70000,"pid":2},
        {"id":"cam4","card":"no pid","vid":1},
        {"id":"cam5","vid":1,"pid":2},
        {"id":"cam0","card":"same id again","vid":1,"pid":2},
        "not an object"]})j"))}));

    testing::internal::CaptureStderr();
    DeviceList cameras = enumerateExternalCameras(server.path());
    std::string diagnostics = testing::internal::GetCapturedStderr();

    EXPECT_EQ(server.requests(), std::vector<std::string>{R"({"op":"list"})"});
    ASSERT_EQ(cameras.size(), 2u);
    const UvcIdentity& id = cameras[0]->identity();
    EXPECT_EQ(id.card, "TELDORA TX42");
    EXPECT_EQ(id.vendorId, 0x9f2b);
    EXPECT_EQ(id.productId, 0x42);
    EXPECT_EQ(id.serial, "SN0001");
    EXPECT_EQ(id.busPath, "1-4");
    EXPECT_EQ(id.videoNode, "ext-cam0");
    EXPECT_TRUE(id.usb);
    EXPECT_TRUE(id.simulated);
    EXPECT_FALSE(id.busy);
    EXPECT_EQ(id.videoGraph, "testsrc2");
    EXPECT_EQ(id.microphone, "麦克风 (TELDORA TX42)");
    EXPECT_EQ(id.audioGraph, "sine");

    const auto& units = cameras[0]->extensionUnits();
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].unitId, 4);
    EXPECT_EQ(formatGuid(units[0].guid), "{A7A6A934-3A4A-4351-85F4-042EF2CDCAAB}");
    EXPECT_EQ(units[1].unitId, 6);
    EXPECT_EQ(formatGuid(units[1].guid), "{1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54}");

    EXPECT_EQ(cameras[1]->identity().card, "Other");
    EXPECT_TRUE(cameras[1]->identity().busy);
    EXPECT_TRUE(cameras[1]->extensionUnits().empty());

    // One line per skipped entry (7) and per skipped unit (2), all attributed.
    size_t lines = 0;
    for (size_t p = 0; (p = diagnostics.find("vorq-sim: external device " + server.path() + ": ", p)) !=
                       std::string::npos;
         ++p)
        ++lines;
    EXPECT_EQ(lines, 9u) << diagnostics;
    EXPECT_NE(diagnostics.find("device entry 3: skipped, missing or invalid \"vid\""), std::string::npos);
    EXPECT_NE(diagnostics.find("duplicate \"id\" cam0"), std::string::npos);
}

TEST_F(ExternalDevice, FailedListGivesNoCamerasAndSaysWhy)
{
    for (const char* reply : {R"({"errno":5})", R"({"devices":{}})", "[]", "garbage"}) {
        FakeDeviceServer server(scripted({FakeDeviceServer::send(std::string(reply))}));
        testing::internal::CaptureStderr();
        EXPECT_TRUE(enumerateExternalCameras(server.path()).empty()) << reply;
        EXPECT_NE(testing::internal::GetCapturedStderr().find("vorq-sim: external device"), std::string::npos);
    }
    testing::internal::CaptureStderr();
    EXPECT_TRUE(enumerateExternalCameras("/nonexistent/vorq/device.sock").empty());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot connect"), std::string::npos);
}

TEST_F(ExternalDevice, XuRequestsCarryExactFieldsAndHex)
{
    std::string stored;
    FakeDeviceServer server([&stored](const Json& r) {
        const std::string q = r.value("query", std::string());
        if (q == "SET_CUR") {
            stored = r.value("data", std::string());
            return FakeDeviceServer::send(R"({"errno":0})");
        }
        if (q == "GET_CUR") return FakeDeviceServer::send(R"({"errno":0,"data":")" + stored + "\"}");
        if (q == "GET_LEN") return FakeDeviceServer::send(R"({"errno":0,"data":"0c01"})");
        if (q == "GET_INFO") return FakeDeviceServer::send(R"({"errno":0,"data":"03"})");
        return FakeDeviceServer::send(R"({"errno":22})");
    });
    auto dev = deviceOn(server);

    uint8_t out[3] = {0x00, 0xAB, 0x7F};
    EXPECT_EQ(dev->xuQuery(4, 9, UVC_SET_CUR, out, 3), 0);
    uint8_t in[3] = {};
    EXPECT_EQ(dev->xuQuery(4, 9, UVC_GET_CUR, in, 3), 0);
    EXPECT_EQ(std::memcmp(in, out, 3), 0);
    uint8_t len[2] = {};
    EXPECT_EQ(dev->xuQuery(3, 6, UVC_GET_LEN, len, 2), 0);
    EXPECT_EQ(len[0] | (len[1] << 8), 268);
    uint8_t info = 0;
    EXPECT_EQ(dev->xuQuery(3, 6, UVC_GET_INFO, &info, 1), 0);
    EXPECT_EQ(info, 3);
    EXPECT_EQ(dev->xuQuery(4, 1, UVC_GET_DEF, in, 3), EINVAL);

    EXPECT_EQ(server.requests(), (std::vector<std::string>{
        R"({"op":"xu","id":"cam0","unit":4,"selector":9,"query":"SET_CUR","size":3,"data":"00ab7f"})",
        R"({"op":"xu","id":"cam0","unit":4,"selector":9,"query":"GET_CUR","size":3})",
        R"({"op":"xu","id":"cam0","unit":3,"selector":6,"query":"GET_LEN","size":2})",
        R"({"op":"xu","id":"cam0","unit":3,"selector":6,"query":"GET_INFO","size":1})",
        R"({"op":"xu","id":"cam0","unit":4,"selector":1,"query":"GET_DEF","size":3})",
    }));
    EXPECT_EQ(server.connectionsAccepted(), 1) << "one connection carries every request";

    // Requests that cannot be expressed never reach the device.
    EXPECT_EQ(dev->xuQuery(4, 9, 0x42, in, 3), EINVAL);
    EXPECT_EQ(dev->xuQuery(4, 9, UVC_GET_CUR, nullptr, 3), EINVAL);
    EXPECT_EQ(server.requests().size(), 5u);
}

TEST_F(ExternalDevice, XuReadsOnlyAcceptExactlySizeBytes)
{
    FakeDeviceServer server(scripted({
        FakeDeviceServer::send(R"({"errno":0,"data":"0102"})"),
        FakeDeviceServer::send(R"({"errno":0,"data":"01020304"})"),
        FakeDeviceServer::send(R"({"errno":0,"data":"0102z3"})"),
        FakeDeviceServer::send(R"({"errno":0,"data":"01020"})"),
        FakeDeviceServer::send(R"({"errno":0,"data":66051})"),
        FakeDeviceServer::send(R"({"errno":0})"),
        FakeDeviceServer::send(R"({"errno":"0","data":"010203"})"),
        FakeDeviceServer::send(R"({"errno":-1,"data":"010203"})"),
        FakeDeviceServer::send(R"({"data":"010203"})"),
        FakeDeviceServer::send(R"({"errno":19,"data":"010203"})"),
        FakeDeviceServer::send(R"({"errno":0,"data":"0A0b0C"})"),
    }));
    auto dev = deviceOn(server);
    uint8_t buf[3] = {0xEE, 0xEE, 0xEE};

    testing::internal::CaptureStderr();
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(dev->xuQuery(4, 9, UVC_GET_CUR, buf, 3), EIO) << "reply " << i;
        EXPECT_EQ(buf[0] & buf[1] & buf[2], 0xEE) << "reply " << i << " must not touch the buffer";
    }
    std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_NE(diagnostics.find("malformed reply to xu GET_CUR: \"data\" has 2 bytes, expected 3"), std::string::npos)
        << diagnostics;

    // The device's own errno is passed through, with no data taken.
    EXPECT_EQ(dev->xuQuery(4, 9, UVC_GET_CUR, buf, 3), ENODEV);
    EXPECT_EQ(buf[0] & buf[1] & buf[2], 0xEE);
    EXPECT_EQ(dev->xuQuery(4, 9, UVC_GET_CUR, buf, 3), 0);
    EXPECT_EQ(buf[0], 0x0A);
    EXPECT_EQ(buf[1], 0x0B);
    EXPECT_EQ(buf[2], 0x0C);
}

TEST_F(ExternalDevice, ControlsMapToTheirRequests)
{
    FakeDeviceServer server(scripted({
        FakeDeviceServer::send(R"({"errno":0,"min":-10,"max":14,"step":2,"default":7,"flags":32})"),
        FakeDeviceServer::send(R"({"errno":0,"min":0,"max":1,"step":1,"default":0})"),
        FakeDeviceServer::send(R"({"errno":0,"value":-3})"),
        FakeDeviceServer::send(R"({"errno":0})"),
        FakeDeviceServer::send(R"({"errno":22})"),
        FakeDeviceServer::send(R"({"errno":22})"),
        FakeDeviceServer::send(R"({"errno":0,"min":0,"max":14})"),
        FakeDeviceServer::send(R"({"errno":0,"value":4294967296})"),
    }));
    auto dev = deviceOn(server);

    ControlRange range;
    EXPECT_EQ(dev->queryControl(kContrast, range), 0);
    EXPECT_EQ(range.minimum, -10);
    EXPECT_EQ(range.maximum, 14);
    EXPECT_EQ(range.step, 2);
    EXPECT_EQ(range.defaultValue, 7);
    EXPECT_EQ(range.flags, 32u);
    EXPECT_EQ(dev->queryControl(kBrightness, range), 0);
    EXPECT_EQ(range.flags, 0u) << "absent flags mean none";
    int32_t value = 0;
    EXPECT_EQ(dev->getControl(kContrast, value), 0);
    EXPECT_EQ(value, -3);
    EXPECT_EQ(dev->setControl(kContrast, -5), 0);

    EXPECT_EQ(server.requests(), (std::vector<std::string>{
        R"({"op":"queryctrl","id":"cam0","cid":9963777})",
        R"({"op":"queryctrl","id":"cam0","cid":9963776})",
        R"({"op":"g_ctrl","id":"cam0","cid":9963777})",
        R"({"op":"s_ctrl","id":"cam0","cid":9963777,"value":-5})",
    }));

    // Errors and malformed answers leave the outputs alone.
    range = ControlRange{};
    value = 99;
    EXPECT_EQ(dev->queryControl(kContrast, range), EINVAL);
    EXPECT_EQ(dev->getControl(kContrast, value), EINVAL);
    testing::internal::CaptureStderr();
    EXPECT_EQ(dev->queryControl(kContrast, range), EIO);
    EXPECT_EQ(dev->getControl(kContrast, value), EIO);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(range.maximum, 0);
    EXPECT_EQ(value, 99);
}

TEST_F(ExternalDevice, BrokenRepliesDropTheConnectionAndTheNextRequestReconnects)
{
    FakeDeviceServer server(scripted({
        FakeDeviceServer::send(std::string("{\"errno\":0,")),
        FakeDeviceServer::send(std::string(R"([{"errno":0}])")),
        FakeDeviceServer::closeConnection(),
        FakeDeviceServer::send(R"({"errno":0,"value":3})"),
    }));
    auto dev = deviceOn(server);
    int32_t value = 0;

    testing::internal::CaptureStderr();
    EXPECT_EQ(dev->getControl(kContrast, value), EIO);
    EXPECT_EQ(dev->getControl(kContrast, value), EIO);
    EXPECT_EQ(dev->getControl(kContrast, value), ENODEV);
    std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_EQ(dev->getControl(kContrast, value), 0);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(server.connectionsAccepted(), 4);

    const std::string prefix = "vorq-sim: external device " + server.path() + ": ";
    EXPECT_NE(diagnostics.find(prefix + "invalid JSON in the reply"), std::string::npos) << diagnostics;
    EXPECT_NE(diagnostics.find(prefix + "the reply is not a JSON object\n"), std::string::npos);
    EXPECT_NE(diagnostics.find(prefix + "the device closed the connection\n"), std::string::npos);
}

TEST_F(ExternalDevice, SilentDeviceTimesOutAndItsLateAnswerIsNeverTaken)
{
    ::setenv("VORQ_SIM_TIMEOUT_MS", "200", 1);
    std::atomic<int> seen{0};
    FakeDeviceServer server([&seen](const Json& r) {
        if (r.value("op", std::string()) == "list")
            return FakeDeviceServer::send(R"({"devices":[{"id":"cam0","card":"TELDORA TX42","vid":1,"pid":2}]})");
        // The first control request is never answered on its connection.
        if (seen++ == 0) return FakeDeviceServer::silent();
        return FakeDeviceServer::send(R"({"errno":0,"value":)" + std::to_string(r.value("cid", int64_t{0})) + "}");
    });
    DeviceList cameras = enumerateExternalCameras(server.path());
    ASSERT_EQ(cameras.size(), 1u);

    int32_t value = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(cameras[0]->getControl(kContrast, value), ETIMEDOUT);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "vorq-sim: external device " + server.path() + ": no answer within 200 ms\n");
    EXPECT_EQ(cameras[0]->getControl(kBrightness, value), 0);
    EXPECT_EQ(value, static_cast<int32_t>(kBrightness));
    // The list, the timed-out connection, and a fresh one: whatever the device
    // might still send on the abandoned connection is never read.
    EXPECT_EQ(server.connectionsAccepted(), 3);
}

TEST_F(ExternalDevice, ReplyLinesAreLimitedToOneMebibyte)
{
    const std::string body = R"({"errno":0,"value":1})";
    std::string atLimit = body + std::string(ExternalConnection::kMaxLineBytes - body.size(), ' ');
    FakeDeviceServer server(scripted({FakeDeviceServer::send(atLimit), FakeDeviceServer::send(atLimit + " ")}));
    auto dev = deviceOn(server);
    int32_t value = 0;
    EXPECT_EQ(dev->getControl(kContrast, value), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(dev->getControl(kContrast, value), EIO);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("reply line longer than 1048576 bytes"), std::string::npos);
}

TEST_F(ExternalDevice, UnreachableDeviceGivesEnodev)
{
    int32_t value = 0;
    {
        // A socket file nobody listens on refuses the connection.
        FakeDeviceServer dir(scripted({}));
        std::string path = dir.path() + ".stale";
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::close(fd);
        ExternalUvcDevice refused(path, "cam0", {}, {}, 5000);
        testing::internal::CaptureStderr();
        EXPECT_EQ(refused.getControl(kContrast, value), ENODEV);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot connect: Connection refused"),
                  std::string::npos);
        ::unlink(path.c_str());
    }

    // A device that hangs up at once while a request larger than the socket
    // buffer is on its way: EPIPE must come back as a status, not kill the
    // process with SIGPIPE.
    FakeDeviceServer server(scripted({}));
    server.setCloseOnAccept(true);
    ExternalConnection connection(server.path(), 5000);
    Json request = Json::object();
    request["op"] = "xu";
    request["data"] = std::string(4 << 20, 'a');
    Json reply;
    testing::internal::CaptureStderr();
    EXPECT_EQ(connection.request(request, reply), ENODEV);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("the device closed the connection"), std::string::npos);
    EXPECT_FALSE(connection.isConnected());
}

TEST_F(ExternalDevice, ConnectingToAListenerThatNeverAcceptsIsBounded)
{
    FakeDeviceServer dir(scripted({}));
    std::string path = dir.path() + ".full";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    // Fill the backlog so the next connect has to wait.
    int first = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_EQ(::connect(first, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    ExternalConnection connection(path, 200);
    Json reply;
    testing::internal::CaptureStderr();
    EXPECT_EQ(connection.request(Json{{"op", "list"}}, reply), ETIMEDOUT);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no answer within 200 ms"), std::string::npos);
    ::close(first);
    ::close(listener);
    ::unlink(path.c_str());
}

TEST_F(ExternalDevice, IdleConnectionClosedByTheDeviceIsReplacedQuietly)
{
    FakeDeviceServer server(scripted({FakeDeviceServer::send(R"({"errno":0,"value":1})"),
                                      FakeDeviceServer::send(R"({"errno":0,"value":2})")}));
    auto dev = deviceOn(server);
    int32_t value = 0;
    EXPECT_EQ(dev->getControl(kContrast, value), 0);
    server.closeClients();
    testing::internal::CaptureStderr();
    EXPECT_EQ(dev->getControl(kContrast, value), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(value, 2);
    EXPECT_EQ(server.connectionsAccepted(), 2);
}

TEST_F(ExternalDevice, ReopenedDeviceHasItsOwnConnection)
{
    const std::string listed = R"({"devices":[{"id":"cam0","card":"TELDORA TX42","vid":40747,"pid":66,)"
                               R"("serial":"SN1","busy":true,"units":[{"unit":4,"guid":"{00000000-0000-0000-0000-000000000000}"}]}]})";
    FakeDeviceServer server([&listed](const Json& r) {
        if (r.value("op", std::string()) == "list") return FakeDeviceServer::send(listed);
        return FakeDeviceServer::send(R"({"errno":0,"value":)" + std::to_string(r.value("cid", int64_t{0})) + "}");
    });
    UvcIdentity identity;
    identity.card = "TELDORA TX42";
    identity.vendorId = 0x9f2b;
    identity.productId = 0x0042;
    identity.serial = "SN1";
    identity.videoNode = "ext-cam0";
    ExternalUvcDevice dev(server.path(), "cam0", identity, {{4, GUID_NULL}}, 5000);
    std::unique_ptr<UvcDevice> other = dev.reopen();
    ASSERT_TRUE(other);
    EXPECT_EQ(other->identity().videoNode, "ext-cam0");
    // What the device says now: the camera has become busy.
    EXPECT_TRUE(other->identity().busy);
    ASSERT_EQ(other->extensionUnits().size(), 1u);

    // Both handles in use from two threads: each answer reaches its asker.
    auto hammer = [](UvcDevice& d, uint32_t base, std::atomic<int>& wrong) {
        for (uint32_t i = 0; i < 100; ++i) {
            int32_t v = 0;
            if (d.getControl(base + i, v) != 0 || v != static_cast<int32_t>(base + i)) ++wrong;
        }
    };
    std::atomic<int> wrong{0};
    std::thread a(hammer, std::ref(dev), 1000u, std::ref(wrong));
    std::thread b(hammer, std::ref(dev), 2000u, std::ref(wrong));
    hammer(*other, 3000u, wrong);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
    // One for the list that reopen() asked, one per handle.
    EXPECT_EQ(server.connectionsAccepted(), 3);
}

TEST_F(ExternalDevice, ReopenGivesNothingOnceTheCameraIsGoneOrAnother)
{
    auto listing = std::make_shared<std::string>(R"({"devices":[]})");
    FakeDeviceServer server([listing](const Json&) { return FakeDeviceServer::send(*listing); });
    UvcIdentity identity;
    identity.vendorId = 0x9f2b;
    identity.productId = 0x0042;
    identity.serial = "SN1";
    ExternalUvcDevice dev(server.path(), "cam0", identity, {}, 5000);
    EXPECT_FALSE(dev.reopen());
    // Under the same id now sits a camera with another serial number.
    *listing = R"({"devices":[{"id":"cam0","card":"X","vid":40747,"pid":66,"serial":"SN2"}]})";
    EXPECT_FALSE(dev.reopen());
    *listing = R"({"devices":[{"id":"cam0","card":"X","vid":40747,"pid":66,"serial":"SN1"}]})";
    EXPECT_TRUE(dev.reopen());
}

TEST(ExternalConnectionTimeout, ComesFromTheEnvironmentWhenValid)
{
    const char* old = std::getenv("VORQ_SIM_TIMEOUT_MS");
    std::string saved = old ? old : "";
    ::unsetenv("VORQ_SIM_TIMEOUT_MS");
    EXPECT_EQ(ExternalConnection::timeoutFromEnvironment(), 2000);
    for (const char* bad : {"", "0", "-5", "12ms", "abc"}) {
        ::setenv("VORQ_SIM_TIMEOUT_MS", bad, 1);
        EXPECT_EQ(ExternalConnection::timeoutFromEnvironment(), 2000) << bad;
    }
    ::setenv("VORQ_SIM_TIMEOUT_MS", "150", 1);
    EXPECT_EQ(ExternalConnection::timeoutFromEnvironment(), 150);
    if (old) ::setenv("VORQ_SIM_TIMEOUT_MS", saved.c_str(), 1);
    else ::unsetenv("VORQ_SIM_TIMEOUT_MS");
}

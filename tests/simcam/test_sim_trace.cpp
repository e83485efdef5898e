// The transfer trace that tests use to check the bytes a camera received.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "SimTestDirectory.h"

using namespace vorq::platform;

namespace {

std::vector<std::string> lines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The value of a field as it stands in the line (quotes stripped).
std::string field(const std::string& line, const std::string& name)
{
    const std::string key = "\"" + name + "\":";
    size_t at = line.find(key);
    if (at == std::string::npos) return "<missing>";
    at += key.size();
    if (line[at] == '"') {
        size_t end = line.find('"', at + 1);
        return end == std::string::npos ? "<unterminated>" : line.substr(at + 1, end - at - 1);
    }
    size_t end = line.find_first_of(",}", at);
    return line.substr(at, end - at);
}

class SimTraceTest : public ::testing::Test {
protected:
    void TearDown() override { unsetenv("VORQ_SIM_TRACE"); }
    SimTestDirectory dir;
};

TEST_F(SimTraceTest, OneLinePerTransferWithTheBytesMoved)
{
    const std::string trace = dir.path() + "/trace.jsonl";
    setenv("VORQ_SIM_TRACE", trace.c_str(), 1);
    auto cams = dir.cameras();
    ASSERT_EQ(cams.size(), 1u);
    UvcDevice& cam = *cams[0];

    uint8_t written[3] = {0xFF, 0x00, 0x06};
    ASSERT_EQ(cam.xuQuery(5, 12, UVC_SET_CUR, written, 3), 0);
    uint8_t info[24];
    ASSERT_EQ(cam.xuQuery(4, 9, UVC_GET_CUR, info, 24), 0);
    uint8_t one = 0;
    ASSERT_EQ(cam.xuQuery(4, 9, UVC_GET_CUR, &one, 1), EINVAL);
    ASSERT_EQ(cam.setControl(V4L2_CID_CONTRAST, 5), 0);
    int32_t value = 0;
    ASSERT_EQ(cam.getControl(V4L2_CID_CONTRAST, value), 0);
    ControlRange range;
    ASSERT_EQ(cam.queryControl(V4L2_CID_CONTRAST, range), 0);

    auto out = lines(trace);
    ASSERT_EQ(out.size(), 6u);
    for (const auto& l : out) {
        EXPECT_EQ(l.front(), '{');
        EXPECT_EQ(l.back(), '}');
        EXPECT_EQ(field(l, "dev"), "cam0");
        EXPECT_GE(std::stod(field(l, "t")), 0.0);
    }
    EXPECT_EQ(field(out[0], "unit"), "5");
    EXPECT_EQ(field(out[0], "selector"), "12");
    EXPECT_EQ(field(out[0], "query"), "SET_CUR");
    EXPECT_EQ(field(out[0], "size"), "3");
    EXPECT_EQ(field(out[0], "data"), "ff0006");
    EXPECT_EQ(field(out[0], "errno"), "0");
    EXPECT_EQ(field(out[1], "query"), "GET_CUR");
    EXPECT_EQ(field(out[1], "data"), "54583432" "3a312e302e333a534e30303031" + std::string(14, '0'));
    EXPECT_EQ(field(out[2], "data"), "") << "nothing moved on a failure";
    EXPECT_EQ(field(out[2], "errno"), std::to_string(EINVAL));
    EXPECT_EQ(field(out[3], "op"), "s_ctrl");
    EXPECT_EQ(field(out[3], "cid"), std::to_string(V4L2_CID_CONTRAST));
    EXPECT_EQ(field(out[3], "value"), "5");
    EXPECT_EQ(field(out[4], "op"), "g_ctrl");
    EXPECT_EQ(field(out[4], "value"), "5");
    EXPECT_EQ(field(out[5], "op"), "queryctrl");
    EXPECT_EQ(field(out[5], "max"), "14");
    EXPECT_LE(std::stod(field(out[0], "t")), std::stod(field(out[5], "t")));
}

TEST_F(SimTraceTest, TraceIsReadWhenTheDeviceIsCreatedAndAppends)
{
    const std::string trace = dir.path() + "/trace.jsonl";
    auto untraced = dir.cameras();
    ASSERT_EQ(untraced.size(), 1u);
    setenv("VORQ_SIM_TRACE", trace.c_str(), 1);
    uint8_t b = 0;
    ASSERT_EQ(untraced[0]->xuQuery(4, 13, UVC_GET_CUR, &b, 1), 0);
    EXPECT_TRUE(lines(trace).empty());

    // A reopened handle and a second walk both add to the same file.
    auto reopened = untraced[0]->reopen();
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->xuQuery(4, 13, UVC_GET_CUR, &b, 1), 0);
    auto walk = dir.cameras();
    ASSERT_EQ(walk[0]->xuQuery(4, 13, UVC_GET_CUR, &b, 1), 0);
    auto out = lines(trace);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(field(out[1], "data"), "06");
}

} // namespace

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>

#include "CameraWalkFixture.h"

using namespace vorq::platform;
using Calls = std::vector<std::string>;

namespace {

constexpr ULONG kSupport = KSPROPERTY_TYPE_SETSUPPORT | KSPROPERTY_TYPE_TOPOLOGY;
constexpr ULONG kRead = KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_TOPOLOGY;
constexpr ULONG kWrite = KSPROPERTY_TYPE_SET | KSPROPERTY_TYPE_TOPOLOGY;
constexpr HRESULT kMoreData = HRESULT_FROM_WIN32(ERROR_MORE_DATA);
constexpr HRESULT kSetNotFound = HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
const char* const kSettings = "{A7A6A934-3A4A-4351-85F4-042EF2CDCAAB}";
const char* const kUpgrade = "{1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54}";

KSP_NODE request(const char* set, ULONG selector, ULONG flags, ULONG node)
{
    KSP_NODE r{};
    parseGuid(set, r.Property.Set);
    r.Property.Id = selector;
    r.Property.Flags = flags;
    r.NodeId = node;
    return r;
}

class CaptureFilterTest : public CameraWalkFixture {
protected:
    void SetUp() override
    {
        CameraWalkFixture::SetUp();
        filter = bindFirst<IBaseFilter>(IID_IBaseFilter);
        ASSERT_TRUE(filter);
        ASSERT_EQ(filter.As(IID_IKsControl, ks), S_OK);
        ASSERT_EQ(filter.As(IID_IAMCameraControl, cameraControl), S_OK);
        ASSERT_EQ(filter.As(IID_IAMVideoProcAmp, procAmp), S_OK);
        camera().calls.clear();
    }

    HRESULT send(KSP_NODE r, void* data, ULONG length, ULONG* returned)
    {
        return ks->KsProperty(&r.Property, sizeof r, data, length, returned);
    }

    ComPtr<IBaseFilter> filter;
    ComPtr<IKsControl> ks;
    ComPtr<IAMCameraControl> cameraControl;
    ComPtr<IAMVideoProcAmp> procAmp;
};

TEST_F(CaptureFilterTest, SetSupportAnswersOnlyForTheUnitCarryingTheSet)
{
    EXPECT_EQ(send(request(kSettings, 9, kSupport, 4), nullptr, 0, nullptr), S_OK);
    EXPECT_EQ(send(request(kSettings, 9, kSupport, 6), nullptr, 0, nullptr), kSetNotFound);
    EXPECT_EQ(send(request(kSettings, 9, kSupport, 5), nullptr, 0, nullptr), kSetNotFound);
    EXPECT_EQ(send(request(kSettings, 9, kSupport, 20), nullptr, 0, nullptr), kSetNotFound);
    EXPECT_EQ(send(request(kUpgrade, 0, kSupport, 3), nullptr, 0, nullptr), S_OK);
    // Answered from the descriptors: the camera is not asked.
    EXPECT_TRUE(camera().calls.empty());
}

TEST_F(CaptureFilterTest, MalformedRequestsAreRefused)
{
    KSP_NODE r = request(kSettings, 9, kRead, 4);
    uint8_t buf[24];
    EXPECT_EQ(ks->KsProperty(nullptr, sizeof r, buf, sizeof buf, nullptr), E_POINTER);
    EXPECT_EQ(ks->KsProperty(&r.Property, sizeof(KSPROPERTY), buf, sizeof buf, nullptr), E_INVALIDARG);
    EXPECT_EQ(ks->KsProperty(&r.Property, 8, buf, sizeof buf, nullptr), E_INVALIDARG);
    EXPECT_EQ(send(request(kSettings, 9, KSPROPERTY_TYPE_GET, 4), buf, sizeof buf, nullptr), kSetNotFound);
    EXPECT_EQ(send(request(kSettings, 0x109, kRead, 4), buf, sizeof buf, nullptr), E_INVALIDARG);
    EXPECT_TRUE(FAILED(send(request(kSettings, 9, KSPROPERTY_TYPE_BASICSUPPORT | KSPROPERTY_TYPE_TOPOLOGY, 4),
                            buf, sizeof buf, nullptr)));
    // A read of the right selector at a unit of another set never reaches it.
    EXPECT_EQ(send(request(kSettings, 6, kRead, 3), buf, sizeof buf, nullptr), kSetNotFound);
    EXPECT_TRUE(camera().calls.empty());
}

TEST_F(CaptureFilterTest, ReadWithoutBufferReportsTheLength)
{
    ULONG returned = 0;
    EXPECT_EQ(send(request(kSettings, 9, kRead, 4), nullptr, 0, &returned), kMoreData);
    EXPECT_EQ(returned, 24u);
    uint8_t buf[4];
    EXPECT_EQ(send(request(kUpgrade, 6, kRead, 3), buf, 0, &returned), kMoreData);
    EXPECT_EQ(returned, 3085u);
    EXPECT_EQ(camera().calls, (Calls{"xu 4 9 GET_LEN 2", "xu 3 6 GET_LEN 2"}));

    // An unknown selector is the device's answer.
    EXPECT_EQ(send(request(kSettings, 99, kRead, 4), nullptr, 0, &returned), hresultFromErrno(ENOENT));
    EXPECT_EQ(returned, 0u);
}

TEST_F(CaptureFilterTest, ReadMovesExactlyTheControlLength)
{
    uint8_t buf[40];
    ULONG returned = 0;
    ASSERT_EQ(send(request(kSettings, 9, kRead, 4), buf, 24, &returned), S_OK);
    EXPECT_EQ(returned, 24u);
    EXPECT_EQ(std::memcmp(buf, "TX42:1.0.0.5:", 13), 0);
    EXPECT_EQ(camera().calls, (Calls{"xu 4 9 GET_LEN 2", "xu 4 9 GET_CUR 24"}));

    // Too small or too large: refused before any transfer, buffer untouched.
    for (ULONG length : {1u, 23u, 25u, 40u}) {
        SCOPED_TRACE(length);
        camera().calls.clear();
        std::memset(buf, 0xCC, sizeof buf);
        returned = 7;
        const HRESULT hr = send(request(kSettings, 9, kRead, 4), buf, length, &returned);
        EXPECT_EQ(hr, length < 24 ? kMoreData : E_INVALIDARG);
        EXPECT_EQ(returned, length < 24 ? 24u : 0u);
        for (uint8_t b : buf) ASSERT_EQ(b, 0xCC);
        EXPECT_TRUE(camera().calls.empty());
    }

    // A transfer that fails leaves the caller's buffer as it was.
    camera().getCurError = EIO;
    std::memset(buf, 0xCC, sizeof buf);
    EXPECT_EQ(send(request(kSettings, 9, kRead, 4), buf, 24, &returned), hresultFromErrno(EIO));
    EXPECT_EQ(returned, 0u);
    for (uint8_t b : buf) ASSERT_EQ(b, 0xCC);
}

TEST_F(CaptureFilterTest, WriteNeedsTheControlLength)
{
    uint8_t style[2] = {6, 6};
    ULONG returned = 0;
    EXPECT_EQ(send(request(kSettings, 13, kWrite, 4), style, 2, &returned), E_INVALIDARG);
    EXPECT_EQ(send(request(kSettings, 13, kWrite, 4), nullptr, 1, &returned), E_POINTER);
    // The length is asked once per binding, then known.
    EXPECT_EQ(camera().calls, (Calls{"xu 4 13 GET_LEN 2"}));
    EXPECT_EQ(camera().xuControls[std::make_pair(4, 13)], std::vector<uint8_t>(1, 5));

    ASSERT_EQ(send(request(kSettings, 13, kWrite, 4), style, 1, &returned), S_OK);
    EXPECT_EQ(returned, 1u);
    EXPECT_EQ(camera().calls.back(), "xu 4 13 SET_CUR 1");
    EXPECT_EQ(camera().xuControls[std::make_pair(4, 13)], std::vector<uint8_t>(1, 6));
}

TEST_F(CaptureFilterTest, TopologyListsUnitIdsAsNodes)
{
    ComPtr<IKsTopologyInfo> topology;
    ASSERT_EQ(filter.As(IID_IKsTopologyInfo, topology), S_OK);
    DWORD count = 0;
    ASSERT_EQ(topology->get_NumNodes(&count), S_OK);
    EXPECT_EQ(count, 7u);
    for (DWORD node = 0; node < count; ++node) {
        GUID type{};
        ASSERT_EQ(topology->get_NodeType(node, &type), S_OK);
        const bool unit = node == 3 || node == 4 || node == 6;
        EXPECT_EQ(type, unit ? KSNODETYPE_DEV_SPECIFIC : GUID_NULL) << node;
    }
    GUID type{};
    EXPECT_EQ(topology->get_NodeType(7, &type), E_INVALIDARG);
    EXPECT_EQ(topology->get_NumNodes(nullptr), E_POINTER);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(topology->CreateNodeInstance(7, IID_IKsControl, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(topology->CreateNodeInstance(4, IID_IAMCameraControl, &out), E_NOINTERFACE);

    camera().units.clear();
    EXPECT_EQ(topology->get_NumNodes(&count), S_OK);
    EXPECT_EQ(count, 0u);
}

TEST_F(CaptureFilterTest, NodeControlAddressesItsOwnNode)
{
    ComPtr<IKsTopologyInfo> topology;
    ASSERT_EQ(filter.As(IID_IKsTopologyInfo, topology), S_OK);
    ComPtr<IKsControl> node;
    ASSERT_EQ(topology->CreateNodeInstance(3, IID_IKsControl, node.putVoid()), S_OK);
    EXPECT_NE(static_cast<void*>(node.get()), static_cast<void*>(ks.get()));

    // The node id in the request does not matter to a node-level control.
    KSP_NODE r = request(kUpgrade, 6, kRead, 17);
    ULONG returned = 0;
    EXPECT_EQ(node->KsProperty(&r.Property, sizeof r, nullptr, 0, &returned), kMoreData);
    EXPECT_EQ(returned, 3085u);
    r = request(kSettings, 0, kSupport, 4);
    EXPECT_EQ(node->KsProperty(&r.Property, sizeof r, nullptr, 0, nullptr), kSetNotFound);
}

TEST_F(CaptureFilterTest, ControlRangesAndUnknownIds)
{
    long minimum = 0, maximum = 0, step = 0, def = 0, caps = 0;
    ASSERT_EQ(cameraControl->GetRange(CameraControl_PanRelative, &minimum, &maximum, &step, &def, &caps), S_OK);
    EXPECT_EQ(minimum, -3);
    EXPECT_EQ(maximum, 3);
    EXPECT_EQ(step, 1);
    EXPECT_EQ(def, 2);
    EXPECT_EQ(caps, CameraControl_Flags_Manual);
    ASSERT_EQ(cameraControl->GetRange(CameraControl_Focus, &minimum, &maximum, &step, &def, &caps), S_OK);
    EXPECT_EQ(caps, CameraControl_Flags_Auto | CameraControl_Flags_Manual);
    EXPECT_EQ(camera().calls, (Calls{"query PAN_SPEED", "query FOCUS_ABSOLUTE", "query FOCUS_AUTO"}));

    EXPECT_EQ(cameraControl->GetRange(CameraControl_Roll, &minimum, &maximum, &step, &def, &caps), kSetNotFound);
    EXPECT_EQ(procAmp->Set(VideoProcAmp_ColorEnable, 1, VideoProcAmp_Flags_Manual), kSetNotFound);
    EXPECT_EQ(cameraControl->GetRange(CameraControl_Pan, &minimum, nullptr, &step, &def, &caps), E_POINTER);
    EXPECT_EQ(procAmp->Get(VideoProcAmp_Contrast, nullptr, &caps), E_POINTER);
    // A control the camera lacks is the camera's answer.
    EXPECT_EQ(procAmp->Get(VideoProcAmp_Gain, &minimum, &caps), hresultFromErrno(EINVAL));
    // Only paired controls have an automatic mode; a flag is required.
    EXPECT_EQ(cameraControl->Set(CameraControl_Pan, 0, CameraControl_Flags_Auto), E_INVALIDARG);
    EXPECT_EQ(cameraControl->Set(CameraControl_Pan, 0, 0), E_INVALIDARG);
    EXPECT_EQ(cameraControl->Set(CameraControl_Pan, 0x100000000L, CameraControl_Flags_Manual), E_INVALIDARG);
    EXPECT_EQ(camera().calls.size(), 4u);
}

TEST_F(CaptureFilterTest, WhiteBalanceModeFollowsTheAutoControl)
{
    long value = 0, flags = 0;
    ASSERT_EQ(procAmp->Get(VideoProcAmp_WhiteBalance, &value, &flags), S_OK);
    EXPECT_EQ(value, 4600);
    EXPECT_EQ(flags, VideoProcAmp_Flags_Auto);

    ASSERT_EQ(procAmp->Set(VideoProcAmp_WhiteBalance, 5000, VideoProcAmp_Flags_Manual), S_OK);
    ASSERT_EQ(procAmp->Get(VideoProcAmp_WhiteBalance, &value, &flags), S_OK);
    EXPECT_EQ(value, 5000);
    EXPECT_EQ(flags, VideoProcAmp_Flags_Manual);

    ASSERT_EQ(procAmp->Set(VideoProcAmp_WhiteBalance, 1234, VideoProcAmp_Flags_Auto), S_OK);
    EXPECT_EQ(camera().calls, (Calls{"get WHITE_BALANCE_TEMPERATURE", "get AUTO_WHITE_BALANCE",
                                     "set AUTO_WHITE_BALANCE 0", "set WHITE_BALANCE_TEMPERATURE 5000",
                                     "get WHITE_BALANCE_TEMPERATURE", "get AUTO_WHITE_BALANCE",
                                     "query AUTO_WHITE_BALANCE", "set AUTO_WHITE_BALANCE 1"}));

    // A camera without auto white balance is always manual.
    camera().values.erase(V4L2_CID_AUTO_WHITE_BALANCE);
    ASSERT_EQ(procAmp->Get(VideoProcAmp_WhiteBalance, &value, &flags), S_OK);
    EXPECT_EQ(flags, VideoProcAmp_Flags_Manual);
}

TEST_F(CaptureFilterTest, ExposureAndFocusModes)
{
    long value = 0, flags = 0;
    ASSERT_EQ(cameraControl->Get(CameraControl_Exposure, &value, &flags), S_OK);
    EXPECT_EQ(flags, CameraControl_Flags_Auto);
    ASSERT_EQ(cameraControl->Set(CameraControl_Exposure, 100, CameraControl_Flags_Manual), S_OK);
    ASSERT_EQ(cameraControl->Get(CameraControl_Exposure, &value, &flags), S_OK);
    EXPECT_EQ(value, 100);
    EXPECT_EQ(flags, CameraControl_Flags_Manual);
    ASSERT_EQ(cameraControl->Set(CameraControl_Exposure, 0, CameraControl_Flags_Auto), S_OK);
    ASSERT_EQ(cameraControl->Set(CameraControl_Focus, 40, CameraControl_Flags_Manual), S_OK);
    ASSERT_EQ(cameraControl->Set(CameraControl_Focus, 0, CameraControl_Flags_Auto), S_OK);
    ASSERT_EQ(cameraControl->Set(CameraControl_Pan, -3600, CameraControl_Flags_Manual), S_OK);
    EXPECT_EQ(camera().calls,
              (Calls{"get EXPOSURE_ABSOLUTE", "get EXPOSURE_AUTO", "set EXPOSURE_AUTO 1", "set EXPOSURE_ABSOLUTE 100",
                     "get EXPOSURE_ABSOLUTE", "get EXPOSURE_AUTO", "query EXPOSURE_AUTO", "set EXPOSURE_AUTO 3",
                     "set FOCUS_AUTO 0", "set FOCUS_ABSOLUTE 40", "query FOCUS_AUTO", "set FOCUS_AUTO 1", "set PAN_ABSOLUTE -3600"}));

    // Any exposure mode but manual counts as automatic.
    camera().values[V4L2_CID_EXPOSURE_AUTO] = V4L2_EXPOSURE_AUTO;
    ASSERT_EQ(cameraControl->Get(CameraControl_Exposure, &value, &flags), S_OK);
    EXPECT_EQ(flags, CameraControl_Flags_Auto);
}

TEST_F(CaptureFilterTest, VanishedCameraFailsEveryCallWithoutReachingIt)
{
    camera().callsUntilUnplug = 1;
    uint8_t buf[24];
    std::memset(buf, 0xCC, sizeof buf);
    ULONG returned = 5;
    // GET_LEN answers, the camera goes before GET_CUR.
    EXPECT_EQ(send(request(kSettings, 9, kRead, 4), buf, 24, &returned), hresultFromErrno(ENODEV));
    EXPECT_EQ(returned, 0u);
    for (uint8_t b : buf) ASSERT_EQ(b, 0xCC);
    const size_t seen = camera().calls.size();

    long value = 0, flags = 0, x = 0;
    EXPECT_EQ(send(request(kSettings, 9, kSupport, 4), nullptr, 0, nullptr), hresultFromErrno(ENODEV));
    EXPECT_EQ(send(request(kSettings, 13, kWrite, 4), buf, 1, nullptr), hresultFromErrno(ENODEV));
    EXPECT_EQ(procAmp->Get(VideoProcAmp_WhiteBalance, &value, &flags), hresultFromErrno(ENODEV));
    EXPECT_EQ(cameraControl->GetRange(CameraControl_Pan, &x, &x, &x, &x, &x), hresultFromErrno(ENODEV));
    EXPECT_EQ(cameraControl->Set(CameraControl_Pan, 0, CameraControl_Flags_Manual), hresultFromErrno(ENODEV));
    EXPECT_EQ(camera().calls.size(), seen);
}

// How the upgrade engine finds its unit: the first dev-specific node whose
// node-level control answers set-support.
TEST_F(CaptureFilterTest, UpgradeEngineSequenceFindsItsNode)
{
    ComPtr<IKsTopologyInfo> topology;
    ASSERT_EQ(filter.As(IID_IKsTopologyInfo, topology), S_OK);
    DWORD count = 0;
    ASSERT_EQ(topology->get_NumNodes(&count), S_OK);
    DWORD found = count;
    for (DWORD node = 0; node < count && found == count; ++node) {
        GUID type{};
        if (FAILED(topology->get_NodeType(node, &type)) || type != KSNODETYPE_DEV_SPECIFIC) continue;
        ComPtr<IKsControl> control;
        if (FAILED(topology->CreateNodeInstance(node, IID_IKsControl, control.putVoid()))) continue;
        KSP_NODE r = request(kUpgrade, 0, kSupport, node);
        if (control->KsProperty(&r.Property, sizeof r, nullptr, 0, nullptr) == S_OK) found = node;
    }
    EXPECT_EQ(found, 3u);
}

} // namespace

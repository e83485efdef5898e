// The DirectShow-shaped level on top of the built-in simulated camera, the way
// the program and the upgrade engine see it.

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "../../simcam/SimTestDirectory.h"
#include "platform/ComPtr.h"
#include "platform/DirectShow.h"
#include "platform/VideoInputs.h"
#include "simcam/SimStateStore.h"

using vorq::platform::hresultFromErrno;

namespace {

constexpr GUID kSettingsUnit = {0xA7A6A934, 0x3A4A, 0x4351, {0x85, 0xF4, 0x04, 0x2E, 0xF2, 0xCD, 0xCA, 0xAB}};
constexpr ULONG kSettingsNode = 4;

class SimulatedCameraThroughKs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.path().empty());
        setenv("VORQ_SIM", dir_.path().c_str(), 1);
        unsetenv("VORQ_SIM_SOCKET");
        unsetenv("VORQ_SIM_TRACE");
        store_ = vorq::simcam::SimStateStore::open(dir_.path());
        ASSERT_TRUE(store_);
    }
    void TearDown() override { unsetenv("VORQ_SIM"); }

    // Monikers of the walk, in order.
    std::vector<ComPtr<IMoniker>> walk()
    {
        std::vector<ComPtr<IMoniker>> out;
        ComPtr<ICreateDevEnum> devEnum;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                         devEnum.putVoid()));
        ComPtr<IEnumMoniker> monikers;
        if (devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0) != S_OK) return out;
        for (;;) {
            ComPtr<IMoniker> m;
            ULONG fetched = 0;
            if (monikers->Next(1, m.put(), &fetched) != S_OK) break;
            out.push_back(m);
        }
        return out;
    }

    ComPtr<IBaseFilter> bindFirst()
    {
        ComPtr<IBaseFilter> filter;
        bindVideoInputFilter(0, filter);
        return filter;
    }

    static HRESULT settings(IKsControl* control, ULONG selector, ULONG flags, uint8_t* data, ULONG length)
    {
        KSP_NODE request{};
        request.Property.Set = kSettingsUnit;
        request.Property.Id = selector;
        request.Property.Flags = flags | KSPROPERTY_TYPE_TOPOLOGY;
        request.NodeId = kSettingsNode;
        ULONG returned = 0;
        return control->KsProperty(&request.Property, sizeof request, data, length, &returned);
    }

    SimTestDirectory dir_;
    std::shared_ptr<vorq::simcam::SimStateStore> store_;
};

TEST_F(SimulatedCameraThroughKs, AWriteInOneProcessIsReadInAnother)
{
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ComPtr<IBaseFilter> filter = bindFirst();
        ComPtr<IKsControl> control;
        uint8_t on = 1;
        bool ok = filter && SUCCEEDED(filter->QueryInterface(IID_IKsControl, control.putVoid())) &&
                  settings(control.get(), 25, KSPROPERTY_TYPE_SET, &on, 1) == S_OK;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ComPtr<IBaseFilter> filter = bindFirst();
    ASSERT_TRUE(filter);
    ComPtr<IKsControl> control;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IKsControl, control.putVoid()));
    uint8_t flip = 0xEE;
    EXPECT_EQ(S_OK, settings(control.get(), 25, KSPROPERTY_TYPE_GET, &flip, 1));
    EXPECT_EQ(1, flip);
}

TEST_F(SimulatedCameraThroughKs, UnpluggedMidOperationEveryCallFailsCleanly)
{
    ComPtr<IBaseFilter> filter = bindFirst();
    ASSERT_TRUE(filter);
    ComPtr<IKsControl> control;
    ComPtr<IAMCameraControl> camera;
    ComPtr<IAMVideoProcAmp> procAmp;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IKsControl, control.putVoid()));
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IAMCameraControl, camera.putVoid()));
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IAMVideoProcAmp, procAmp.putVoid()));

    uint8_t info[24] = {};
    ASSERT_EQ(S_OK, settings(control.get(), 9, KSPROPERTY_TYPE_GET, info, sizeof info));
    // Two more transfers: the length query and the write.
    ASSERT_EQ(0, store_->setConfig("unplug_after", "2"));
    uint8_t style = 5;
    EXPECT_EQ(S_OK, settings(control.get(), 13, KSPROPERTY_TYPE_SET, &style, 1));

    const HRESULT gone = hresultFromErrno(ENODEV);
    uint8_t before[24];
    std::memcpy(before, info, sizeof info);
    EXPECT_EQ(gone, settings(control.get(), 9, KSPROPERTY_TYPE_GET, info, sizeof info));
    EXPECT_EQ(0, std::memcmp(before, info, sizeof info));
    EXPECT_EQ(gone, settings(control.get(), 13, KSPROPERTY_TYPE_SET, &style, 1));
    long value = 99, flags = 99;
    EXPECT_EQ(gone, camera->Get(CameraControl_Pan, &value, &flags));
    EXPECT_EQ(gone, camera->Set(CameraControl_Pan, 0, CameraControl_Flags_Manual));
    EXPECT_EQ(gone, procAmp->Get(VideoProcAmp_Contrast, &value, &flags));
    EXPECT_EQ(99, value);
    EXPECT_TRUE(walk().empty());

    // Plugged back in: a new binding works again.
    ASSERT_EQ(0, store_->clearConfig("unplug_after"));
    ComPtr<IBaseFilter> again = bindFirst();
    ASSERT_TRUE(again);
    ComPtr<IKsControl> control2;
    ASSERT_EQ(S_OK, again->QueryInterface(IID_IKsControl, control2.putVoid()));
    EXPECT_EQ(S_OK, settings(control2.get(), 13, KSPROPERTY_TYPE_GET, &style, 1));
    EXPECT_EQ(5, style);
}

TEST_F(SimulatedCameraThroughKs, ChangingTheCameraAudioRebootsIt)
{
    ASSERT_EQ(0, store_->setConfig("reboot_ms", "300"));
    ComPtr<IBaseFilter> filter = bindFirst();
    ASSERT_TRUE(filter);
    ComPtr<IKsControl> control;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IKsControl, control.putVoid()));
    uint8_t audio = 0;
    ASSERT_EQ(S_OK, settings(control.get(), 26, KSPROPERTY_TYPE_SET, &audio, 1));
    EXPECT_TRUE(walk().empty());

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (walk().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ComPtr<IBaseFilter> back = bindFirst();
    ASSERT_TRUE(back) << "the camera did not come back after its reboot";
    ComPtr<IKsControl> control2;
    ASSERT_EQ(S_OK, back->QueryInterface(IID_IKsControl, control2.putVoid()));
    audio = 0xEE;
    EXPECT_EQ(S_OK, settings(control2.get(), 26, KSPROPERTY_TYPE_GET, &audio, 1));
    EXPECT_EQ(0, audio);
}

} // namespace

#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "FakeCamera.h"
#include "platform/ComPtr.h"
#include "platform/DeviceProvider.h"
#include "platform/DirectShow.h"

// Replaces the system's device walk with scripted cameras.
class CameraWalkFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        cameras.push_back(makeTeldoraCamera());
        vorq::platform::DeviceProvider::setSourceForTesting([this] {
            ++walks;
            vorq::platform::DeviceList list;
            for (const auto& state : cameras) list.push_back(std::make_unique<FakeCamera>(state));
            return list;
        });
    }
    void TearDown() override { vorq::platform::DeviceProvider::setSourceForTesting({}); }

    // The video-input enumerator (null for an empty walk) and its status.
    HRESULT walk(ComPtr<IEnumMoniker>& enumerator)
    {
        ComPtr<ICreateDevEnum> devEnum;
        HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC, IID_ICreateDevEnum,
                                      devEnum.putVoid());
        if (FAILED(hr)) return hr;
        return devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, enumerator.put(), 0);
    }

    ComPtr<IMoniker> firstMoniker()
    {
        ComPtr<IEnumMoniker> enumerator;
        EXPECT_EQ(walk(enumerator), S_OK);
        ComPtr<IMoniker> moniker;
        if (enumerator) {
            EXPECT_EQ(enumerator->Next(1, moniker.put(), nullptr), S_OK);
        }
        return moniker;
    }

    // A new filter binding of the first camera, asked for `riid`.
    template <typename T>
    ComPtr<T> bindFirst(REFIID riid)
    {
        ComPtr<T> out;
        ComPtr<IMoniker> moniker = firstMoniker();
        if (moniker) {
            EXPECT_EQ(moniker->BindToObject(riid, out.putVoid()), S_OK);
        }
        return out;
    }

    FakeCameraState& camera() { return *cameras.front(); }

    std::vector<std::shared_ptr<FakeCameraState>> cameras;
    int walks = 0;
};

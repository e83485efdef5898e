#include <gtest/gtest.h>

#include <cerrno>

#include "CameraWalkFixture.h"
#include "platform/DevicePath.h"

using namespace vorq::platform;

namespace {

class DeviceWalkTest : public CameraWalkFixture {};

TEST_F(DeviceWalkTest, OnlyTheSystemDeviceEnumeratorIsServed)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_FALSE(SUCCEEDED(CoCreateInstance(CLSID_VideoInputDeviceCategory, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_ICreateDevEnum, &out)));
    EXPECT_EQ(out, nullptr);

    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &out),
              E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum, nullptr),
              E_POINTER);

    ComPtr<ICreateDevEnum> devEnum;
    ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                               devEnum.putVoid()),
              S_OK);
    ComPtr<IEnumMoniker> enumerator;
    EXPECT_EQ(devEnum->CreateClassEnumerator(IID_IUnknown, enumerator.put(), 0), S_FALSE);
    EXPECT_FALSE(enumerator);
    EXPECT_EQ(walks, 0);
}

TEST_F(DeviceWalkTest, EmptyWalkAnswersFalseAndNoEnumerator)
{
    cameras.clear();
    ComPtr<IEnumMoniker> enumerator;
    EXPECT_EQ(walk(enumerator), S_FALSE);
    EXPECT_FALSE(enumerator);
}

TEST_F(DeviceWalkTest, HandsOneMonikerPerStepFromASingleWalk)
{
    auto second = makeTeldoraCamera();
    second->identity.card = "Other Cam";
    second->identity.busPath = "2-1";
    cameras.push_back(second);

    ComPtr<IEnumMoniker> enumerator;
    ASSERT_EQ(walk(enumerator), S_OK);
    auto nameAt = [](IMoniker* moniker) {
        ComPtr<IPropertyBag> bag;
        EXPECT_EQ(moniker->BindToStorage(IID_IPropertyBag, bag.putVoid()), S_OK);
        std::string name;
        EXPECT_EQ(bag->Read("FriendlyName", name), S_OK);
        return name;
    };

    ComPtr<IMoniker> moniker;
    ULONG fetched = 9;
    ASSERT_EQ(enumerator->Next(1, moniker.put(), &fetched), S_OK);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(nameAt(moniker.get()), "TELDORA TX42");
    ASSERT_EQ(enumerator->Next(1, moniker.put(), &fetched), S_OK);
    EXPECT_EQ(nameAt(moniker.get()), "Other Cam");
    EXPECT_EQ(enumerator->Next(1, moniker.put(), &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_FALSE(moniker);

    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Skip(1), S_OK);
    ASSERT_EQ(enumerator->Next(1, moniker.put(), nullptr), S_OK);
    EXPECT_EQ(nameAt(moniker.get()), "Other Cam");
    EXPECT_EQ(enumerator->Skip(1), S_FALSE);

    // Several at once: a short answer is S_FALSE with the count handed out.
    enumerator->Reset();
    IMoniker* batch[3] = {};
    ASSERT_EQ(enumerator->Next(3, batch, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    for (ULONG i = 0; i < fetched; ++i) batch[i]->Release();
    EXPECT_EQ(enumerator->Next(2, batch, nullptr), E_POINTER);

    EXPECT_EQ(walks, 1);
}

TEST_F(DeviceWalkTest, PropertyBagCarriesNameAndPath)
{
    ComPtr<IMoniker> moniker = firstMoniker();
    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(moniker->BindToStorage(IID_IPropertyBag, bag.putVoid()), S_OK);
    std::string path;
    EXPECT_EQ(bag->Read("DevicePath", path), S_OK);
    EXPECT_EQ(path, "\\\\?\\usb#vid_9f2b&pid_0042&mi_00#1-4#/dev/video0");
    std::string other = "untouched";
    EXPECT_EQ(bag->Read("Description", other), E_INVALIDARG);
    EXPECT_EQ(other, "untouched");
}

TEST(DevicePath, UsbAndPlatformShapes)
{
    UvcIdentity usb;
    usb.usb = true;
    usb.vendorId = 0x9F2B;
    usb.productId = 0xA;
    usb.interfaceNumber = 2;
    usb.busPath = "3-1.2";
    usb.videoNode = "/dev/video4";
    EXPECT_EQ(devicePathOf(usb), "\\\\?\\usb#vid_9f2b&pid_000a&mi_02#3-1.2#/dev/video4");
    EXPECT_EQ(deviceNameOf(usb), "@device:pnp:\\\\?\\usb#vid_9f2b&pid_000a&mi_02#3-1.2#/dev/video4");

    UvcIdentity platform;
    platform.driver = "unicam";
    platform.videoNode = "/dev/video0";
    EXPECT_EQ(devicePathOf(platform), "\\\\?\\platform#unicam#/dev/video0");
    EXPECT_EQ(deviceNameOf(platform).find("usb"), std::string::npos);
}

TEST_F(DeviceWalkTest, EachBindIsANewFilterWithItsOwnHandle)
{
    ComPtr<IMoniker> moniker = firstMoniker();
    ComPtr<IBaseFilter> first, second;
    ASSERT_EQ(moniker->BindToObject(IID_IBaseFilter, first.putVoid()), S_OK);
    ASSERT_EQ(moniker->BindToObject(IID_IBaseFilter, second.putVoid()), S_OK);
    EXPECT_NE(first.get(), second.get());

    // Binding straight to another interface of the filter works too.
    ComPtr<IKsControl> control;
    EXPECT_EQ(moniker->BindToObject(IID_IKsControl, control.putVoid()), S_OK);
    EXPECT_TRUE(control);

    camera().unplugged = true;
    ComPtr<IBaseFilter> gone;
    EXPECT_EQ(moniker->BindToObject(IID_IBaseFilter, gone.putVoid()), hresultFromErrno(ENODEV));
    EXPECT_FALSE(gone);
}

TEST_F(DeviceWalkTest, FilterAnswersItsInterfacesWithOneIdentity)
{
    ComPtr<IBaseFilter> filter = bindFirst<IBaseFilter>(IID_IBaseFilter);
    ASSERT_TRUE(filter);
    ComPtr<IUnknown> identity;
    ASSERT_EQ(filter.As(IID_IUnknown, identity), S_OK);

    for (const IID* iid : {&IID_IAMCameraControl, &IID_IAMVideoProcAmp, &IID_IKsControl, &IID_IKsTopologyInfo}) {
        ComPtr<IUnknown> part;
        ASSERT_EQ(filter.As(*iid, part), S_OK);
        ComPtr<IUnknown> back;
        ASSERT_EQ(part.As(IID_IUnknown, back), S_OK);
        EXPECT_EQ(back.get(), identity.get());
        ComPtr<IBaseFilter> base;
        EXPECT_EQ(part.As(IID_IBaseFilter, base), S_OK);
        EXPECT_EQ(base.get(), filter.get());
    }
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(filter->QueryInterface(IID_IPropertyBag, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(filter->QueryInterface(IID_IKsControl, nullptr), E_POINTER);
}

TEST_F(DeviceWalkTest, InterfacesOutliveTheReleasedFilterAndWalk)
{
    ComPtr<IAMVideoProcAmp> procAmp;
    ComPtr<IKsControl> node;
    {
        ComPtr<IMoniker> moniker = firstMoniker(); // the enumerator is already gone
        ComPtr<IBaseFilter> filter;
        ASSERT_EQ(moniker->BindToObject(IID_IBaseFilter, filter.putVoid()), S_OK);
        ASSERT_EQ(filter.As(IID_IAMVideoProcAmp, procAmp), S_OK);
        ComPtr<IKsTopologyInfo> topology;
        ASSERT_EQ(filter.As(IID_IKsTopologyInfo, topology), S_OK);
        ASSERT_EQ(topology->CreateNodeInstance(3, IID_IKsControl, node.putVoid()), S_OK);
    }
    // Under the sanitizers, a freed filter or device would show here.
    long value = 0, flags = 0;
    EXPECT_EQ(procAmp->Get(VideoProcAmp_Contrast, &value, &flags), S_OK);
    EXPECT_EQ(value, 7);
    procAmp.reset();

    KSP_NODE request{};
    parseGuid("{1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54}", request.Property.Set);
    request.Property.Flags = KSPROPERTY_TYPE_SETSUPPORT | KSPROPERTY_TYPE_TOPOLOGY;
    EXPECT_EQ(node->KsProperty(&request.Property, sizeof request, nullptr, 0, nullptr), S_OK);
}

} // namespace

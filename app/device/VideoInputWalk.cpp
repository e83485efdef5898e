#include "device/VideoInputWalk.h"

#include "platform/ComPtr.h"
#include "platform/DirectShow.h"

namespace {

void walk(std::vector<VideoInputWalk::Device>& found)
{
    ComPtr<ICreateDevEnum> devEnum;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devEnum.putVoid())) ||
        !devEnum)
        return;
    ComPtr<IEnumMoniker> monikers;
    // S_FALSE: the category is empty.
    if (devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0) != S_OK || !monikers) return;
    for (;;) {
        ComPtr<IMoniker> moniker;
        ULONG fetched = 0;
        if (monikers->Next(1, moniker.put(), &fetched) != S_OK || fetched != 1 || !moniker) break;
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(IID_IPropertyBag, bag.putVoid())) || !bag) continue;
        VideoInputWalk::Device device;
        std::string path;
        if (FAILED(bag->Read("FriendlyName", device.friendlyName)) || FAILED(bag->Read("DevicePath", path))) continue;
        device.deviceName = "@device:pnp:" + path;
        found.push_back(std::move(device));
    }
}

} // namespace

std::vector<VideoInputWalk::Device> VideoInputWalk::devices()
{
    std::vector<Device> found;
    const bool initialised = SUCCEEDED(CoInitialize(nullptr));
    walk(found);
    if (initialised) CoUninitialize();
    return found;
}

#include "device/VideoInputWalk.h"

#include <mutex>

#include <QDebug>
#include <QString>

#include "platform/ComPtr.h"
#include "platform/DirectShow.h"
#include "platform/UnavailableCameras.h"

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

// A camera we may not open would otherwise just be missing from the list;
// the log says why, once per change, since the list is walked every second.
void logUnavailable()
{
    static std::mutex mutex;
    static std::string last;
    std::string now;
    const auto unavailable = vorq::platform::UnavailableCameras::fromLastWalk();
    for (const auto& u : unavailable) now += u.node + "|" + u.reason + "\n";
    std::lock_guard<std::mutex> lock(mutex);
    if (now == last) return;
    last = now;
    for (const auto& u : unavailable)
        qDebug().noquote() << QStringLiteral("camera not available: %1 (%2): %3")
                                  .arg(QString::fromStdString(u.node), QString::fromStdString(u.name),
                                       QString::fromStdString(u.reason));
}

} // namespace

std::vector<VideoInputWalk::Device> VideoInputWalk::devices()
{
    std::vector<Device> found;
    const bool initialised = SUCCEEDED(CoInitialize(nullptr));
    walk(found);
    if (initialised) CoUninitialize();
    logUnavailable();
    return found;
}

#include "device/CameraDevice.h"

#include <string>

#include <QDebug>
#include <QLibrary>

#include "ProgramFolders.h"
#include "UserDialogs.h"

CameraDevice mainDevice(kSettingsUnitGuid);
CameraDevice zoomDevice(kZoomUnitGuid);

namespace {

// Topology nodes searched for the extension unit, highest first.
constexpr ULONG kHighestNode = 20;
constexpr ULONG kFallbackNode = 1;

using ShowDlgFunction = void (*)(IUnknown* filter);

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

} // namespace

CameraDevice::CameraDevice(GUID xuGuid) : xuGuid_(xuGuid) {}

CameraDevice::~CameraDevice() = default;

void CameraDevice::release()
{
    cameraControl_.reset();
    procAmp_.reset();
    ksControl_.reset();
    xuFilter_.reset();
    propertyFilter_.reset();
    wbFlags_ = kWhiteBalanceUnknown;
    node_ = 0;
    nodeFound_ = false;
    controlLengths_.clear();
}

long CameraDevice::openDevice(const QString& deviceName)
{
    // A new camera, or none: nothing of the previous one may stay reachable,
    // or a page would go on writing to a camera the user no longer chose.
    release();

    ComPtr<ICreateDevEnum> devEnum;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC, IID_ICreateDevEnum,
                                  devEnum.putVoid());
    if (FAILED(hr)) return hr;
    if (!devEnum) return E_POINTER;

    ComPtr<IEnumMoniker> monikers;
    hr = devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0);
    // An empty category answers S_FALSE and no enumerator.
    if (FAILED(hr) || !monikers) return hr == S_OK ? E_POINTER : hr;

    const std::string name = deviceName.toStdString();
    std::string lastPath;
    ComPtr<IMoniker> chosen;
    for (;;) {
        ComPtr<IMoniker> moniker;
        ULONG fetched = 0;
        if (monikers->Next(1, moniker.put(), &fetched) != S_OK || !moniker) break;

        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(IID_IPropertyBag, bag.putVoid())) || !bag) continue;
        std::string friendlyName;
        bag->Read("FriendlyName", friendlyName);
        std::string path;
        if (FAILED(bag->Read("DevicePath", path))) {
            qDebug().nospace().noquote() << "error: devpath=" << text(lastPath);
            qDebug().nospace().noquote() << "error: devname= " << text(friendlyName);
            continue;
        }
        lastPath = path;
        bag.reset();

        // The Qt device name embeds the device path. An empty path would
        // match every name.
        if (!path.empty() && name.find(path) != std::string::npos) {
            chosen = std::move(moniker);
            break;
        }
    }
    if (!chosen) {
        qDebug().nospace().noquote() << "error: no video input device for " << deviceName;
        return kNoSuchDevice;
    }

    hr = chosen->BindToObject(IID_IBaseFilter, propertyFilter_.putVoid());
    if (FAILED(hr) || !propertyFilter_) {
        qDebug().nospace() << "error: pDeviceFilter" << hr;
        propertyFilter_.reset();
        return FAILED(hr) ? hr : E_POINTER;
    }
    propertyFilter_.As(IID_IAMCameraControl, cameraControl_);
    propertyFilter_.As(IID_IAMVideoProcAmp, procAmp_);

    long value = 0;
    long flags = 0;
    hr = procAmp_ ? procAmp_->Get(VideoProcAmp_WhiteBalance, &value, &flags) : E_NOINTERFACE;
    if (FAILED(hr)) {
        qDebug().nospace() << "error:  WB mode: " << wbFlags_ << "  WB value:" << value;
    } else {
        wbFlags_ = flags;
        if (hr == S_FALSE) return S_FALSE;
    }

    // The extension unit gets a binding of its own.
    hr = chosen->BindToObject(IID_IBaseFilter, xuFilter_.putVoid());
    if (SUCCEEDED(hr) && xuFilter_) hr = xuFilter_.As(IID_IKsControl, ksControl_);
    if (FAILED(hr) || !xuFilter_ || !ksControl_) {
        ksControl_.reset();
        xuFilter_.reset();
        return FAILED(hr) ? hr : E_POINTER;
    }
    return S_OK;
}

long CameraDevice::readWhiteBalanceMode()
{
    if (!propertyFilter_) return E_POINTER;
    HRESULT hr = propertyFilter_.As(IID_IAMVideoProcAmp, procAmp_);
    long value = 0;
    long flags = 0;
    if (SUCCEEDED(hr)) hr = procAmp_ ? procAmp_->Get(VideoProcAmp_WhiteBalance, &value, &flags) : E_NOINTERFACE;
    if (FAILED(hr)) {
        qDebug().nospace() << "error: WB mode:" << wbFlags_;
        qDebug().nospace() << "error: WB value:" << value;
    } else {
        wbFlags_ = flags;
    }
    return hr;
}

HRESULT CameraDevice::sendNodeRequest(KSP_NODE& request, void* data, ULONG length, ULONG* returned)
{
    ++ksRequests_;
    return ksControl_->KsProperty(&request.Property, sizeof request, data, length, returned);
}

ULONG CameraDevice::extensionUnitNode(uint32_t selector)
{
    if (nodeFound_) return node_;
    KSP_NODE request{};
    request.Property.Set = xuGuid_;
    request.Property.Id = selector;
    request.Property.Flags = KSPROPERTY_TYPE_SETSUPPORT | KSPROPERTY_TYPE_TOPOLOGY;
    for (ULONG node = kHighestNode; node >= kFallbackNode; --node) {
        request.NodeId = node;
        ULONG returned = 0;
        if (SUCCEEDED(sendNodeRequest(request, nullptr, 0, &returned))) {
            // A camera keeps its units for as long as it is bound.
            node_ = node;
            nodeFound_ = true;
            return node;
        }
    }
    // Not remembered: the camera may answer the next time.
    return kFallbackNode;
}

long CameraDevice::xuProperty(uint32_t selector, uint32_t request, void* buffer, uint32_t length)
{
    if (!ksControl_ || !xuFilter_) return -1;
    if (!buffer) return E_POINTER;

    KSP_NODE node{};
    node.Property.Set = xuGuid_;
    node.Property.Id = selector;
    node.NodeId = extensionUnitNode(selector);

    // The device decides how many bytes the control has.
    ULONG controlLength = 0;
    if (auto known = controlLengths_.find(selector); known != controlLengths_.end()) {
        controlLength = known->second;
    } else {
        node.Property.Flags = KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_TOPOLOGY;
        sendNodeRequest(node, nullptr, 0, &controlLength);
        if (controlLength > 0) controlLengths_[selector] = controlLength;
    }
    if (controlLength > length) {
        qDebug().nospace() << "error: control " << selector << " has " << controlLength << " bytes, buffer "
                           << length;
        return kBufferTooSmall;
    }

    node.Property.Flags = request | KSPROPERTY_TYPE_TOPOLOGY;
    ULONG returned = 0;
    return sendNodeRequest(node, buffer, controlLength, &returned);
}

long CameraDevice::setProcAmp(long property, long value, long flags)
{
    if (!procAmp_) return E_POINTER;
    const HRESULT hr = procAmp_->Set(property, value, flags);
    if (FAILED(hr)) qDebug().noquote() << "set Property: %ld failed!\n" << property;
    return hr;
}

long CameraDevice::getProcAmp(long property, long& value, long& flags)
{
    if (!propertyFilter_) return E_POINTER;
    HRESULT hr = propertyFilter_.As(IID_IAMVideoProcAmp, procAmp_);
    if (SUCCEEDED(hr)) {
        if (!procAmp_) return E_POINTER;
        long readValue = value;
        long readFlags = flags;
        hr = procAmp_->Get(property, &readValue, &readFlags);
        if (SUCCEEDED(hr)) {
            value = readValue;
            flags = readFlags;
        }
    }
    if (FAILED(hr)) qDebug().noquote() << "get Property: %ld failed!\n" << property;
    return hr;
}

QStringList CameraDevice::dialogLibraryCandidates() const
{
    QStringList dirs = dialogLibraryDirs_;
    if (dirs.isEmpty()) dirs = ProgramFolders::libraryDirs();
    QStringList candidates;
    // By base name: QLibrary adds the platform's prefix and suffix.
    for (const QString& dir : dirs) candidates << dir + QStringLiteral("/CamPropSheet");
    return candidates;
}

bool CameraDevice::showAdvancedDialog()
{
    if (dialogOpen_ || !propertyFilter_) return false;

    QLibrary library;
    bool loaded = false;
    for (const QString& candidate : dialogLibraryCandidates()) {
        library.setFileName(candidate);
        if ((loaded = library.load())) break;
    }
    if (!loaded) {
        UserDialogs::current().information(nullptr, QStringLiteral("Notice"), QStringLiteral("DLL is not loaded!"));
    } else {
        auto showDlg = reinterpret_cast<ShowDlgFunction>(library.resolve("ShowDlg"));
        if (!showDlg) {
            UserDialogs::current().information(nullptr, QStringLiteral("Notice"),
                                               QStringLiteral("Linke to Function is not OK!!!!"));
        } else {
            dialogOpen_ = true;
            // The event loop runs inside the modal dialog, and a camera change
            // there rebinds this instance: the dialog keeps its own reference.
            ComPtr<IBaseFilter> filter = propertyFilter_;
            showDlg(filter.get());
        }
        library.unload();
    }
    qDebug() << "uvc page exit";
    dialogOpen_ = false;
    return true;
}

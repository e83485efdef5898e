#include "CVorqUvcUpgrade.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "UpgradeProtocol.h"

namespace fwflash {

namespace {

// Device strings travel in 256-unit UTF-16 buffers: keep at most 255 units,
// cut only at a character boundary.
std::string cutToUtf16Units(const std::string& text, size_t maxUnits)
{
    size_t units = 0;
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t bytes = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
        size_t need = bytes == 4 ? 2 : 1;
        if (units + need > maxUnits || i + bytes > text.size()) break;
        units += need;
        i += bytes;
    }
    return text.substr(0, i);
}

std::string lowerAscii(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

constexpr size_t kDeviceStringUnits = 255;

struct DeviceStrings {
    std::string friendlyName;
    std::string devicePath; // lower case
};

DeviceStrings readDeviceStrings(IPropertyBag* bag)
{
    DeviceStrings strings;
    if (!bag) return strings;
    std::string value;
    if (SUCCEEDED(bag->Read("FriendlyName", value))) strings.friendlyName = cutToUtf16Units(value, kDeviceStringUnits);
    value.clear();
    if (SUCCEEDED(bag->Read("DevicePath", value)))
        strings.devicePath = lowerAscii(cutToUtf16Units(value, kDeviceStringUnits));
    return strings;
}

// The video input category's enumerator, or none (after printing why).
template <typename Print>
ComPtr<IEnumMoniker> videoInputEnumerator(const Print& print)
{
    CoInitialize(nullptr);
    ComPtr<ICreateDevEnum> devEnum;
    ComPtr<IEnumMoniker> monikers;
    if (SUCCEEDED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                   devEnum.putVoid())) &&
        devEnum)
        devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0);
    if (!monikers) {
        print("Error: No camera device find!\n");
        return {};
    }
    monikers->Reset();
    return monikers;
}

} // namespace

int printToStandardOutput(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int written = std::vprintf(format, args);
    va_end(args);
    // Progress lines end in "\r" rather than "\n"; show them as they come.
    std::fflush(stdout);
    return written;
}

CVorqUvcUpgrade::CVorqUvcUpgrade() : packet(kPacketHeaderSize + 8, 0) {}

CVorqUvcUpgrade::~CVorqUvcUpgrade() = default;

void CVorqUvcUpgrade::ResetRun()
{
    control.xu().release();
    connected = 0;
    packageSize = 0;
    payloadCapacity = 0;
    attributes = DeviceAttributes{};
    deviceOpened = 0;
    listQuiet = 0;
    packet.assign(kPacketHeaderSize + 8, 0);
}

HRESULT CVorqUvcUpgrade::FindXuNode(IBaseFilter* filter, const GUID& set, ComPtr<IKsControl>& nodeControl,
                                    DWORD& nodeId)
{
    nodeControl.reset();
    nodeId = 0;
    if (!filter) return E_POINTER;
    ComPtr<IKsTopologyInfo> topology;
    HRESULT hr = filter->QueryInterface(IID_IKsTopologyInfo, topology.putVoid());
    if (FAILED(hr)) return hr;
    if (!topology) return E_FAIL;

    DWORD count = 0;
    if (FAILED(topology->get_NumNodes(&count)) || count == 0) return E_FAIL;

    for (DWORD node = 0; node < count; ++node) {
        GUID type = GUID_NULL;
        if (FAILED(topology->get_NodeType(node, &type)) || type != KSNODETYPE_DEV_SPECIFIC) continue;
        ComPtr<IKsControl> candidate;
        if (FAILED(topology->CreateNodeInstance(node, IID_IKsControl, candidate.putVoid())) || !candidate) continue;

        KSP_NODE request{};
        request.Property.Set = set;
        request.Property.Id = 0;
        request.Property.Flags = KSPROPERTY_TYPE_SETSUPPORT | KSPROPERTY_TYPE_TOPOLOGY;
        request.NodeId = node;
        ULONG returned = 0;
        if (candidate->KsProperty(&request.Property, sizeof request, nullptr, 0, &returned) == S_OK) {
            nodeControl = candidate;
            nodeId = node;
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT CVorqUvcUpgrade::QueryDataPackageSize()
{
    UVCXU& xu = control.xu();
    if (!xu.bound()) {
        print("get_PropertySize fail\n");
        return E_FAIL;
    }
    uint32_t length = 0;
    HRESULT hr = xu.sizeQuery(XU_CTRL_DATA, length);
    if (hr != S_OK && hr != HRESULT_FROM_WIN32(ERROR_MORE_DATA)) {
        print("get_PropertySize fail\n");
        return E_FAIL;
    }
    packageSize = length;
    payloadCapacity = length - kPacketHeaderSize;
    // A packet must hold at least a header and a record descriptor: with less,
    // every record would be read as zeros.
    if (payloadCapacity > kMaxPayloadCapacity || payloadCapacity < kRecordDescriptorSize) {
        print("usb data package size error!,support max:%d\n", static_cast<int>(kMaxPayloadCapacity));
        return E_FAIL;
    }
    packet.assign(packageSize, 0);
    return S_OK;
}

int CVorqUvcUpgrade::ListDevices(int index)
{
    ComPtr<IEnumMoniker> monikers = videoInputEnumerator([this](const char* text) { print(text); });
    if (!monikers) return 0;

    int count = 0;
    for (;;) {
        ComPtr<IMoniker> moniker;
        ULONG fetched = 0;
        if (monikers->Next(1, moniker.put(), &fetched) != S_OK || !moniker) break;

        ComPtr<IPropertyBag> bag;
        moniker->BindToStorage(IID_IPropertyBag, bag.putVoid());
        ComPtr<IBaseFilter> filter;
        moniker->BindToObject(IID_IBaseFilter, filter.putVoid());
        DeviceStrings strings = readDeviceStrings(bag.get());

        if (strings.devicePath.find("usb") == std::string::npos) continue;
        if (!filter) {
            print("parameter error\n");
            continue;
        }
        ComPtr<IKsControl> nodeControl;
        DWORD nodeId = 0;
        HRESULT hr = FindXuNode(filter.get(), kUpgradeUnitSet, nodeControl, nodeId);
        nodeControl.reset();
        if (FAILED(hr)) continue;
        if (!listQuiet && count == index)
            print("Device name: %s \n\nDevice info:\n Id: %d \n Description:%s", strings.friendlyName.c_str(), count,
                  strings.devicePath.c_str());
        ++count;
    }
    return count;
}

HRESULT CVorqUvcUpgrade::BindDevice(IBaseFilter* filter)
{
    if (!filter) {
        print("parameter error\n");
        return E_POINTER;
    }
    ComPtr<IKsControl> nodeControl;
    DWORD nodeId = 0;
    HRESULT hr = FindXuNode(filter, kUpgradeUnitSet, nodeControl, nodeId);
    if (FAILED(hr)) return hr;
    control.xu().bind(kUpgradeUnitSet, nodeId, nodeControl);
    connected = 1;
    if (FAILED(UpdateDeviceAttributes(filter))) {
        print("UpdateDeviceAttributes error\n");
        control.xu().release();
        connected = 0;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CVorqUvcUpgrade::OpenAndRun(const DeviceSelection& selection,
                                    const std::function<HRESULT(IBaseFilter*)>& runCommands)
{
    char vendorPattern[32] = "";
    char productPattern[32] = "";
    if (selection.vendorId != -1) std::snprintf(vendorPattern, sizeof vendorPattern, "vid_%04x", selection.vendorId);
    if (selection.productId != -1)
        std::snprintf(productPattern, sizeof productPattern, "pid_%04x", selection.productId);

    ComPtr<IEnumMoniker> monikers = videoInputEnumerator([this](const char* text) { print(text); });
    if (!monikers) return E_FAIL;

    int count = 0;
    for (;;) {
        ComPtr<IMoniker> moniker;
        ULONG fetched = 0;
        if (monikers->Next(1, moniker.put(), &fetched) != S_OK || !moniker) break;

        ComPtr<IPropertyBag> bag;
        moniker->BindToStorage(IID_IPropertyBag, bag.putVoid());
        ComPtr<IBaseFilter> filter;
        moniker->BindToObject(IID_IBaseFilter, filter.putVoid());
        const std::string path = readDeviceStrings(bag.get()).devicePath;

        if (path.find("usb") == std::string::npos) continue;
        if (vendorPattern[0] && path.find(vendorPattern) == std::string::npos) continue;
        if (productPattern[0] && path.find(productPattern) == std::string::npos) continue;
        if (FAILED(BindDevice(filter.get()))) continue;

        const bool selected = count == selection.index && deviceOpened == 0;
        ++count;
        if (!selected) continue;

        deviceOpened = 1;
        HRESULT hr = runCommands ? runCommands(filter.get()) : S_OK;
        if (hr != S_OK) print("run cmd error!\n");
        control.xu().release();
        return hr;
    }
    return E_FAIL;
}

} // namespace fwflash

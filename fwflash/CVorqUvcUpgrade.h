#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DeviceAttributes.h"
#include "UvcControl.h"
#include "platform/ComPtr.h"
#include "platform/DirectShow.h"

namespace fwflash {

using PrintCallback = int (*)(const char* format, ...);

// Which camera a run opens: USB vendor and product filters (-1 for any) and
// the position among the cameras that pass them.
struct DeviceSelection {
    int vendorId = -1;
    int productId = -1;
    int index = 0;
};

// The upgrade engine: transport, command protocol, file transfers and the
// upgrade flows over the camera's upgrade extension unit. Every message goes
// through printCallback.
class CVorqUvcUpgrade {
public:
    CVorqUvcUpgrade();
    CVorqUvcUpgrade(const CVorqUvcUpgrade&) = delete;
    CVorqUvcUpgrade& operator=(const CVorqUvcUpgrade&) = delete;
    virtual ~CVorqUvcUpgrade();

    // Forget everything an earlier run in this process left behind (the
    // library may stay loaded between runs).
    void ResetRun();

    void SetPrintCallback(PrintCallback callback) { printCallback = callback; }
    PrintCallback GetPrintCallback() const { return printCallback; }
    void SetListQuiet(bool quiet) { listQuiet = quiet ? 1 : 0; }

    // --- transport -------------------------------------------------------------
    HRESULT FindXuNode(IBaseFilter* filter, const GUID& set, ComPtr<IKsControl>& control, DWORD& nodeId);
    HRESULT QueryDataPackageSize();
    int ListDevices(int index);
    HRESULT BindDevice(IBaseFilter* filter);
    HRESULT OpenAndRun(const DeviceSelection& selection, const std::function<HRESULT(IBaseFilter*)>& runCommands);
    void ReleaseUnit() { control.xu().release(); }

    // --- command protocol ----------------------------------------------------------
    HRESULT GetErrorStatus(IBaseFilter* filter, uint8_t& code);
    HRESULT GetState(IBaseFilter* filter, uint8_t record[5]);
    HRESULT SetState(IBaseFilter* filter, const uint8_t record[5]);
    HRESULT SetUsbData(IBaseFilter* filter, const uint8_t* packet);
    HRESULT GetUsbData(IBaseFilter* filter, uint8_t command, uint8_t* destination, uint32_t capacity);
    HRESULT SendBlock64(IBaseFilter* filter, const uint8_t data[64]);
    HRESULT GetUpgradeVersion(IBaseFilter* filter, uint8_t version[3]);
    HRESULT UpdateDeviceAttributes(IBaseFilter* filter);
    HRESULT SetUsbSn(IBaseFilter* filter, const char* text);
    HRESULT SetLog(IBaseFilter* filter);
    HRESULT DeviceReboot(IBaseFilter* filter);
    void PrintDeviceInfo();
    void PrintStatus();

    // --- file transfers and upgrades ---------------------------------------------
    HRESULT SendFileToDevice(IBaseFilter* filter, uint8_t command, const char* path);
    HRESULT ReceiveFile(IBaseFilter* filter, const char* directory, const char* name);
    HRESULT GetDeviceLog(IBaseFilter* filter, const char* directory);
    HRESULT Config_Upgrade(IBaseFilter* filter, const char* path);
    HRESULT PKG_Upgrade(IBaseFilter* filter, const char* path);
    HRESULT MTD_Upgrade(IBaseFilter* filter, const char* path);

    bool Connected() const { return connected != 0; }
    uint32_t PackageSize() const { return packageSize; }
    uint32_t PayloadCapacity() const { return payloadCapacity; }
    const DeviceAttributes& Attributes() const { return attributes; }

    // How long a camera may keep answering busy before a transfer gives up.
    static constexpr uint64_t kBusyTimeoutMs = 30000;
    static constexpr uint32_t kMaxFlashPolls = 100000;
    // The camera names the pause between flash-progress reads; a longer one
    // is cut to this, and the whole flash write is given up after kFlashTimeoutMs.
    static constexpr uint32_t kMaxFlashPollIntervalMs = 5000;
    static constexpr uint64_t kFlashTimeoutMs = 600000;
    // Longest received file path (directory text plus name), in bytes.
    static constexpr size_t kMaxReceivePath = 259;

private:
    template <typename... Args>
    void print(const char* format, Args... args) const;

    HRESULT CheckCommon(IBaseFilter* filter, const void* buffer = "");
    HRESULT ReadControl(uint32_t selector, uint32_t length, void* buffer);
    HRESULT WriteControl(uint32_t selector, uint32_t length, const void* buffer);
    HRESULT ArmCommand(IBaseFilter* filter, uint8_t command);
    // Reads the error status of the step just taken: "GetErrorStatus error\n"
    // when it cannot be read, "error_status :<name>\n" and E_FAIL when the
    // camera reports one.
    HRESULT CheckErrorStatus(IBaseFilter* filter);
    // Reads one packet from the data control; prints the low-level line and
    // "GetUsbData error\n" on failure.
    HRESULT ReadDataPacket();
    uint8_t* Packet() { return packet.data(); }
    void FillPacket(uint8_t type, uint32_t offset, uint32_t total, const uint8_t* payload, uint32_t length);
    bool PacketLengthFits(uint32_t length) const { return length <= payloadCapacity; }
    // What the data packet just read means for a device-to-host transfer:
    // read again (busy, within the time limit), the end, or a data packet
    // whose payload fits the `room` bytes left. Failures print their lines,
    // "GetUsbData error\n" last.
    enum class PacketStep { Again, End, Data, Failed };
    PacketStep TakeDataPacket(uint32_t room, uint64_t lastProgress);
    // A zero-length data packet counts as busy for the time limit.
    bool StalledSince(uint64_t lastProgress);
    HRESULT SendInfoStage(IBaseFilter* filter, const uint8_t* block);
    HRESULT ReadInfoAnswer(uint8_t* block);
    HRESULT CheckModel(const char* path, const char* extension);
    HRESULT FollowFlashWrite(IBaseFilter* filter);

    // Fields in the engine's documented order.
    int32_t connected = 0;
    uint32_t packageSize = 0;
    uint32_t payloadCapacity = 0;
    PrintCallback printCallback = nullptr;
    DeviceAttributes attributes{};
    UvcControl control;

    int32_t deviceOpened = 0;
    uint8_t listQuiet = 0;
    // One data packet, reused by every transfer; never shorter than a header
    // plus the record descriptor.
    std::vector<uint8_t> packet;
};

// The printf-style output used when no callback is installed: standard output.
int printToStandardOutput(const char* format, ...);

template <typename... Args>
void CVorqUvcUpgrade::print(const char* format, Args... args) const
{
    PrintCallback out = printCallback ? printCallback : printToStandardOutput;
    out(format, args...);
}

} // namespace fwflash

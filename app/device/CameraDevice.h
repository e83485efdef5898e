#pragma once

#include <cstdint>
#include <map>

#include <QString>
#include <QStringList>

#include "platform/ComPtr.h"
#include "platform/DirectShow.h"

// The settings pages' way to the selected camera: its camera-control and
// proc-amp interfaces and one of its vendor extension units. Results are
// status codes (negative failure, 0 success, 1 success with "false");
// diagnostics go to the debug log.
class CameraDevice {
public:
    // Extension-unit requests of xuProperty.
    enum Request : uint32_t { Read = 1, Write = 2 };

    // Extension-unit selectors the pages use.
    enum Selector : uint32_t {
        XU_DEVICE_INFO = 9,
        XU_AE_MODE = 10,
        XU_EXPOSURE = 11,
        XU_ZOOM_MOVE = 12,
        XU_IMAGE_STYLE = 13,
        XU_BLUE_SHIFT = 14,
        XU_RED_SHIFT = 15,
        XU_FACTORY_RESET = 23,
        XU_FLIP_V = 24,
        XU_FLIP_H = 25,
        XU_AUDIO_ENABLE = 26,
        XU_AUDIO_ALGO = 27,
    };

    // White-balance flags before the first successful read.
    static constexpr long kWhiteBalanceUnknown = 3;
    // Status of an openDevice that found no device of that name.
    static constexpr HRESULT kNoSuchDevice = HRESULT_FROM_WIN32(1168); // ERROR_NOT_FOUND
    // Status of a transfer refused because the control does not fit the
    // caller's buffer.
    static constexpr HRESULT kBufferTooSmall = HRESULT_FROM_WIN32(122); // ERROR_INSUFFICIENT_BUFFER

    // A byte read back from a signed one-byte control: above 128 it is
    // negative; 0x80 stays +128, as the camera's own tools read it.
    static int signedSetting(uint8_t b) { return b > 128 ? b - 256 : b; }

    explicit CameraDevice(GUID xuGuid);
    ~CameraDevice();
    CameraDevice(const CameraDevice&) = delete;
    CameraDevice& operator=(const CameraDevice&) = delete;

    // Binds the video input device whose device path occurs in deviceName.
    // Whatever was bound before is given back first, so a failed open leaves
    // the instance unbound rather than on another camera.
    long openDevice(const QString& deviceName);
    // Refreshes wbFlags() from the proc-amp's white balance.
    long readWhiteBalanceMode();
    // One transfer of one control of this instance's extension unit. The
    // device decides how many bytes move; a control longer than `length` is
    // refused. -1 when no camera is bound.
    long xuProperty(uint32_t selector, uint32_t request, void* buffer, uint32_t length);
    long setProcAmp(long property, long value, long flags);
    // value and flags are left untouched on failure.
    long getProcAmp(long property, long& value, long& flags);
    // Runs the properties dialog on the bound camera; false when refused
    // (no camera, or a dialog already open), true once the library was tried.
    bool showAdvancedDialog();

    // Null while unbound. Borrowed: the instance keeps its reference.
    IAMCameraControl* cameraControl() const { return cameraControl_.get(); }
    IBaseFilter* propertyFilter() const { return propertyFilter_.get(); }
    long wbFlags() const { return wbFlags_; }
    bool dialogOpen() const { return dialogOpen_; }
    bool extensionUnitBound() const { return ksControl_ && xuFilter_; }
    const GUID& xuGuid() const { return xuGuid_; }

    // Kernel-streaming requests sent through the extension unit since the
    // instance was built; lets tests and benchmarks count the cost of access.
    uint64_t ksRequestCount() const { return ksRequests_; }

    // Folders searched for the properties dialog library, in order. Empty
    // (the default) means the program's library folders (ProgramFolders).
    void setDialogLibraryDirs(const QStringList& dirs) { dialogLibraryDirs_ = dirs; }

private:
    void release();
    HRESULT sendNodeRequest(KSP_NODE& request, void* data, ULONG length, ULONG* returned);
    // The node that carries xuGuid, searched for once per binding.
    ULONG extensionUnitNode(uint32_t selector);
    QStringList dialogLibraryCandidates() const;

    long wbFlags_ = kWhiteBalanceUnknown;
    ComPtr<IAMCameraControl> cameraControl_;
    ComPtr<IAMVideoProcAmp> procAmp_;
    ComPtr<IBaseFilter> xuFilter_;
    ComPtr<IBaseFilter> propertyFilter_;
    ComPtr<IKsControl> ksControl_;
    const GUID xuGuid_;
    bool dialogOpen_ = false;

    // Per binding: the unit's node once found, and each control's length.
    ULONG node_ = 0;
    bool nodeFound_ = false;
    std::map<uint32_t, ULONG> controlLengths_;

    uint64_t ksRequests_ = 0;
    QStringList dialogLibraryDirs_;
};

// Property sets of the camera's two settings units.
inline constexpr GUID kSettingsUnitGuid = {0xA7A6A934, 0x3A4A, 0x4351, {0x85, 0xF4, 0x04, 0x2E, 0xF2, 0xCD, 0xCA, 0xAB}};
inline constexpr GUID kZoomUnitGuid = {0x9D33BBE7, 0xE619, 0x435C, {0x8F, 0xAC, 0x52, 0x8E, 0xEC, 0xCC, 0xBC, 0xA4}};

// The program's two instances, for its whole run: mainDevice for camera
// control, proc-amp, every settings control and the properties dialog;
// zoomDevice for the zoom motion control only.
extern CameraDevice mainDevice;
extern CameraDevice zoomDevice;

#pragma once

// The DirectShow and kernel-streaming surface that the program, the upgrade
// engine and the properties dialog use to reach a camera. On Linux it is built
// on the UVC device level (UvcDevice); on Windows it will be DirectShow itself,
// so callers are written once against these names and status codes.

#include <cstdint>
#include <string>

#include "platform/Export.h"
#include "platform/Guid.h"

using HRESULT = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

inline constexpr uint32_t ERROR_MORE_DATA = 234;
inline constexpr uint32_t ERROR_NOT_FOUND = 1168;
inline constexpr uint32_t ERROR_SET_NOT_FOUND = 1170;

inline constexpr HRESULT HRESULT_FROM_WIN32(uint32_t code)
{
    return code == 0 ? S_OK : static_cast<HRESULT>((code & 0xFFFFu) | 0x80070000u);
}
inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }

namespace vorq::platform {
// A Linux errno as a status code: HRESULT_FROM_WIN32(errno), 0 stays S_OK.
inline constexpr HRESULT hresultFromErrno(int err)
{
    return err <= 0 ? S_OK : HRESULT_FROM_WIN32(static_cast<uint32_t>(err));
}
} // namespace vorq::platform

// --- class and interface ids (the Windows values) ---------------------------
inline constexpr CLSID CLSID_SystemDeviceEnum = {0x62BE5D10, 0x60EB, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr CLSID CLSID_VideoInputDeviceCategory = {0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_ICreateDevEnum = {0x29840822, 0x5B84, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr IID IID_IEnumMoniker = {0x00000102, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IMoniker = {0x0000000F, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPropertyBag = {0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr IID IID_IBaseFilter = {0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IAMCameraControl = {0xC6E13370, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
inline constexpr IID IID_IAMVideoProcAmp = {0xC6E13360, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
inline constexpr IID IID_IKsControl = {0x28F54685, 0x06FD, 0x11D2, {0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
inline constexpr IID IID_IKsTopologyInfo = {0x720D4AC0, 0x7533, 0x11D0, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
inline constexpr GUID KSNODETYPE_DEV_SPECIFIC = {0x941C7AC0, 0xC559, 0x11D0, {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1}};

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

// --- kernel-streaming property requests ---------------------------------------
struct KSPROPERTY {
    GUID Set;
    ULONG Id;
    ULONG Flags;
};
struct KSP_NODE {
    KSPROPERTY Property;
    ULONG NodeId;
    ULONG Reserved;
};
static_assert(sizeof(KSPROPERTY) == 24, "KSPROPERTY is 24 bytes");
static_assert(sizeof(KSP_NODE) == 32, "KSP_NODE is 32 bytes");

inline constexpr ULONG KSPROPERTY_TYPE_GET = 0x00000001;
inline constexpr ULONG KSPROPERTY_TYPE_SET = 0x00000002;
inline constexpr ULONG KSPROPERTY_TYPE_SETSUPPORT = 0x00000100;
inline constexpr ULONG KSPROPERTY_TYPE_BASICSUPPORT = 0x00000200;
inline constexpr ULONG KSPROPERTY_TYPE_TOPOLOGY = 0x10000000;

// --- camera-control and proc-amp property ids and flags -----------------------
enum CameraControlProperty : long {
    CameraControl_Pan = 0,
    CameraControl_Tilt = 1,
    CameraControl_Roll = 2,
    CameraControl_Zoom = 3,
    CameraControl_Exposure = 4,
    CameraControl_Iris = 5,
    CameraControl_Focus = 6,
    CameraControl_PanRelative = 10,
    CameraControl_TiltRelative = 11,
};
enum VideoProcAmpProperty : long {
    VideoProcAmp_Brightness = 0,
    VideoProcAmp_Contrast = 1,
    VideoProcAmp_Hue = 2,
    VideoProcAmp_Saturation = 3,
    VideoProcAmp_Sharpness = 4,
    VideoProcAmp_Gamma = 5,
    VideoProcAmp_ColorEnable = 6,
    VideoProcAmp_WhiteBalance = 7,
    VideoProcAmp_BacklightCompensation = 8,
    VideoProcAmp_Gain = 9,
    VideoProcAmp_PowerlineFrequency = 13,
};
inline constexpr long CameraControl_Flags_Auto = 0x0001;
inline constexpr long CameraControl_Flags_Manual = 0x0002;
inline constexpr long VideoProcAmp_Flags_Auto = 0x0001;
inline constexpr long VideoProcAmp_Flags_Manual = 0x0002;

// --- interfaces -------------------------------------------------------------------
// Reference counted like COM objects: every interface pointer handed out holds a
// reference that its receiver gives back with Release() (ComPtr does it).
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

struct IPropertyBag : IUnknown {
    // String properties "FriendlyName" and "DevicePath", UTF-8.
    virtual HRESULT Read(const char* name, std::string& value) = 0;
};

struct IBaseFilter : IUnknown {};

struct IMoniker : IUnknown {
    // riid IID_IPropertyBag
    virtual HRESULT BindToStorage(REFIID riid, void** ppv) = 0;
    // riid IID_IBaseFilter (or any interface of the filter); each call binds
    // a new filter object
    virtual HRESULT BindToObject(REFIID riid, void** ppv) = 0;
};

struct IEnumMoniker : IUnknown {
    virtual HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
};

struct ICreateDevEnum : IUnknown {
    // An empty category answers S_FALSE and no enumerator.
    virtual HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator, DWORD flags) = 0;
};

struct IAMCameraControl : IUnknown {
    virtual HRESULT GetRange(long property, long* minimum, long* maximum, long* step, long* defaultValue, long* capsFlags) = 0;
    virtual HRESULT Set(long property, long value, long flags) = 0;
    virtual HRESULT Get(long property, long* value, long* flags) = 0;
};

struct IAMVideoProcAmp : IUnknown {
    virtual HRESULT GetRange(long property, long* minimum, long* maximum, long* step, long* defaultValue, long* capsFlags) = 0;
    virtual HRESULT Set(long property, long value, long flags) = 0;
    virtual HRESULT Get(long property, long* value, long* flags) = 0;
};

struct IKsControl : IUnknown {
    // property points at a KSPROPERTY, or a KSP_NODE when Flags has
    // KSPROPERTY_TYPE_TOPOLOGY (propertyLength 32).
    virtual HRESULT KsProperty(KSPROPERTY* property, ULONG propertyLength, void* data, ULONG dataLength,
                               ULONG* bytesReturned) = 0;
};

struct IKsTopologyInfo : IUnknown {
    virtual HRESULT get_NumNodes(DWORD* count) = 0;
    virtual HRESULT get_NodeType(DWORD nodeId, GUID* nodeType) = 0;
    virtual HRESULT CreateNodeInstance(DWORD nodeId, REFIID riid, void** ppv) = 0;
};

// --- entry points -----------------------------------------------------------------
VORQ_PLATFORM_API HRESULT CoInitialize(void* reserved);
VORQ_PLATFORM_API void CoUninitialize();
// Only CLSID_SystemDeviceEnum / IID_ICreateDevEnum is served.
VORQ_PLATFORM_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv);

#pragma once

#include <atomic>
#include <memory>

#include "ks/ComObject.h"
#include "ks/ExtensionUnitProperties.h"
#include "ks/GuardedDevice.h"
#include "ks/V4l2ControlBridge.h"
#include "platform/ComPtr.h"
#include "platform/DirectShow.h"

namespace vorq::platform::ks {

// The capture filter of one camera binding, owning its own UvcDevice. It is
// one object with one reference count; its other interfaces are members that
// delegate IUnknown to it, so holding any of them keeps the filter (and the
// device) alive.
class CaptureFilter final : public IBaseFilter {
public:
    static ComPtr<CaptureFilter> create(std::unique_ptr<UvcDevice> device);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // A request of the node-level control of `nodeId`.
    HRESULT nodeProperty(ULONG nodeId, KSPROPERTY* property, ULONG propertyLength, void* data, ULONG dataLength,
                         ULONG* bytesReturned);

private:
    class CameraControl final : public DelegatedInterface<IAMCameraControl> {
    public:
        CameraControl(CaptureFilter& owner, V4l2ControlBridge bridge);
        HRESULT GetRange(long property, long* minimum, long* maximum, long* step, long* defaultValue,
                         long* capsFlags) override;
        HRESULT Set(long property, long value, long flags) override;
        HRESULT Get(long property, long* value, long* flags) override;

    private:
        V4l2ControlBridge bridge_;
    };

    class ProcAmp final : public DelegatedInterface<IAMVideoProcAmp> {
    public:
        ProcAmp(CaptureFilter& owner, V4l2ControlBridge bridge);
        HRESULT GetRange(long property, long* minimum, long* maximum, long* step, long* defaultValue,
                         long* capsFlags) override;
        HRESULT Set(long property, long value, long flags) override;
        HRESULT Get(long property, long* value, long* flags) override;

    private:
        V4l2ControlBridge bridge_;
    };

    class KsControl final : public DelegatedInterface<IKsControl> {
    public:
        explicit KsControl(CaptureFilter& owner);
        HRESULT KsProperty(KSPROPERTY* property, ULONG propertyLength, void* data, ULONG dataLength,
                           ULONG* bytesReturned) override;

    private:
        CaptureFilter& owner_;
    };

    class Topology final : public DelegatedInterface<IKsTopologyInfo> {
    public:
        explicit Topology(CaptureFilter& owner);
        HRESULT get_NumNodes(DWORD* count) override;
        HRESULT get_NodeType(DWORD nodeId, GUID* nodeType) override;
        HRESULT CreateNodeInstance(DWORD nodeId, REFIID riid, void** ppv) override;

    private:
        CaptureFilter& owner_;
    };

    explicit CaptureFilter(std::unique_ptr<UvcDevice> device);
    ~CaptureFilter() override;

    std::atomic<ULONG> refs_{1};
    GuardedDevice device_;
    ExtensionUnitProperties units_;
    CameraControl cameraControl_;
    ProcAmp procAmp_;
    KsControl ksControl_;
    Topology topology_;
};

} // namespace vorq::platform::ks

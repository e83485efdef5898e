#include "ks/CaptureFilter.h"

#include "ks/KsNodeControl.h"

namespace vorq::platform::ks {

ComPtr<CaptureFilter> CaptureFilter::create(std::unique_ptr<UvcDevice> device)
{
    return ComPtr<CaptureFilter>(new CaptureFilter(std::move(device)));
}

CaptureFilter::CaptureFilter(std::unique_ptr<UvcDevice> device)
    : device_(std::move(device)),
      units_(device_),
      cameraControl_(*this, V4l2ControlBridge::forCameraControl(device_)),
      procAmp_(*this, V4l2ControlBridge::forVideoProcAmp(device_)),
      ksControl_(*this),
      topology_(*this)
{
}

CaptureFilter::~CaptureFilter() = default;

HRESULT CaptureFilter::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    // IUnknown is always the IBaseFilter pointer, whichever interface asks.
    if (riid == IID_IUnknown || riid == IID_IBaseFilter) return handOut(static_cast<IBaseFilter*>(this), ppv);
    if (riid == IID_IAMCameraControl) return handOut(static_cast<IAMCameraControl*>(&cameraControl_), ppv);
    if (riid == IID_IAMVideoProcAmp) return handOut(static_cast<IAMVideoProcAmp*>(&procAmp_), ppv);
    if (riid == IID_IKsControl) return handOut(static_cast<IKsControl*>(&ksControl_), ppv);
    if (riid == IID_IKsTopologyInfo) return handOut(static_cast<IKsTopologyInfo*>(&topology_), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CaptureFilter::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG CaptureFilter::Release()
{
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

HRESULT CaptureFilter::nodeProperty(ULONG nodeId, KSPROPERTY* property, ULONG propertyLength, void* data,
                                    ULONG dataLength, ULONG* bytesReturned)
{
    return units_.request(property, propertyLength, &nodeId, data, dataLength, bytesReturned);
}

// --- camera control -------------------------------------------------------------

CaptureFilter::CameraControl::CameraControl(CaptureFilter& owner, V4l2ControlBridge bridge)
    : DelegatedInterface(owner), bridge_(bridge)
{
}

HRESULT CaptureFilter::CameraControl::GetRange(long property, long* minimum, long* maximum, long* step,
                                               long* defaultValue, long* capsFlags)
{
    return bridge_.getRange(property, minimum, maximum, step, defaultValue, capsFlags);
}

HRESULT CaptureFilter::CameraControl::Set(long property, long value, long flags)
{
    return bridge_.set(property, value, flags);
}

HRESULT CaptureFilter::CameraControl::Get(long property, long* value, long* flags)
{
    return bridge_.get(property, value, flags);
}

// --- video proc-amp ---------------------------------------------------------------

CaptureFilter::ProcAmp::ProcAmp(CaptureFilter& owner, V4l2ControlBridge bridge)
    : DelegatedInterface(owner), bridge_(bridge)
{
}

HRESULT CaptureFilter::ProcAmp::GetRange(long property, long* minimum, long* maximum, long* step,
                                         long* defaultValue, long* capsFlags)
{
    return bridge_.getRange(property, minimum, maximum, step, defaultValue, capsFlags);
}

HRESULT CaptureFilter::ProcAmp::Set(long property, long value, long flags)
{
    return bridge_.set(property, value, flags);
}

HRESULT CaptureFilter::ProcAmp::Get(long property, long* value, long* flags)
{
    return bridge_.get(property, value, flags);
}

// --- filter-level kernel-streaming control -----------------------------------------

CaptureFilter::KsControl::KsControl(CaptureFilter& owner) : DelegatedInterface(owner), owner_(owner) {}

HRESULT CaptureFilter::KsControl::KsProperty(KSPROPERTY* property, ULONG propertyLength, void* data,
                                             ULONG dataLength, ULONG* bytesReturned)
{
    return owner_.units_.request(property, propertyLength, nullptr, data, dataLength, bytesReturned);
}

// --- topology ------------------------------------------------------------------------

CaptureFilter::Topology::Topology(CaptureFilter& owner) : DelegatedInterface(owner), owner_(owner) {}

HRESULT CaptureFilter::Topology::get_NumNodes(DWORD* count)
{
    if (!count) return E_POINTER;
    *count = owner_.units_.nodeCount();
    return S_OK;
}

HRESULT CaptureFilter::Topology::get_NodeType(DWORD nodeId, GUID* nodeType)
{
    if (!nodeType) return E_POINTER;
    if (nodeId >= owner_.units_.nodeCount()) return E_INVALIDARG;
    *nodeType = owner_.units_.nodeType(nodeId);
    return S_OK;
}

HRESULT CaptureFilter::Topology::CreateNodeInstance(DWORD nodeId, REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (nodeId >= owner_.units_.nodeCount()) return E_INVALIDARG;
    if (riid != IID_IUnknown && riid != IID_IKsControl) return E_NOINTERFACE;
    owner_.AddRef();
    auto* control = new KsNodeControl(ComPtr<CaptureFilter>(&owner_), nodeId);
    *ppv = static_cast<IKsControl*>(control);
    return S_OK;
}

} // namespace vorq::platform::ks

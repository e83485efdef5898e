#include "ks/KsNodeControl.h"

#include "ks/CaptureFilter.h"

namespace vorq::platform::ks {

KsNodeControl::KsNodeControl(ComPtr<CaptureFilter> filter, ULONG nodeId)
    : ComObject(IID_IKsControl), filter_(std::move(filter)), nodeId_(nodeId)
{
}

KsNodeControl::~KsNodeControl() = default;

HRESULT KsNodeControl::KsProperty(KSPROPERTY* property, ULONG propertyLength, void* data, ULONG dataLength,
                                  ULONG* bytesReturned)
{
    return filter_->nodeProperty(nodeId_, property, propertyLength, data, dataLength, bytesReturned);
}

} // namespace vorq::platform::ks

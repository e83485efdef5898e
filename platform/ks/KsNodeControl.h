#pragma once

#include "ks/ComObject.h"
#include "platform/ComPtr.h"
#include "platform/DirectShow.h"

namespace vorq::platform::ks {

class CaptureFilter;

// The control interface of one topology node. A separate object that holds a
// reference on its filter, so it keeps working after the caller has released
// the filter and the topology interface.
class KsNodeControl final : public ComObject<IKsControl> {
public:
    KsNodeControl(ComPtr<CaptureFilter> filter, ULONG nodeId);

    HRESULT KsProperty(KSPROPERTY* property, ULONG propertyLength, void* data, ULONG dataLength,
                       ULONG* bytesReturned) override;

private:
    ~KsNodeControl() override;

    ComPtr<CaptureFilter> filter_;
    const ULONG nodeId_;
};

} // namespace vorq::platform::ks

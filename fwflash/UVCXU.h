#pragma once

#include <cstdint>

#include "platform/ComPtr.h"
#include "platform/DirectShow.h"

namespace fwflash {

// Accessor of one extension unit: its property set, its topology node and the
// node's control interface. Every access is one KsProperty call.
class UVCXU {
public:
    UVCXU() = default;
    UVCXU(const UVCXU&) = delete;
    UVCXU& operator=(const UVCXU&) = delete;
    virtual ~UVCXU();

    void bind(const GUID& propertySet, uint32_t nodeId, ComPtr<IKsControl> control);
    void release() { control_.reset(); }
    bool bound() const { return static_cast<bool>(control_); }
    uint32_t nodeId() const { return nodeId_; }

    // Exactly `length` bytes must come back; anything else is E_FAIL.
    HRESULT read(uint32_t selector, uint32_t length, void* buffer);
    HRESULT write(uint32_t selector, uint32_t length, const void* buffer);
    // A read without a buffer: the control's length comes back in `length`.
    HRESULT sizeQuery(uint32_t selector, uint32_t& length);

private:
    KSP_NODE request(uint32_t selector, ULONG flags) const;

    GUID propertySet_ = GUID_NULL;
    uint32_t nodeId_ = 0;
    ComPtr<IKsControl> control_;
};

} // namespace fwflash

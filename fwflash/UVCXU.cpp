#include "UVCXU.h"

#include <utility>

namespace fwflash {

UVCXU::~UVCXU() = default;

void UVCXU::bind(const GUID& propertySet, uint32_t nodeId, ComPtr<IKsControl> control)
{
    propertySet_ = propertySet;
    nodeId_ = nodeId;
    control_ = std::move(control);
}

KSP_NODE UVCXU::request(uint32_t selector, ULONG flags) const
{
    KSP_NODE node{};
    node.Property.Set = propertySet_;
    node.Property.Id = selector;
    node.Property.Flags = flags;
    node.NodeId = nodeId_;
    node.Reserved = 0;
    return node;
}

HRESULT UVCXU::read(uint32_t selector, uint32_t length, void* buffer)
{
    if (!control_) return E_POINTER;
    KSP_NODE node = request(selector, KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_TOPOLOGY);
    ULONG returned = 0;
    HRESULT hr = control_->KsProperty(&node.Property, sizeof node, buffer, length, &returned);
    if (FAILED(hr) || returned != length) return E_FAIL;
    return S_OK;
}

HRESULT UVCXU::write(uint32_t selector, uint32_t length, const void* buffer)
{
    if (!control_) return E_POINTER;
    KSP_NODE node = request(selector, KSPROPERTY_TYPE_SET | KSPROPERTY_TYPE_TOPOLOGY);
    ULONG returned = 0;
    // KsProperty takes one buffer for both directions; a set only reads it.
    return control_->KsProperty(&node.Property, sizeof node, const_cast<void*>(buffer), length, &returned);
}

HRESULT UVCXU::sizeQuery(uint32_t selector, uint32_t& length)
{
    length = 0;
    if (!control_) return E_POINTER;
    KSP_NODE node = request(selector, KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_TOPOLOGY);
    ULONG returned = 0;
    HRESULT hr = control_->KsProperty(&node.Property, sizeof node, nullptr, 0, &returned);
    length = returned;
    return hr;
}

} // namespace fwflash

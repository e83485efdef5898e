#pragma once

#include <atomic>

#include "platform/DirectShow.h"

namespace vorq::platform::ks {

// Reference counting and QueryInterface for an object that exposes a single
// interface (plus IUnknown). Objects are born with one reference, owned by
// whoever created them; the last Release() deletes them.
template <typename Interface>
class ComObject : public Interface {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == interfaceId_) {
            AddRef();
            *ppv = static_cast<Interface*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG Release() override
    {
        const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

protected:
    explicit ComObject(const IID& interfaceId) : interfaceId_(interfaceId) {}
    ~ComObject() override = default;

private:
    std::atomic<ULONG> refs_{1};
    const IID interfaceId_;
};

// One interface of an object that has several: its IUnknown part is the
// owner's, so every interface handed out keeps the whole object alive and
// QueryInterface reaches all the owner's interfaces.
template <typename Interface>
class DelegatedInterface : public Interface {
public:
    explicit DelegatedInterface(IUnknown& owner) : owner_(owner) {}
    ~DelegatedInterface() override = default;

    HRESULT QueryInterface(REFIID riid, void** ppv) override { return owner_.QueryInterface(riid, ppv); }
    ULONG AddRef() override { return owner_.AddRef(); }
    ULONG Release() override { return owner_.Release(); }

private:
    IUnknown& owner_;
};

// Hands one more reference of `object` to an out-parameter.
template <typename Interface>
HRESULT handOut(Interface* object, void** ppv)
{
    object->AddRef();
    *ppv = object;
    return S_OK;
}

} // namespace vorq::platform::ks

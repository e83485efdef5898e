#include "platform/DirectShow.h"

HRESULT CoInitialize(void*) { return S_OK; }
void CoUninitialize() {}
HRESULT CoCreateInstance(REFCLSID, IUnknown*, DWORD, REFIID, void** ppv)
{
    if (ppv) *ppv = nullptr;
    return E_NOTIMPL;
}

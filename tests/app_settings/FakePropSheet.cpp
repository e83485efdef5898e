// Stands in for the properties dialog library: ShowDlg returns at once after
// telling the test what it was given.
#include "platform/DirectShow.h"

namespace {
void (*hook)(IUnknown*) = nullptr;
} // namespace

extern "C" __attribute__((visibility("default"))) void setShowHook(void (*callback)(IUnknown*)) { hook = callback; }

extern "C" __attribute__((visibility("default"))) void ShowDlg(IUnknown* filter)
{
    if (hook) hook(filter);
}

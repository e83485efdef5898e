#pragma once

#include "platform/DirectShow.h"

namespace vorq::platform::ks {

// The answer for a property set (or a camera-control / proc-amp property id)
// that the object does not carry, as kernel streaming reports it.
inline constexpr HRESULT kSetNotFound = HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
// A selector the extension unit does not advertise in its bmControls.
inline constexpr HRESULT kControlNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
// A read whose buffer cannot take the control; the returned count says how
// many bytes it needs.
inline constexpr HRESULT kMoreData = HRESULT_FROM_WIN32(ERROR_MORE_DATA);

} // namespace vorq::platform::ks

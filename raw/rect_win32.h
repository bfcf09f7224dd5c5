// The rectangle type beside the system's RECT (Windows only).
#pragma once

#include <windows.h>

#include "raw/rect.h"

namespace RawLayer {

inline RECT ToSystemRect(const RawRect& rect) { return RECT{rect.left, rect.top, rect.right, rect.bottom}; }
inline RawRect FromSystemRect(const RECT& rect) { return RawRect{rect.left, rect.top, rect.right, rect.bottom}; }

}  // namespace RawLayer

// The bitmap pool's Windows half (Windows only): icon handles into slots, and slots onto a
// device context.
#pragma once

#include <windows.h>

#include <cstdint>

#include "win/bitmap_pool.h"

namespace WinLayer {

// Imports an icon handle at the size of its bitmaps (colour and mask read with GetDIBits); the
// slot, or -1 when the bitmaps cannot be read or no slot can be had (a failed read takes no
// slot). The icon stays the caller's.
int32_t WinAddIcon(WinBitmapPool& pool, HICON icon);
// The same into a slot already handed out, which keeps its number.
[[nodiscard]] bool WinReplaceIcon(WinBitmapPool& pool, int32_t slot, HICON icon);
// Blends the slot onto `target` of `dc`, stretched to the rectangle's size.
void WinDrawSlot(WinBitmapPool& pool, int32_t slot, HDC dc, const RECT& target);

}  // namespace WinLayer

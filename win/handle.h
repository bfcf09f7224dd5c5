// One owner per Win32 handle (Windows only). Each kind is declared in one line from the function
// that frees it; owners move but never copy, so a handle is freed exactly once. Scoped helpers
// pair the calls that must be paired: BeginPaint/EndPaint, GetDC/ReleaseDC, SelectObject and
// its restore.
#pragma once

#include <windows.h>

namespace WinLayer {

template <typename Handle, auto Free>
class WinUniqueHandle {
 public:
  WinUniqueHandle() = default;
  explicit WinUniqueHandle(Handle handle) : handle_(handle) {}
  ~WinUniqueHandle() { reset(); }
  WinUniqueHandle(WinUniqueHandle&& other) noexcept : handle_(other.release()) {}
  WinUniqueHandle& operator=(WinUniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  WinUniqueHandle(const WinUniqueHandle&) = delete;
  WinUniqueHandle& operator=(const WinUniqueHandle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  // Gives the handle up without freeing it.
  [[nodiscard]] Handle release() {
    Handle handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  // Frees the handle held, then holds `handle`.
  void reset(Handle handle = nullptr) {
    if (handle_ != nullptr && handle_ != handle) Free(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

using WinUniqueFont = WinUniqueHandle<HFONT, &DeleteObject>;
using WinUniqueBrush = WinUniqueHandle<HBRUSH, &DeleteObject>;
using WinUniquePen = WinUniqueHandle<HPEN, &DeleteObject>;
using WinUniqueBitmap = WinUniqueHandle<HBITMAP, &DeleteObject>;
using WinUniqueRegion = WinUniqueHandle<HRGN, &DeleteObject>;
using WinUniqueIcon = WinUniqueHandle<HICON, &DestroyIcon>;
using WinUniqueMenu = WinUniqueHandle<HMENU, &DestroyMenu>;
using WinUniqueWindow = WinUniqueHandle<HWND, &DestroyWindow>;
using WinUniqueMemoryDc = WinUniqueHandle<HDC, &DeleteDC>;
using WinUniqueKernelHandle = WinUniqueHandle<HANDLE, &CloseHandle>;

// The painting of one WM_PAINT.
class WinPaintDc {
 public:
  explicit WinPaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  ~WinPaintDc() { EndPaint(window_, &paint_); }
  WinPaintDc(const WinPaintDc&) = delete;
  WinPaintDc& operator=(const WinPaintDc&) = delete;
  HDC get() const { return dc_; }
  const RECT& Dirty() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// A window's device context outside WM_PAINT (null window: the screen).
class WinWindowDc {
 public:
  explicit WinWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WinWindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WinWindowDc(const WinWindowDc&) = delete;
  WinWindowDc& operator=(const WinWindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context and puts the previous one back at scope end, so an
// owned object is never deleted while still selected.
class WinSelection {
 public:
  WinSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
  ~WinSelection() {
    if (previous_ != nullptr) SelectObject(dc_, previous_);
  }
  WinSelection(const WinSelection&) = delete;
  WinSelection& operator=(const WinSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace WinLayer

// One owner per Win32 handle (Windows only). Each kind is declared in one line from the function
// that frees it and the value that means "no handle" (null for most kinds; INVALID_HANDLE_VALUE
// for files, snapshots and find handles); owners move but never copy, so a handle is freed exactly
// once. Scoped helpers pair the calls that must be paired: BeginPaint/EndPaint, GetDC/ReleaseDC,
// SelectObject and its restore.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

namespace RawLayer {

template <typename Handle, auto Free, std::intptr_t InvalidValue = 0>
class RawUniqueHandle {
 public:
  static Handle Invalid() { return reinterpret_cast<Handle>(InvalidValue); }

  RawUniqueHandle() = default;
  explicit RawUniqueHandle(Handle handle) : handle_(handle) {}
  ~RawUniqueHandle() { reset(); }
  RawUniqueHandle(RawUniqueHandle&& other) noexcept : handle_(other.release()) {}
  RawUniqueHandle& operator=(RawUniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  RawUniqueHandle(const RawUniqueHandle&) = delete;
  RawUniqueHandle& operator=(const RawUniqueHandle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Invalid() && handle_ != nullptr; }
  // Gives the handle up without freeing it.
  [[nodiscard]] Handle release() {
    Handle handle = handle_;
    handle_ = Invalid();
    return handle;
  }
  // Frees the handle held, then holds `handle`.
  void reset(Handle handle = Invalid()) {
    if (*this && handle_ != handle) Free(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Invalid();
};

// INVALID_HANDLE_VALUE as a template argument.
constexpr std::intptr_t kRawInvalidHandle = -1;

using RawUniqueFont = RawUniqueHandle<HFONT, &DeleteObject>;
using RawUniqueBrush = RawUniqueHandle<HBRUSH, &DeleteObject>;
using RawUniquePen = RawUniqueHandle<HPEN, &DeleteObject>;
using RawUniqueBitmap = RawUniqueHandle<HBITMAP, &DeleteObject>;
using RawUniqueRegion = RawUniqueHandle<HRGN, &DeleteObject>;
using RawUniqueIcon = RawUniqueHandle<HICON, &DestroyIcon>;
using RawUniqueMenu = RawUniqueHandle<HMENU, &DestroyMenu>;
using RawUniqueWindow = RawUniqueHandle<HWND, &DestroyWindow>;
using RawUniqueMemoryDc = RawUniqueHandle<HDC, &DeleteDC>;
using RawUniqueKernelHandle = RawUniqueHandle<HANDLE, &CloseHandle>;
using RawUniqueFile = RawUniqueHandle<HANDLE, &CloseHandle, kRawInvalidHandle>;
using RawUniqueFind = RawUniqueHandle<HANDLE, &FindClose, kRawInvalidHandle>;
using RawUniqueDrop = RawUniqueHandle<HDROP, &DragFinish>;

// The painting of one WM_PAINT.
class RawPaintDc {
 public:
  explicit RawPaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  ~RawPaintDc() { EndPaint(window_, &paint_); }
  RawPaintDc(const RawPaintDc&) = delete;
  RawPaintDc& operator=(const RawPaintDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// A window's device context outside WM_PAINT (null window: the screen).
class RawWindowDc {
 public:
  explicit RawWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~RawWindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  RawWindowDc(const RawWindowDc&) = delete;
  RawWindowDc& operator=(const RawWindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context and puts the previous one back at scope end, so an
// owned object is never deleted while still selected.
class RawSelection {
 public:
  RawSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
  ~RawSelection() {
    if (previous_ != nullptr) SelectObject(dc_, previous_);
  }
  RawSelection(const RawSelection&) = delete;
  RawSelection& operator=(const RawSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace RawLayer

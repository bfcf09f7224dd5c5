// Binding a window to the object behind it (Windows only), the one way every window of both
// programs finds its object: the toolkit's views, the dialogs and the selection windows. The
// object is kept in a window property, which works the same for a program's own classes,
// dialogs and subclassed system controls, and never mistakes a foreign window's user data for
// an object of ours.
#pragma once

#include <windows.h>

namespace RawLayer {

inline constexpr wchar_t kWindowObjectProperty[] = L"KestrelView.Object";

[[nodiscard]] inline bool BindWindow(HWND window, void* object) {
  return SetPropW(window, kWindowObjectProperty, object) != FALSE;
}
inline void UnbindWindow(HWND window) { RemovePropW(window, kWindowObjectProperty); }

template <class T>
T* BoundObject(HWND window) {
  return window == nullptr ? nullptr : static_cast<T*>(GetPropW(window, kWindowObjectProperty));
}

// The object of a window procedure's window for this message: bound from the first message that
// carries it (WM_NCCREATE's creation parameter, or WM_INITDIALOG's parameter for a dialog), and
// unbound on WM_NCDESTROY, which still gets it. Null for the messages before the binding.
template <class T>
T* BoundObjectFor(HWND window, UINT message, LPARAM lParam) {
  T* object = nullptr;
  if (message == WM_NCCREATE) {
    object = static_cast<T*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
  } else if (message == WM_INITDIALOG) {
    object = reinterpret_cast<T*>(lParam);
  } else {
    object = BoundObject<T>(window);
    if (message == WM_NCDESTROY) UnbindWindow(window);
    return object;
  }
  return object != nullptr && BindWindow(window, object) ? object : nullptr;
}

}  // namespace RawLayer

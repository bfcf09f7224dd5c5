#include "win/tmenu_execution.h"

namespace WinLayer {

void WinTMenuExecution::OnMenuCreated(HMENU) {}

bool WinTMenuExecution::HookMessage(WinView& view, UINT message, WPARAM wParam, LPARAM, LRESULT&) {
  switch (message) {
    case WM_CREATE:
      menu_ = nullptr;
      if ((GetWindowLongPtrW(view.Handle(), GWL_STYLE) & WS_SYSMENU) != 0) {
        menu_ = GetSystemMenu(view.Handle(), FALSE);
        if (menu_ != nullptr) OnMenuCreated(menu_);
      }
      break;
    case WM_INITMENUPOPUP:
      // The handle, not the flag in the high word: a system menu opened with TrackPopupMenu
      // (from a tray icon) does not say that it is one.
      if (menu_ != nullptr && reinterpret_cast<HMENU>(wParam) == menu_) BuildMenu(menu_);
      break;
    case WM_SYSCOMMAND:
      ExecuteCommand(static_cast<int>(wParam));
      break;
    case WM_NCDESTROY:
      // The menu goes with the window.
      menu_ = nullptr;
      break;
    default:
      break;
  }
  return false;
}

}  // namespace WinLayer

#include "win/tmenu_execution.h"

namespace WinLayer {

void WinTMenuExecution::OnMenuCreated(HMENU) {}

bool WinTMenuExecution::HookMessage(WinView& view, UINT message, WPARAM wParam, LPARAM lParam, LRESULT&) {
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
    case WM_COMMAND:
      // An item of a submenu of the system menu may be reported as a plain menu command (Wine
      // does so); it is the same command.
      if (menu_ != nullptr && HIWORD(wParam) == 0 && lParam == 0 &&
          GetMenuState(menu_, LOWORD(wParam), MF_BYCOMMAND) != static_cast<UINT>(-1)) {
        ExecuteCommand(LOWORD(wParam));
      }
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

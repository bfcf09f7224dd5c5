// The title menu hook (Windows only): a window's system menu (its title menu) as a place for the
// program's own commands. A hook on the window's view finds the menu when the window is made, lets
// the owner add items when the menu is about to open, and hands every system command to the owner.
// The hook never keeps a message from the window, so the system's own items work as before.
#pragma once

#include <windows.h>

#include "win/view.h"

namespace WinLayer {

class WinTMenuExecution : public WinViewHook {
 public:
  explicit WinTMenuExecution(WinView& view) : view_(view) {}
  ~WinTMenuExecution() override = default;
  WinTMenuExecution(const WinTMenuExecution&) = delete;
  WinTMenuExecution& operator=(const WinTMenuExecution&) = delete;

  // WM_CREATE of a window with WS_SYSMENU: keeps its system menu and calls OnMenuCreated;
  // WM_INITMENUPOPUP of that menu: BuildMenu; WM_SYSCOMMAND, and a menu's WM_COMMAND for an
  // item of the system menu: ExecuteCommand. Always false.
  bool HookMessage(WinView& view, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 protected:
  // Once per window, right after it was made.
  virtual void OnMenuCreated(HMENU menu);
  // Each time the system menu is about to open.
  virtual void BuildMenu(HMENU menu) = 0;
  // A system command: one of the owner's items, or one of the system's, which the owner leaves.
  virtual void ExecuteCommand(int command) = 0;

  WinView& View() const { return view_; }
  HMENU SystemMenu() const { return menu_; }

 private:
  WinView& view_;
  HMENU menu_ = nullptr;  // belongs to the window
};

}  // namespace WinLayer

// The launcher's title-menu hook (Windows only): adds the launcher's items to the main window's
// system menu the first time it opens and carries them out. The items, the help set and the
// placement rule are in title_menu.h.
#pragma once

#include <windows.h>

#include "app/title_menu.h"
#include "raw/string.h"
#include "win/tmenu_execution.h"

namespace AppLayer {

class GuiTMenuExecution : public WinLayer::WinTMenuExecution {
 public:
  // Attached to `window` with AttachHook before its window is made.
  explicit GuiTMenuExecution(WinLayer::WinView& window);

  // Where the read-me, the help files and the help viewer are looked for: the program's own
  // folder unless set before the menu first opens.
  void SetProgramFolder(const RawString& folder) { programFolder_ = folder; }

 protected:
  void OnMenuCreated(HMENU menu) override;
  void BuildMenu(HMENU menu) override;
  void ExecuteCommand(int command) override;

 private:
  void InsertHelpItem(HMENU menu, int position, const RawString& caption);
  void MoveToPrimaryScreen();
  void ChooseFontFor(int command);
  // Checks the launcher's files as "-k" does and shows the report over the window.
  void CheckProfile();

  RawString programFolder_;
  GuiHelpSet help_;
  HMENU helpMenu_ = nullptr;  // belongs to the system menu once inserted
  int helpCount_ = 0;         // items of the help submenu
  bool built_ = false;
};

}  // namespace AppLayer

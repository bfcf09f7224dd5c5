// The information dialog: an icon, a message and an OK button under a title, shown modally.
// It is a real dialog (class "#32770") whose message is the static control 0xFFFF, as in the
// system's message boxes, so tools that read message boxes read it too.
#pragma once

#include "raw/string.h"

namespace WinLayer {

using RawLayer::RawString;

class WinInfoDialog {
 public:
  static constexpr int kWarningIcon = 32515;  // the system's warning icon
  static constexpr int kTextId = 0xFFFF;
  static constexpr int kIconId = 0x0440;

  WinInfoDialog(const RawString& title, const RawString& text, int systemIcon = kWarningIcon)
      : title_(title), text_(text), icon_(systemIcon) {}

  // Shows the dialog and returns when the user has closed it, with the identifier of the button
  // that closed it (IDOK, or IDCANCEL for Escape and the close box); 0 when it could not be
  // shown. With an owner window (an HWND) the dialog is centred over the owner's rectangle and
  // the owner is disabled while it is open; without one it is centred in the work area. Either
  // way it is kept inside the work area.
  int Show(void* owner);

 private:
  RawString title_;
  RawString text_;
  int icon_;
};

}  // namespace WinLayer

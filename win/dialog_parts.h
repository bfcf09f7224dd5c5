// What the launcher's own dialogs share (Windows only): a dialog template built in memory, the
// font they write in, and their placing.
#pragma once

#include <windows.h>

#include <vector>

#include "raw/handle_win32.h"

namespace WinLayer {

// A dialog without menu, class or title, and controls of the system's classes, all at zero
// size: the dialog sizes and places them when it opens, once their texts have been measured.
class WinDialogTemplate {
 public:
  static constexpr WORD kButton = 0x0080;
  static constexpr WORD kEdit = 0x0081;
  static constexpr WORD kStatic = 0x0082;
  static constexpr WORD kComboBox = 0x0085;

  explicit WinDialogTemplate(DWORD style);
  void Add(DWORD style, int id, WORD classAtom, const wchar_t* text = L"");
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD value) { words_.push_back(value); }
  void Dword(DWORD value);
  void EmptyRect();

  std::vector<WORD> words_;
};

// The system's message font, which the dialogs write in, at `dpi`; empty when it cannot be
// made.
RawLayer::RawUniqueFont WinCreateMessageFont(int dpi);
// `font`, or the stock GUI font when it is empty.
HFONT WinFontOrDefault(const RawLayer::RawUniqueFont& font);

// The work area of the monitor nearest `owner` (without an owner: the primary one).
RECT WinWorkAreaNear(HWND owner);
// Sizes `dialog` to a client area of the given size and places it centred over `anchor` (when
// that is empty: over `owner`, and without an owner over the work area), pushed inside the
// work area near the owner; its left and top edges win when the dialog is larger than the area.
void WinPlaceDialog(HWND dialog, HWND owner, const RECT& anchor, int clientWidth, int clientHeight);
// The DPI of the monitor WinPlaceDialog puts a dialog on: the one under the middle of what it
// is centred over. A dialog is laid out at that DPI before it is placed (WinKeepDialogLayout).
int WinDialogDpi(HWND owner, const RECT& anchor);

}  // namespace WinLayer

// How the toolkit draws the faces of owner-drawn buttons (Windows only): the system's button
// face colour with a frame that tells the button's state, and the separator line between
// buttons.
#pragma once

#include <windows.h>

namespace WinLayer {

enum class WinButtonState {
  Normal,    // flat on the face colour
  Selected,  // raised: the keyboard's choice, or the button under a held Alt-click
  Pressed,   // sunken: the mouse button is down over it
};

class WinViewStyle {
 public:
  // Fills `rect` with the button face and frames it by `state`.
  static void DrawButton(HDC dc, const RECT& rect, WinButtonState state);
  // An etched line through the middle of `rect`, across the run of buttons: a horizontal line
  // in a column, a vertical one in a row.
  static void DrawSeparator(HDC dc, const RECT& rect, bool inRow);
};

}  // namespace WinLayer

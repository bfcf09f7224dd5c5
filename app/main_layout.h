// Where the main window's parts go. The client area holds a caption strip (the handle by which
// the window is dragged) and one or two panes:
//   column  (buttons only): the strip along the top, k + 1 thick, two thirds of the buttons'
//           width long; the buttons at (m + 1, m + k + 1); client (m+1+w+1+m) x (m+k+1+h+1+m)
//   row     (Horizontal): the strip down the right side, two thirds of the buttons' height long;
//           the buttons at (m + 1, m + 1); client (m+1+w+1+k+1+m) x (m+1+h+1+m)
//   two panes (ViewSelector, not Horizontal): the strip along the top; the selector box at
//           (m + 1, m + k + 1), the buttons m pixels right of it at the same top, both as tall
//           as the taller; the client ends m + 1 after the buttons
// m is FrameMargin and k CaptionHeight; (w, h) is what the button box needs.
#pragma once

#include <cstdint>

#include "app/window_commands.h"
#include "raw/string.h"

namespace AppLayer {

struct GuiMainLayoutInput {
  int32_t frameMargin = 2;
  int32_t captionHeight = 12;
  bool horizontal = false;
  bool viewSelector = false;
  GuiSize buttons;
  GuiSize selectors;  // margins included; read only with the selector box shown
};

struct GuiMainLayout {
  GuiSize client;
  RawRect buttons;
  RawRect selectors;  // empty when the selector box is not shown
  RawRect caption;    // the caption strip
  bool showSelectors = false;
};

// The selector box is shown only with ViewSelector on and Horizontal off.
GuiMainLayout ComputeMainLayout(const GuiMainLayoutInput& input);

// Left and top that centre a window of `size` on `workArea` (integer division, truncating).
RawRect CentreOn(const RawRect& workArea, GuiSize size);

// The window rectangle at start: the centred one, or the stored one's position when it was
// read (a missing edge stays as computed). The size always follows the content, since a stored
// size from before a profile edit would cut buttons off.
struct GuiStoredRect {
  bool hasLeft = false, hasTop = false, hasRight = false, hasBottom = false;
  RawRect rect;
};
RawRect PlaceMainWindow(const RawRect& centred, const GuiStoredRect& stored);

// Reads [MainDialog] WindowRect_L/T/R/B from the GUI profile; false when the section cannot be
// read. A key that is missing or not a number leaves its edge unset.
[[nodiscard]] bool ReadStoredWindowRect(const RawLayer::RawString& guiProfile, GuiStoredRect& stored);
// Writes the four keys, replacing the section.
[[nodiscard]] bool WriteStoredWindowRect(const RawLayer::RawString& guiProfile, const RawRect& rect);

}  // namespace AppLayer

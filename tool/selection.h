// Tessera's selection windows: translucent covers over every monitor on which the user clicks a
// window or drags a target rectangle, and the selection menu that offers one miniature of the
// screen per applicable data section. The arithmetic (settings and their limits, the frame
// widening of a drawn rectangle, the menu's layout and placement, the miniatures' scaling) is
// portable; the windows themselves are Win32 (selection_win32.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "raw/parameter_list.h"
#include "raw/rect.h"
#include "raw/string.h"

namespace ToolLayer {

using RawLayer::RawParameterList;
using RawLayer::RawString;

// A point in screen coordinates. The invalid point marks "no point": a selection whose end point
// is still invalid afterwards was cancelled.
struct GuiPoint {
  int32_t x = INT32_MIN;
  int32_t y = INT32_MIN;
  bool IsValid() const { return x != INT32_MIN && y != INT32_MIN; }
  bool operator==(const GuiPoint&) const = default;
};

using RawLayer::RawRect;

// What the user added around a window's client area when drawing its target: the drawn
// rectangle is the visible frame, the window gets these margins on top (FrameWidenL/T/R/B).
struct GuiFrameWiden {
  int32_t left = 8;
  int32_t top = 0;
  int32_t right = 8;
  int32_t bottom = 8;
};

// Display settings of the selection windows, from the section "Job" of the settings profile.
// Colours are held in the platform's blue-green-red order (0x00BBGGRR), ready for GDI.
struct GuiSelectorSettings {
  uint32_t windowSelectionColor = 0x00C000;  // green
  uint32_t rectSelectionColor = 0x000080;    // navy (0x800000 written)
  uint32_t rectCroppingColor = 0xFFFFFF;
  uint32_t menuScreenAreaColor = 0x404040;
  uint32_t menuScreenFrameColor = 0xFFFFFF;
  uint32_t menuTargetColor = 0x40FF40;  // set by "RectCroppingColor" too
  uint8_t windowSelectionAlpha = 50;    // 1..255
  uint8_t rectSelectionAlpha = 50;      // 1..255
  int32_t menuRows = 12;                // 1..50: the screen is shown at 1/rows of its size
  int32_t menuSpacer = 3;               // pixels between entries, 0 or more
  int32_t menuBorder = 3;               // inset of an entry's drawing; may be negative
  GuiFrameWiden frameWiden;
};

// The settings from the keys of the section "Job". A key that is missing or not a number of its
// width keeps the default; transparencies are limited to 1..255 (0 or less gives 1), rows outside
// 1..50 give 12, a negative spacer gives 0.
GuiSelectorSettings ReadSelectorSettings(const RawParameterList& job);
// The same from the section "Job" of a settings profile (defaults when it has none).
GuiSelectorSettings LoadSelectorSettings(const RawString& settingsPath);

// A colour written as 0xRRGGBB in the platform's 0x00BBGGRR order (bits above 24 dropped).
uint32_t SwapRedBlue(uint32_t rgb);

// Cover modes.
enum GuiSelectorMode : int32_t { ModeWindow = 0, ModeRect = 1, ModeMenu = 2 };
uint8_t CoverAlpha(const GuiSelectorSettings& settings, GuiSelectorMode mode);
uint32_t CoverColor(const GuiSelectorSettings& settings, GuiSelectorMode mode);

// The rectangle spanned by two points, whichever way the drag ran, in coordinates relative to
// `origin` (a cover's monitor corner), with the end point's pixel included.
RawRect SpanRect(GuiPoint start, GuiPoint end, GuiPoint origin);

// Where a window goes for a drawn rectangle (left, top = start point; right, bottom = end point).
struct GuiDrawnPlacement {
  bool moves = false;  // x and y hold the new left and top
  bool sizes = false;  // w and h hold the new width and height as well
  int32_t x = 0;
  int32_t y = 0;
  int32_t w = 0;
  int32_t h = 0;
};
// The drawn rectangle is ignored when a corner is invalid or the drag ran more than 19 pixels
// left or up. Otherwise the window's corner goes to the drawn corner less the left and top
// widening; a drag of more than 20 pixels both ways also sizes it, the widening added.
GuiDrawnPlacement PlaceDrawnRect(GuiPoint start, GuiPoint end, const GuiFrameWiden& widen);

// The screen area the menu's miniatures show: the smallest rectangle holding every monitor and
// the point 0,0. Start from an empty RawRect and add each monitor.
void AddToScreenArea(RawRect& area, const RawRect& monitor);

// The selection menu's geometry: entries of one miniature each, stacked top to bottom.
struct GuiMenuLayout {
  int32_t entryWidth = 0;
  int32_t entryHeight = 0;
  int32_t spacer = 0;
  int32_t count = 0;
  int32_t Width() const { return entryWidth; }
  int32_t Height() const;
  // Entry `index`'s rectangle relative to the menu's corner.
  RawRect Entry(int32_t index) const;
  // The entry under a point relative to the menu's corner; -1 for none (outside, or a spacer).
  int32_t EntryAt(GuiPoint point) const;
};
GuiMenuLayout LayoutMenu(const RawRect& screenArea, const GuiSelectorSettings& settings, int32_t count);

// The menu's screen rectangle: centred on the cursor, then pushed inside `bounds` (the monitor
// under the cursor): up or left when it overflows the bottom or right edge, then down or right
// when it overflows the top or left edge, so a menu larger than the monitor keeps its top-left
// corner visible.
RawRect PlaceMenu(int32_t width, int32_t height, GuiPoint cursor, const RawRect& bounds);

// A screen rectangle shown in a miniature: scaled down by `rows` around the screen area's corner
// and placed at the entry's corner, then inset by `border` (a negative border widens it); never
// smaller than one pixel each way.
RawRect MiniatureRect(const RawRect& screenArea, int32_t rows, const RawRect& target,
                      const RawRect& entry, int32_t border);

// Whether a window class is the desktop's ("Progman" of a shell, "#32769" of the system).
bool IsDesktopClass(const RawString& className);

// ---- The selection windows (Win32) ----

// A top-level window, as the platform's handle.
using GuiWindowHandle = void*;

enum GuiSelectResult : int32_t {
  SelectChosen = 0,     // a window, a rectangle or a section was chosen
  SelectNothing = 1,    // window selection: the click landed on the desktop or on no window
  SelectCancelled = 2,  // right click, closed, or the session ends
  SelectFailed = 3,     // the windows could not be made
};

// One applicable data section as the menu shows it.
struct GuiMenuEntry {
  RawString name;
  RawRect target;  // the rectangle its window would get, in screen coordinates
};

// The windows run on threads of their own while the calling thread polls until they end. One
// selection at a time per process.
class GuiSelector {
 public:
  explicit GuiSelector(const GuiSelectorSettings& settings) : settings_(settings) {}

  // A left click on a cover picks the top-level window under it (the covers themselves are
  // looked through); the desktop counts as no window.
  [[nodiscard]] GuiSelectResult SelectWindow(GuiWindowHandle& window);
  // A left-button drag on a cover; `start` and `end` are where the button went down and up.
  [[nodiscard]] GuiSelectResult SelectRect(GuiPoint& start, GuiPoint& end);
  // The menu at the cursor; `chosen` is the index of the entry clicked. A click that ends outside
  // every entry cancels.
  [[nodiscard]] GuiSelectResult SelectEntry(const std::vector<GuiMenuEntry>& entries, int32_t& chosen);

 private:
  GuiSelectorSettings settings_;
};

// The top-level window at a screen point, skipping this process's selection windows; null for the
// desktop or no window.
GuiWindowHandle PickWindowAt(GuiPoint point);

}  // namespace ToolLayer

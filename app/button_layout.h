// The button box's logic that needs no window: measuring the buttons into a column or a row,
// placing each button's icon and caption, hit testing, the keyboard's selection, the edits of
// the button list and the texts of the edit menu.
//
// Every button keeps its placement in JobButtonUnit::placement: the measured content width and
// height, then its rectangle (left, top, right, bottom) in box coordinates. A "normal" button is
// neither a separator nor hidden.
#pragma once

#include <cstdint>

#include "app/window_commands.h"
#include "job/profile_model.h"
#include "raw/string.h"

namespace AppLayer {

using JobLayer::JobButtonList;
using JobLayer::JobButtonUnit;
using RawLayer::RawString;

inline constexpr int32_t kButtonMargin = 4;   // inner margin on each side of a button
inline constexpr int32_t kButtonIconGap = 3;  // between the icon and the caption

enum GuiButtonPlacement : int32_t {
  PlaceContentWidth = 0,
  PlaceContentHeight = 1,
  PlaceLeft = 2,
  PlaceTop = 3,
  PlaceRight = 4,
  PlaceBottom = 5,
};

RawRect ButtonRect(const JobButtonUnit& button);
bool IsNormalButton(const JobButtonUnit& button);

// The size of a caption in the box's font.
class GuiTextMeasure {
 public:
  virtual ~GuiTextMeasure() = default;
  virtual GuiSize Measure(const RawString& text) const = 0;
};

struct GuiButtonMetrics {
  int32_t iconSize = 16;   // ButtonIconSize
  int32_t separator = 7;   // ButtonSeparator
  bool horizontal = false;  // a row instead of a column
  int32_t margin = kButtonMargin;  // Margin: inside each side of a button
};

// Measures every button's content, gives each its rectangle and returns the box's size.
// Column: every normal button is the box's width by iconSize + 2 margins, a separator
// `separator` high, a hidden button 0 high; the width is the widest content + 2 margins. Row:
// the height is iconSize + 2 margins, a normal button is its own content + 2 margins wide.
GuiSize MeasureButtons(JobButtonList& buttons, const GuiButtonMetrics& metrics, const GuiTextMeasure& measure);

// Where a measured button's icon and caption go: inside its rectangle less the margin,
// vertically centred, horizontally by `align` (0 left, 1 centre, 2 right). An empty rectangle
// for a part the button does not show.
struct GuiButtonContent {
  RawRect icon;
  RawRect caption;
};
GuiButtonContent PlaceButtonContent(const JobButtonUnit& button, int32_t iconSize, int32_t align,
                                    int32_t margin = kButtonMargin);

// The first button in list order whose rectangle holds the point, edges included; hidden
// buttons take no space and are never hit. -1 when none.
int32_t HitTestButtons(const JobButtonList& buttons, int32_t x, int32_t y);

// Selection by keys: the first, last, previous or next normal button, -1 when there is none.
// From -1 the previous is the last and the next the first; at an end the selection stays.
int32_t FirstNormalButton(const JobButtonList& buttons);
int32_t LastNormalButton(const JobButtonList& buttons);
int32_t StepNormalButton(const JobButtonList& buttons, int32_t index, int32_t step);

enum class GuiButtonKey { Enter, Space, PageUp, Home, PageDown, End, Left, Up, Right, Down, Delete, Other };

enum class GuiButtonAction { None, Run, First, Last, Previous, Next, Menu, Delete, MoveUp, MoveDown };

// What a key does: along the axis (up/down in a column, left/right in a row) arrows move the
// selection, with Alt they move the button; across the axis they open the edit menu.
GuiButtonAction ButtonKeyAction(GuiButtonKey key, bool alt, bool horizontal);

// The edit menu's commands, by menu item id.
enum GuiButtonMenuId : int32_t {
  MenuInsertSeparator = 1,
  MenuDeleteItems = 2,
  MenuMoveUpItems = 3,
  MenuMoveDownItems = 4,
};

// The edits work on one index; false (the list untouched) when the index is not valid or a
// move would leave the list. `selection` is where the edited button is afterwards.
[[nodiscard]] bool InsertSeparatorBefore(JobButtonList& buttons, int32_t index, int32_t& selection);
[[nodiscard]] bool DeleteButtonAt(JobButtonList& buttons, int32_t index, int32_t& selection);
[[nodiscard]] bool MoveButton(JobButtonList& buttons, int32_t index, int32_t step, int32_t& selection);

// The edit menu's built-in captions in the message table's section "ButtonMenu"; registering
// again does nothing.
void RegisterButtonMenuTexts();
// A caption of the edit menu (MenuInsertSeparator .. MenuMoveDownItems), registering the
// built-in texts first; empty for any other id.
RawString ButtonMenuText(int32_t id);

}  // namespace AppLayer

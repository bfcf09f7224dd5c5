// The selector box: the launcher's list of selectors beside the button column. Choosing a line
// runs its selector's script with "LButton", activating it (double click, Enter) with "DClick";
// an edit menu and keys insert separators, delete, move and sort the selected lines, and every
// edit rewrites the "Selector:" sections of the profile.
//
// The portable part: how lines are measured, when menu entries are greyed, and the edits on a
// selector list with the per-line selection. The window (GuiSelectorBox) is Windows only, in
// selector_box_win32.h.
//
// Message table, section "SelectorMenu" (the edit menu's captions):
//   InsertSeparator, DeleteItems, MoveUpItems, MoveDownItems, SortItems, ReverseSortItems
#pragma once

#include <cstdint>
#include <vector>

#include "app/window_commands.h"
#include "job/profile_model.h"
#include "raw/string.h"
#include "raw/string_list.h"

namespace AppLayer {

using JobLayer::JobSelectorList;
using JobLayer::JobSelectorUnit;
using RawLayer::RawString;
using RawLayer::RawStringList;

// Identifiers of the edit menu's entries (3 is not used).
enum GuiSelectorMenuId : int {
  kSelectorInsertSeparator = 1,
  kSelectorDeleteItems = 2,
  kSelectorMoveUpItems = 4,
  kSelectorMoveDownItems = 5,
  kSelectorSortItems = 6,
  kSelectorReverseSortItems = 7,
};

// One entry of the edit menu; id 0 is a separator between groups.
struct GuiSelectorMenuEntry {
  int id;
  const char* key;
  bool enabled;
};

// The edit menu in its order, with the entries that cannot apply to the selection greyed:
// "Move down" needs a selected line with an unselected one right after it, "Sort" and "Reverse"
// need two selected lines.
std::vector<GuiSelectorMenuEntry> SelectorMenuEntries(const std::vector<bool>& selected);
// The caption of an entry from the message table, the built-in text when it has none.
RawString SelectorMenuCaption(const char* key);

// Measures the text of a caption as it is drawn (one line, no prefix processing).
class GuiSelectorTextMeasure {
 public:
  virtual ~GuiSelectorTextMeasure() = default;
  virtual GuiSize Measure(const RawString& text) const = 0;
};

// Line sizes, kept in each unit's two values (width, height): a line is its caption's width
// plus 4 wide and the height of "A" plus 3 tall; a separator is 0 wide and `separatorHeight`
// tall. Heights are kept within 1 to 255 pixels, what a list line can be. Returns the box's
// needed size: the widest line (at least 10) by the sum of the heights, each plus a margin of
// 1 on both sides. The size is also kept in the list's two values.
GuiSize MeasureSelectorLines(JobSelectorList& list, const GuiSelectorTextMeasure& measure, int32_t separatorHeight);
// The line heights as measured last.
std::vector<int32_t> SelectorLineHeights(const JobSelectorList& list);

// The selection of the box's lines: a flag per line and the current line (-1 for none).
struct GuiSelectorSelection {
  std::vector<bool> selected;
  int32_t current = -1;
};

// The edits of the box. Each works on the list and keeps the selection on the same lines;
// each returns false and changes nothing when it cannot apply.
class GuiSelectorEditor {
 public:
  GuiSelectorEditor(JobSelectorList& list, GuiSelectorSelection& selection) : list_(list), selection_(selection) {}

  // A separator selector ("-") before the current line.
  bool InsertSeparator();
  // Removes the selected lines; the current line becomes the line after them (or the last).
  bool DeleteSelected();
  // Each selected line with an unselected line before (after) it changes place with that line;
  // a run of selected lines at the start (end) stays.
  bool MoveSelectedUp();
  bool MoveSelectedDown();
  // Orders the selectors of the selected lines by name among those lines' places, ascending or
  // descending; equal names keep their order. The selected places stay selected.
  bool SortSelected(bool descending);
  // One new selector from each path, inserted in order before `index` (appended when the index
  // is negative or past the end).
  bool InsertDropped(int32_t index, const RawStringList& paths);

 private:
  int32_t Count() const { return list_.Count(); }
  // Swaps two lines of units_, read from the list before a move or a sort.
  void SwapLines(int32_t a, int32_t b);

  JobSelectorList& list_;
  GuiSelectorSelection& selection_;
  std::vector<JobSelectorUnit*> units_;
};

}  // namespace AppLayer

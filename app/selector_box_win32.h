// The selector box's window (Windows only): the list box of the profile model's selectors that
// selector_box.h's portable parts measure and edit.
#pragma once

#include <windows.h>

#include "app/selector_box.h"
#include "raw/handle_win32.h"
#include "win/list_box.h"

namespace AppLayer {

// The selector box's window: a list box of the profile model's selectors.
class GuiSelectorBox : public WinLayer::WinListBoxR<JobLayer::JobSelectorUnit> {
 public:
  // Shows JobLayer::JobProfileModel::Instance()'s selector list.
  GuiSelectorBox();
  ~GuiSelectorBox() override;
  // The child window, id kSelectorBoxId, without a vertical scroll bar, with multiple selection;
  // sets up the lines.
  [[nodiscard]] bool CreateIn(HWND parent);
  // Takes the font and separator of the process-wide style again (its DPI changed) and
  // measures the lines in it.
  void ApplyStyle();
  // The widest line (at least 10) plus margins of 1 on each side, by the sum of the line heights
  // plus the margins.
  GuiSize NeededSize() const;

 protected:
  void SetupItems() override;
  // Measures the lines in the box's font and gives the control their heights.
  void MeasureLines();
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  bool HandleNotify(int code) override;
  void ExecuteMenuCommand(int id) override;
  bool DrawItem(DRAWITEMSTRUCT& item) override;
  void BuildMenu(HMENU menu) override;

  // The files of a drop, inserted before the line under `client` (appended with `append`, or
  // when no line is there).
  void DropPaths(const RawStringList& paths, POINT client, bool append);

 private:
  // Runs the current line's selector with the trigger label, when the current line is valid.
  void RunCurrent(const char* keyState);
  // After an edit: the lines again, the main window resized, a repaint and the profile saved.
  void Edited(const GuiSelectorSelection& selection);
  GuiSelectorSelection CurrentSelection() const;

  JobSelectorList& list_;
  RawLayer::RawUniqueFont font_;
  GuiSize needed_;
};

}  // namespace AppLayer

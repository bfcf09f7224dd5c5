// The owner-drawn list box (Windows only): a system list box whose lines the owner measures and
// draws, with multiple selection kept by the view itself.
//
// The view owns the selection model (the current line, the anchor of a Shift range and a flag
// per line) and takes the mouse and the navigation keys from the system control, so that every
// event is told exactly once. It tells its parent by WM_COMMAND (the control's id in the low
// word, the code in the high word, the control's window as the last parameter):
//   0x1008 selection changed  a click on a line (plain, Ctrl or Shift), a keyboard move of the
//                             current line, Ctrl+A
//   0x1002 activated          a double click on the current line, Enter
// A right click (or the context-menu key) opens the menu the owner builds in BuildMenu and
// carries the chosen entry out in ExecuteMenuCommand.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "raw/list.h"
#include "win/view.h"

namespace WinLayer {

class WinListBox : public WinView {
 public:
  // The window styles of the control: owner-drawn lines of their own heights, extended
  // selection. The system's own notifications are left off, since the view sends its own.
  static constexpr DWORD kStyle = LBS_OWNERDRAWVARIABLE | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT;

  int32_t LineCount() const { return static_cast<int32_t>(selected_.size()); }
  int32_t CurrentIndex() const { return current_; }
  bool IsSelected(int32_t index) const;
  const std::vector<bool>& Selection() const { return selected_; }
  // Puts this selection and current line in place (sizes differing from the line count are cut
  // or padded with unselected lines; a current line out of range becomes -1). Tells no one.
  void SetSelection(const std::vector<bool>& selected, int32_t current);

  // The line under a point of the client area, or -1 (below the last line, or no line).
  int32_t LineAt(POINT client) const;
  // A line's rectangle in client coordinates; false when the index is out of range.
  bool LineRect(int32_t index, RECT& rect) const;

 protected:
  // Measures the lines and gives them to the control (SetLineHeights).
  virtual void SetupItems() {}
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // Keeps the system control's own notifications (focus gained or lost, which it sends whatever
  // its style) from the owner, who hears the toolkit's codes only.
  bool HandleNotify(int code) override;
  // Carries out the chosen entry of the context menu.
  virtual void ExecuteMenuCommand(int /*id*/) {}
  // Fills the context menu; an empty menu is not shown.
  virtual void BuildMenu(HMENU /*menu*/) {}
  void OnSized(int sizeType, int width, int height) override;

  // Makes the control's lines these heights, in pixels. The selection flags of lines that still
  // exist are kept; the current line is kept when it still exists.
  void SetLineHeights(const std::vector<int32_t>& heights);
  // Sends a toolkit notification (0x1008, 0x1002) to the parent.
  void Notify(int code);
  // Opens the context menu at a screen point and carries out the choice.
  void ShowMenu(POINT screen);

 private:
  // Selection changes of the user, each as the control's extended selection makes them.
  void Click(int32_t index, bool control, bool shift);
  bool MoveCurrent(int32_t index, bool control, bool shift);
  void SelectRange(int32_t from, int32_t to, bool keepOthers);
  int32_t PageTarget(bool down) const;
  bool HandleKey(WPARAM key);
  // Brings the control's drawn selection and focus line in line with the model.
  void SyncControl();

  std::vector<bool> selected_;
  int32_t current_ = -1;
  int32_t anchor_ = -1;
};

// A list box whose lines are the units of a list, in list order. The list must outlive the box.
template <class Unit>
class WinListBoxR : public WinListBox {
 public:
  template <class Allocator>
  explicit WinListBoxR(RawLayer::RawListR<Allocator, Unit>& list)
      : collect_([&list](std::vector<Unit*>& units) {
          units.clear();
          for (Unit& unit : list) units.push_back(&unit);
        }) {}

  // The unit of a line as last read from the list; null out of range.
  Unit* UnitAt(int32_t index) const {
    return index >= 0 && index < static_cast<int32_t>(units_.size()) ? units_[index] : nullptr;
  }
  int32_t UnitCount() const { return static_cast<int32_t>(units_.size()); }

 protected:
  // Reads the list's units again; call after the list changed and before measuring.
  const std::vector<Unit*>& ReloadUnits() {
    collect_(units_);
    return units_;
  }

 private:
  std::function<void(std::vector<Unit*>&)> collect_;
  std::vector<Unit*> units_;
};

}  // namespace WinLayer

// The button box (Windows only): the main window's child that shows the profile's buttons as a
// column or a row, runs their scripts on clicks, keys and file drops, shows tips, and edits the
// button list through a small menu and keys, writing the "Button:" sections back each time.
//
// State: the current index (the selected or pressed button, -1 for none), selection mode (the
// box has the focus, or an Alt-click chose a button) and the pressed flag (a mouse button went
// down on the box without Alt and has not come up yet). The geometry is button_layout.h's.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/button_layout.h"
#include "app/window_commands.h"
#include "job/screen.h"
#include "raw/handle_win32.h"
#include "win/tip_window.h"
#include "win/view.h"

namespace AppLayer {

using RawLayer::RawRect;

namespace GuiButtonBoxProperty {
// Opens the edit menu.
class MenuHandler {
 public:
  virtual ~MenuHandler() = default;
  // `screen`: where the menu opens, in screen coordinates.
  virtual void ShowMenu(POINT screen) = 0;
};
}  // namespace GuiButtonBoxProperty

class GuiButtonBox : public WinLayer::WinView, public GuiButtonBoxProperty::MenuHandler {
 public:
  // Shows the button list of the process-wide profile model, set up afresh.
  GuiButtonBox();
  ~GuiButtonBox() override;

  // The child window with the identifier kButtonBoxId, at the size last measured; the parent
  // moves it into place.
  [[nodiscard]] bool CreateIn(HWND parent);
  // Gives every button its rectangle; returns the size the box needs.
  GuiSize MeasureLayout();
  // Takes the font of the process-wide style again (its DPI changed); MeasureLayout follows.
  void ApplyStyle();

  void ShowMenu(POINT screen) override;

  int32_t CurrentIndex() const { return current_; }
  bool InSelectionMode() const { return selectionMode_; }
  bool IsPressed() const { return pressed_; }
  HWND TipWindow() const { return tip_.Handle(); }

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void OnDestroying() override;

  // The runs the box starts; the execution service decides whether the index qualifies.
  virtual void RunButton(int32_t index, const RawString& keyState, const RawRect& anchor);
  virtual void RunDrop(int32_t index, const RawString& drop, const RawString& dropList, const RawRect& anchor);
  // Tracks the edit menu; the chosen item id, 0 when dismissed.
  virtual int32_t TrackMenu(HMENU menu, POINT screen);

 private:
  void OnButtonDown(POINT point, bool right);
  void OnButtonUp(bool right);
  void OnMouseMove(POINT point);
  void OnHover(POINT point);
  void ArmTracking();
  bool OnKey(WPARAM key, bool alt);
  void OnDrop(HDROP drop);
  // The edit menu's command on the current index; false when it did nothing.
  bool Edit(int32_t id);
  void Changed(bool relayout);
  void Paint();
  // Draws the buttons that reach into `shown` (client coordinates) over the face colour.
  void DrawButtons(HDC dc, const RECT& shown);
  RawRect ScreenRect(int32_t index) const;
  void Select(int32_t index);

  JobButtonList& buttons_;
  RawLayer::RawUniqueFont font_;
  GuiSize size_;
  int32_t current_ = -1;
  bool selectionMode_ = false;
  bool pressed_ = false;
  // Tips: the cursor position the tip was shown for, and whether hover tracking is armed.
  WinLayer::WinTipWindow tip_;
  POINT tipAt_{};
  bool tracking_ = false;
};

}  // namespace AppLayer

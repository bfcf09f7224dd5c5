// The launcher's one top-level window (Windows only): a captionless pop-up that holds the button
// box and, when shown, the selector box; it sizes itself to them, remembers where it stood,
// can stay on top and sit in the notification area, and takes the commands by which scripts,
// edits and the icon worker ask it to restart, relayout or repaint.
//
// GUI profile, section [MainDialog]: WindowRect_L, WindowRect_T, WindowRect_R, WindowRect_B,
// the screen rectangle of the normal window; written whenever the window leaves the normal
// state (minimised, maximised, closed, the session ending) and before a restart.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "app/main_layout.h"
#include "app/window_commands.h"
#include "raw/string.h"
#include "raw/handle_win32.h"
#include "win/view.h"

namespace AppLayer {

using RawLayer::RawString;

// A child of the main window that it lays out.
class GuiMainPane {
 public:
  virtual ~GuiMainPane() = default;
  [[nodiscard]] virtual bool CreatePane(HWND parent) = 0;
  // The size the pane needs now (measuring again).
  virtual GuiSize MeasurePane() = 0;
  virtual HWND PaneWindow() const = 0;
  // Takes the fonts and sizes of the process-wide style again: the window's DPI changed.
  virtual void ApplyStyle() = 0;
};

// What the main window is built with. Panes and hooks are not owned.
struct GuiMainParts {
  GuiMainPane* buttons = nullptr;
  GuiMainPane* selectors = nullptr;  // made only when the settings show it
  // The title-menu hook and any other message hooks, attached in this order.
  std::vector<WinLayer::WinViewHook*> hooks;
  RawString title = "Kestrel";
  int largeIcon = 130;
  int smallIcon = 131;
};

// What the window does on the outside: these steps are separate so that tests can watch them.
class GuiMainActions {
 public:
  virtual ~GuiMainActions() = default;
  // Starts the new instance of a restart with `arguments`.
  virtual void StartInstance(const RawString& arguments) = 0;
  // After the window is shown: the icon control gets its owner and, when it loads in the
  // background, its worker starts.
  virtual void StartIcons(HWND window) = 0;
  // Stops the icon worker (restart and closing).
  virtual void StopIcons() = 0;
  // The icons are wanted at another size (the window's DPI changed): the cache changes to the
  // pool of that size and extracts what it lacks there.
  virtual void ResizeIcons(int32_t size) = 0;
  // Closing: drops the icons unused too long and stores the cache.
  virtual void StoreIcons(bool dropUnused) = 0;
};

class GuiMainDialog : public WinLayer::WinDialog {
 public:
  GuiMainDialog(const GuiMainParts& parts, GuiMainActions& actions);
  ~GuiMainDialog() override;

  // Creates and shows the window and runs its loop until it is closed.
  int Run();

  // The layout the window has now.
  const GuiMainLayout& Layout() const { return layout_; }

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  bool HandleCommand(int id, int code, HWND control) override;
  void OnShown() override;
  void OnDestroying() override;
  void OnShowStateChanged(int previous, int next) override;
  void OnCreate() override;
  bool PreTranslate(MSG& message) override;

 private:
  GuiMainLayoutInput LayoutInput();
  // The window follows a monitor of `dpi`: the style, the panes' fonts and the icon size at
  // that DPI, and the layout measured again (the caller sizes the frame).
  void ApplyDpi(int dpi);
  // Measures the panes again, moves them without repainting, then sizes the frame and repaints.
  void Relayout();
  void PlacePanes();
  void Restart();
  void StoreWindowRect();
  bool AddTrayIcon();
  void RemoveTrayIcon();
  void OpenTitleMenuAtCursor();
  void Paint();

  GuiMainParts parts_;
  GuiMainActions& actions_;
  GuiMainLayout layout_;
  NOTIFYICONDATAW tray_{};
  bool trayShown_ = false;
  UINT taskbarCreated_ = 0;
  HWND lastFocus_ = nullptr;
  RawLayer::RawUniqueIcon trayIcon_;
};

}  // namespace AppLayer

// What Tessera needs of the platform: the top-level windows and what can be done to
// them, the shell, message boxes and the interactive selections. desktop_win32.cpp is the
// Windows one; the unit tests bring a desktop of their own.
#pragma once

#include <memory>
#include <vector>

#include "raw/string.h"
#include "tool/geometry.h"
#include "tool/section.h"

namespace ToolLayer {

enum class ToolShowState { Normal, Minimized, Maximized, Gone };

class ToolDesktop {
 public:
  virtual ~ToolDesktop() = default;

  // The top-level windows in z-order, topmost first: the visible ones, and with `hiddenToo` the
  // hidden ones as well.
  virtual std::vector<ToolWindow> TopLevelWindows(bool hiddenToo) = 0;
  // UTF-8 texts; empty when the window is gone or has none.
  virtual RawString WindowTitle(ToolWindow window) = 0;
  virtual RawString WindowClass(ToolWindow window) = 0;
  // The full path of the executable of the window's process.
  virtual RawString WindowFile(ToolWindow window) = 0;
  virtual ToolShowState ShowState(ToolWindow window) = 0;
  // The rectangle on the screen; false when the window is gone.
  [[nodiscard]] virtual bool WindowRect(ToolWindow window, RawRect& rect) = 0;
  // The rectangle the window has when neither minimised nor maximised.
  [[nodiscard]] virtual bool RestoredRect(ToolWindow window, RawRect& rect) = 0;

  [[nodiscard]] virtual bool Minimize(ToolWindow window) = 0;  // show code 6
  [[nodiscard]] virtual bool Restore(ToolWindow window) = 0;   // show code 9
  [[nodiscard]] virtual bool Move(ToolWindow window, const RawRect& rect) = 0;
  // Changes the z-order band without moving or sizing.
  [[nodiscard]] virtual bool SetTopmost(ToolWindow window, bool topmost) = 0;
  [[nodiscard]] virtual bool PostClose(ToolWindow window) = 0;
  // Terminates the window's process (exit code 0) and waits up to 5 s for its end; false
  // when the process could not be opened.
  [[nodiscard]] virtual bool TerminateOwner(ToolWindow window) = 0;
  // Flashes the caption 5 times at 70 ms.
  [[nodiscard]] virtual bool Flash(ToolWindow window) = 0;

  // Opens a file with the shell's default action.
  [[nodiscard]] virtual bool OpenDocument(const RawString& path) = 0;
  // A message box titled "Tessera"; `warning` chooses the warning icon.
  virtual void ShowMessage(const RawString& text, bool warning) = 0;

  // The interactive selections, drawn with the display settings. Each answers "cancelled"
  // (0, false, null) when the user cancels or the pick lands on the desktop.
  virtual ToolWindow PickWindow(const GuiSelectorSettings& settings) = 0;
  // Where the drag started and ended.
  [[nodiscard]] virtual bool DrawRect(const GuiSelectorSettings& settings, GuiPoint& start, GuiPoint& end) = 0;
  virtual const JobSectionUnit* ChooseSection(const GuiSelectorSettings& settings, const JobSectionList& sections) = 0;
};

// The desktop of this platform (Windows only: Tessera has no other).
std::unique_ptr<ToolDesktop> MakeToolDesktop();

}  // namespace ToolLayer

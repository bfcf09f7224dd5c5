// What the launcher's window parts tell the main window, and the sizes they ask for.
// Commands travel as WM_COMMAND with the command in the high word of the first parameter;
// they may come from any thread of the process (workers post them).
#pragma once

#include <cstdint>

#include "raw/rect.h"

namespace AppLayer {

inline constexpr int kCommandRestart = 0x1100;         // restart the launcher
inline constexpr int kCommandSelectorResized = 0x1101; // the selector box's needs changed
inline constexpr int kCommandButtonsChanged = 0x1102;  // buttons inserted or deleted: relayout
inline constexpr int kCommandIconsLoaded = 0x1103;     // the icon worker is done: repaint, store
inline constexpr int kCommandIconReady = 0x1104;       // one icon is ready: repaint an open menu

// The tray icon's notification message.
inline constexpr unsigned kTrayMessage = 0x8000 + 5;  // WM_APP + 5

// Control identifiers of the main window's children.
inline constexpr int kButtonBoxId = 100;
inline constexpr int kSelectorBoxId = 101;

struct GuiSize {
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const GuiSize&) const = default;
};

using RawLayer::RawRect;

}  // namespace AppLayer

// The script engine's screen made of the launcher's widgets: script errors in the information
// dialog over the main window, the key state of the window thread, and requests posted to the
// main window. Installed once at start-up with JobLayer::SetScreen.
#pragma once

#include "job/screen.h"

namespace AppLayer {

// The process-wide widget screen (Windows only).
JobLayer::JobScreen& GuiJobScreen();

}  // namespace AppLayer

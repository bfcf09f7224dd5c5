// The windowed part of the start-up (Windows only): the icon control, prepared before any script
// runs; the main window with its button box, selector box and title menu, run until it closes,
// after which the icon worker is stopped.
#pragma once

#include "app/startup.h"

namespace AppLayer {

class GuiIcons : public GuiStartup::Icons {
 public:
  void Prepare() override;
};

class GuiMainWindow : public GuiStartup::MainWindow {
 public:
  void Run() override;
};

}  // namespace AppLayer

// The windowed part of the start-up (Windows only): prepares the icon control, builds the main
// window with its button box, selector box and title menu, runs it until it closes, and stops
// the icon worker.
#pragma once

#include "app/startup.h"

namespace AppLayer {

class GuiMainWindow : public GuiStartup::MainWindow {
 public:
  void Run() override;
};

}  // namespace AppLayer

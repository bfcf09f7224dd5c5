// The launcher's script side of start-up: reading the launcher profile and running
// "#Initialize", and the run asked for on the command line.
#pragma once

#include "app/startup.h"

namespace AppLayer {

class GuiLauncherProfile : public GuiStartup::LauncherProfile {
 public:
  // Loads the profile into the process-wide model and runs "#Initialize" when it exists, inside
  // the trace scope "Initialize" (System -> Executor) that records its result.
  void Load(const RawString& configFile) override;
};

class GuiCommandLineRun : public GuiStartup::CommandLineRun {
 public:
  [[nodiscard]] bool Run(const GuiCommandLine& commandLine) override;
};

}  // namespace AppLayer

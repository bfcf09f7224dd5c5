// "kestrel -k": checks the files the start-up chose without running anything. The launcher
// profile's scripts and its [Option] section, and the GUI profile's [WindowParameter], each
// diagnostic at its line (see job/profile_check.h for the format and what is found).
#pragma once

#include "app/startup.h"
#include "job/profile_check.h"

namespace AppLayer {

// The report of every file; the exit code of a check is 1 when it holds an error.
JobLayer::JobDiagnostics CheckLauncherFiles(const GuiStartupFiles& files);

// Where a report goes: standard output, the console the program was started from, or a box.
class GuiCheckReport {
 public:
  virtual ~GuiCheckReport() = default;
  virtual void Show(const RawString& report, bool hasErrors) = 0;
};

}  // namespace AppLayer

// Where the launcher shows the few messages it has before any window exists.
// On Windows they are message boxes; the headless build writes them to the console.
#pragma once

#include <memory>

#include "raw/string.h"

namespace AppLayer {

class GuiStartupScreen {
 public:
  virtual ~GuiStartupScreen() = default;
  // A warning the user must acknowledge (a bad start-up profile, a folder that
  // cannot be made, a run that cannot happen).
  virtual void ShowWarning(const RawLayer::RawString& text) = 0;
  // The usage text asked for with "-h".
  virtual void ShowUsage(const RawLayer::RawString& text) = 0;
  // The profile checker's report (lines ending in "\n"): the program's output where there is
  // one to write to, else a box that scrolls.
  virtual void ShowReport(const RawLayer::RawString& text) = 0;
};

// The screen of this platform.
std::unique_ptr<GuiStartupScreen> MakeStartupScreen();

}  // namespace AppLayer

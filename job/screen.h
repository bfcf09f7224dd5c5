// What the script engine needs of a screen, reached through one interface so that the engine
// never includes the widget toolkit: the launcher installs an implementation made of real
// widgets on Windows; without one (the headless build, tests) the console screen is used, which
// writes messages to standard error and reports no key held down.
#pragma once

#include <cstdint>

#include "raw/string.h"

namespace JobLayer {

using RawLayer::RawString;

struct JobRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class JobScreen {
 public:
  virtual ~JobScreen() = default;
  // The information dialog of a script error: the warning icon, the title "Kestrel", the
  // message; placed over the main window when it exists, else within the work area. Returns
  // when the user has closed it.
  virtual void ShowError(const RawString& message) = 0;
  // True when the high bit of the platform's key state of the virtual key is set.
  virtual bool IsKeyDown(int virtualKey) = 0;

  // What a script may ask of the main window: to close (the launcher ends) or to restart the
  // launcher. Posted, so the running script goes on to its end first.
  enum class MainWindowRequest { Close, Restart };
  // Posts the request to JobDialogContext's main window. The console screen has no main window:
  // there it does nothing.
  virtual void PostToMainWindow(MainWindowRequest request) { (void)request; }
};

// The screen in use: the one installed last, else the console screen.
JobScreen& Screen();
// Installs a screen for the rest of the process (not owned; nullptr goes back to the console).
void SetScreen(JobScreen* screen);

// Shared by a run, its dialogs and the main window: the main window (null until it exists) and
// the screen rectangle of the button or selector line that started the current run.
struct JobDialogContext {
  void* mainWindow = nullptr;
  JobRect anchor;

  static JobDialogContext& Instance();
};

}  // namespace JobLayer

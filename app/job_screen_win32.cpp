#include <windows.h>

#include "app/job_screen.h"
#include "win/info_dialog.h"

namespace AppLayer {

namespace {

using JobLayer::JobDialogContext;

class GuiWidgetScreen : public JobLayer::JobScreen {
 public:
  void ShowError(const RawLayer::RawString& message) override {
    WinLayer::WinInfoDialog dialog("Kestrel", message, WinLayer::WinInfoDialog::kWarningIcon);
    (void)dialog.Show(JobDialogContext::Instance().mainWindow);
  }

  // The state as of the message being handled, so a click reads the modifiers held with it;
  // and the keyboard's state now, because a loop polls while no message is being handled (a
  // command-line run has no window whose queue would bring the key state up to date).
  bool IsKeyDown(int virtualKey) override {
    return (GetKeyState(virtualKey) & 0x8000) != 0 || (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
  }

  void PostToMainWindow(MainWindowRequest request) override {
    HWND window = static_cast<HWND>(JobDialogContext::Instance().mainWindow);
    if (window == nullptr) return;
    if (request == MainWindowRequest::Close) {
      PostMessageW(window, WM_CLOSE, 0, 0);
      return;
    }
    // The restart command: notification code 0x1100 with the window's own identifier.
    const WORD id = static_cast<WORD>(GetWindowLongPtrW(window, GWLP_ID));
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0x1100), 0);
  }
};

}  // namespace

JobLayer::JobScreen& GuiJobScreen() {
  static GuiWidgetScreen screen;
  return screen;
}

}  // namespace AppLayer

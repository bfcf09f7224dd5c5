#include <windows.h>

#include "app/job_screen.h"
#include "win/info_dialog.h"
#include "win/input_dialog.h"

namespace AppLayer {

namespace {

using JobLayer::JobDialogContext;

// A script's dialogs stand over the button or line that started the run when there is one, else
// over the main window. A command-line run has no main window: its dialogs are shown all the
// same, in the work area, since the user who started it waits for them.
template <class Dialog>
void PlaceByContext(Dialog& dialog) {
  dialog.SetAnchor(JobDialogContext::Instance().anchor);
}

class GuiWidgetScreen : public JobLayer::JobScreen {
 public:
  void ShowError(const RawLayer::RawString& message) override {
    WinLayer::WinInfoDialog dialog("Kestrel", message, WinLayer::WinInfoDialog::kWarningIcon);
    (void)dialog.Show(JobDialogContext::Instance().mainWindow);
  }

  int32_t Ask(const RawLayer::RawString& question, const std::vector<RawLayer::RawString>& captions) override {
    WinLayer::WinInfoDialog dialog("Kestrel", question, WinLayer::WinInfoDialog::kQuestionIcon);
    dialog.SetCaptions(captions);
    PlaceByContext(dialog);
    const int index = dialog.CaptionIndex(dialog.Show(JobDialogContext::Instance().mainWindow));
    return index >= 0 ? index : kClosed;
  }

  bool Input(const RawLayer::RawString& text, const std::vector<JobLayer::JobInputField>& fields,
             std::vector<RawLayer::RawString>& texts) override {
    std::vector<WinLayer::WinInputDialog::Field> shown;
    shown.reserve(fields.size());
    for (const JobLayer::JobInputField& field : fields) {
      shown.push_back(
          WinLayer::WinInputDialog::Field{field.label, field.initial, field.hints, field.readOnly, field.secret});
    }
    WinLayer::WinInputDialog dialog(text, shown);
    PlaceByContext(dialog);
    return dialog.Show(JobDialogContext::Instance().mainWindow, texts);
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

#include <windows.h>

#include "job/command_process.h"

namespace JobLayer {

namespace {

// Another program may take the foreground back while this one asks for it; after this many
// attempts the window stays where the system put it.
constexpr int kFrontAttempts = 8;

// Joins this thread's input to the foreground window's thread for as long as it lives, so that
// the system lets this thread change the foreground.
class InputAttachment {
 public:
  explicit InputAttachment(DWORD otherThread)
      : self_(GetCurrentThreadId()), other_(otherThread),
        attached_(other_ != 0 && other_ != self_ && AttachThreadInput(self_, other_, TRUE)) {}
  InputAttachment(const InputAttachment&) = delete;
  InputAttachment& operator=(const InputAttachment&) = delete;
  ~InputAttachment() {
    if (attached_) AttachThreadInput(self_, other_, FALSE);
  }

 private:
  DWORD self_;
  DWORD other_;
  bool attached_;
};

}  // namespace

JobWaitEnd WaitForProcessIdle(const RawShell& shell, uint32_t milliseconds) {
  switch (WaitForInputIdle(reinterpret_cast<HANDLE>(shell.ProcessHandle()), milliseconds)) {
    case 0: return JobWaitEnd::Ended;
    case WAIT_TIMEOUT: return JobWaitEnd::TimedOut;
    // A console program has no input queue to wait for.
    default: return JobWaitEnd::Failed;
  }
}

bool PopUpWindow(int32_t handle) {
  // Window handles keep 32 significant bits; on 64-bit systems they are sign-extended.
  HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
  if (window == nullptr || !IsWindow(window)) return false;
  if (IsIconic(window)) {
    ShowWindow(window, SW_SHOWNORMAL);
    return true;
  }
  int attempts = 0;
  do {
    HWND foreground = GetForegroundWindow();
    InputAttachment attachment(foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window);
  } while (GetForegroundWindow() != window && ++attempts < kFrontAttempts);
  return true;
}

}  // namespace JobLayer

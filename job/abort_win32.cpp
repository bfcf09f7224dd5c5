#include <windows.h>

#include <mutex>

#include "job/abort.h"

namespace JobLayer {

namespace {

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // FALSE hands the event to the default handler, which ends the program: the second
  // interrupt, when nobody took the first.
  if (IsAbortRequested()) return FALSE;
  RequestAbort();
  return TRUE;
}

}  // namespace

void InstallAbortHandler() {
  static std::once_flag once;
  // Without a console the handler is never called; installing it is harmless.
  std::call_once(once, [] { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); });
}

}  // namespace JobLayer

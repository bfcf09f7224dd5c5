#include "job/command_process.h"

namespace JobLayer {

// POSIX has no wait for a program's first input: the caller goes on at once.
JobWaitEnd WaitForProcessIdle(const RawShell& shell, uint32_t milliseconds) {
  (void)shell;
  (void)milliseconds;
  return JobWaitEnd::Failed;
}

// There are no windows to name.
bool PopUpWindow(int32_t handle) {
  (void)handle;
  return false;
}

}  // namespace JobLayer

#include <signal.h>

#include <mutex>

#include "job/abort.h"

namespace JobLayer {

namespace {

void OnInterrupt(int signalNumber) {
  if (IsAbortRequested()) {
    // Nobody took the first request: end the way an interrupt ends a program.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
    return;
  }
  RequestAbort();
}

}  // namespace

void InstallAbortHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // A wait that was interrupted goes on; the waiter polls the flag.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
  });
}

}  // namespace JobLayer

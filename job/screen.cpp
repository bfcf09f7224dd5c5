#include "job/screen.h"

#include <atomic>
#include <cstdio>

namespace JobLayer {

namespace {

// Without a window system the message goes to standard error and no key is ever down.
class JobConsoleScreen : public JobScreen {
 public:
  void ShowError(const RawString& message) override {
    const std::string text = message.ToUtf8();
    std::fprintf(stderr, "Kestrel: %s\n", text.c_str());
    std::fflush(stderr);
  }
  bool IsKeyDown(int virtualKey) override {
    (void)virtualKey;
    return false;
  }
};

std::atomic<JobScreen*> g_installed{nullptr};

}  // namespace

JobScreen& Screen() {
  static JobConsoleScreen console;
  JobScreen* installed = g_installed.load(std::memory_order_acquire);
  return installed != nullptr ? *installed : console;
}

void SetScreen(JobScreen* screen) { g_installed.store(screen, std::memory_order_release); }

JobDialogContext& JobDialogContext::Instance() {
  static JobDialogContext context;
  return context;
}

}  // namespace JobLayer

#include <cstdio>

#include "app/screen.h"

namespace AppLayer {

namespace {

// The headless launcher: the usage is the program's output, warnings are diagnostics.
class GuiConsoleScreen : public GuiStartupScreen {
 public:
  void ShowWarning(const RawLayer::RawString& text) override { Print(stderr, text); }
  void ShowUsage(const RawLayer::RawString& text) override { Print(stdout, text); }
  void ShowReport(const RawLayer::RawString& text) override {
    const std::string utf8 = text.ToUtf8();
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
  }

 private:
  static void Print(FILE* stream, const RawLayer::RawString& text) {
    const std::string utf8 = text.ToUtf8();
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
  }
};

}  // namespace

std::unique_ptr<GuiStartupScreen> MakeStartupScreen() { return std::make_unique<GuiConsoleScreen>(); }

}  // namespace AppLayer

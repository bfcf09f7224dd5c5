// The console screen on a real pseudo-terminal: the headless launcher asks there when a person
// sits at its terminal, and not when its input is a pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "job/screen.h"

namespace JobLayer {
namespace {

// The controlling side of a pseudo-terminal and a stream pair on its terminal side.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    const int slave = open(ptsname(master_), O_RDWR | O_NOCTTY);
    if (slave < 0) return;
    in_ = fdopen(slave, "r");
    out_ = fdopen(dup(slave), "w");
  }
  ~PseudoTerminal() {
    if (in_ != nullptr) std::fclose(in_);
    if (out_ != nullptr) std::fclose(out_);
    if (master_ >= 0) close(master_);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool Ready() const { return in_ != nullptr && out_ != nullptr; }
  void Type(const std::string& text) const { ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size())); }
  std::FILE* In() const { return in_; }
  std::FILE* Out() const { return out_; }

 private:
  int master_ = -1;
  std::FILE* in_ = nullptr;
  std::FILE* out_ = nullptr;
};

TEST(ConsoleTerminalTest, APseudoTerminalIsAskedAndAPipeIsNot) {
  PseudoTerminal terminal;
  ASSERT_TRUE(terminal.Ready());
  JobStreamTerminal onTerminal(terminal.In(), terminal.Out());
  JobConsoleScreen screen(onTerminal);
  EXPECT_TRUE(onTerminal.IsAttached());
  terminal.Type("2\n");
  EXPECT_EQ(screen.Ask("Proceed?", {"Yes", "No"}), 1);
  terminal.Type("typed\n\n");
  std::vector<RawString> texts;
  ASSERT_TRUE(screen.Input("Where?", std::vector<JobInputField>(1), texts));
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].ToUtf8(), "typed");

  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(write(ends[1], "1\n", 2), 2);
  close(ends[1]);
  std::FILE* piped = fdopen(ends[0], "r");
  JobStreamTerminal fromPipe(piped, terminal.Out());
  JobConsoleScreen pipedScreen(fromPipe);
  EXPECT_FALSE(fromPipe.IsAttached());
  EXPECT_EQ(pipedScreen.Ask("Proceed?", {"Yes", "No"}), JobScreen::kClosed);
  std::fclose(piped);
}

}  // namespace
}  // namespace JobLayer

// The console screen on a real pseudo-terminal: the headless launcher asks there when a person
// sits at its terminal, and not when its input is a pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "job/screen.h"
#include "raw/system.h"

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
  // What the terminal has written back (its echo included), up to the first `until` (waiting at
  // most 10 s for it to come).
  std::string ShownUntil(const std::string& until) const {
    std::string shown;
    pollfd ready{master_, POLLIN, 0};
    while (shown.find(until) == std::string::npos && poll(&ready, 1, 10000) == 1) {
      char buffer[256];
      const ssize_t got = read(master_, buffer, sizeof buffer);
      if (got <= 0) break;
      shown.append(buffer, static_cast<size_t>(got));
    }
    return shown;
  }
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

// A password typed while echo is off does not come back to the screen; with echo on again, a
// plain line does. The terminal's output arrives in order, so once the plain line's echo is
// there, the password's would have been before it.
TEST(ConsoleTerminalTest, EchoIsOffWhileAPasswordIsTyped) {
  PseudoTerminal terminal;
  ASSERT_TRUE(terminal.Ready());
  JobStreamTerminal onTerminal(terminal.In(), terminal.Out());
  ASSERT_TRUE(RawLayer::SetTerminalEcho(terminal.In(), false));
  terminal.Type("hunter2\n");
  std::string line;
  ASSERT_TRUE(onTerminal.ReadLine(line));
  EXPECT_EQ(line, "hunter2");
  ASSERT_TRUE(RawLayer::SetTerminalEcho(terminal.In(), true));
  terminal.Type("visible\n");
  ASSERT_TRUE(onTerminal.ReadLine(line));
  const std::string shown = terminal.ShownUntil("visible");
  EXPECT_NE(shown.find("visible"), std::string::npos);
  EXPECT_EQ(shown.find("hunter2"), std::string::npos) << shown;

  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::FILE* piped = fdopen(ends[0], "r");
  EXPECT_FALSE(RawLayer::SetTerminalEcho(piped, false));  // a pipe has no echo to turn off
  std::fclose(piped);
  close(ends[1]);
}

}  // namespace
}  // namespace JobLayer

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "job/menu_host.h"

namespace JobLayer {

namespace {

// Questions go to standard error, so that a script's own output on standard output stays clean.
class TerminalConsole : public JobMenuConsole {
 public:
  bool Interactive() override { return isatty(STDIN_FILENO) == 1 && isatty(STDERR_FILENO) == 1; }
  bool ReadLine(std::string& line) override { return static_cast<bool>(std::getline(std::cin, line)); }
  void Write(const std::string& text) override {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  }
};

}  // namespace

JobMenuConsole& SystemMenuConsole() {
  static TerminalConsole console;
  return console;
}

}  // namespace JobLayer

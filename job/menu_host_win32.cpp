#include <windows.h>

#include <cstdio>
#include <iostream>

#include "job/menu_host.h"

namespace JobLayer {

namespace {

// A program of the windows subsystem usually has no console at all; then every menu counts as
// closed. Questions go to standard error, as on other systems.
class TerminalConsole : public JobMenuConsole {
 public:
  bool Interactive() override {
    return IsCharacterDevice(STD_INPUT_HANDLE) && IsCharacterDevice(STD_ERROR_HANDLE);
  }
  bool ReadLine(std::string& line) override { return static_cast<bool>(std::getline(std::cin, line)); }
  void Write(const std::string& text) override {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  }

 private:
  static bool IsCharacterDevice(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR;
  }
};

}  // namespace

JobMenuConsole& SystemMenuConsole() {
  static TerminalConsole console;
  return console;
}

}  // namespace JobLayer

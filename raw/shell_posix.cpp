#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "raw/shell.h"

extern char** environ;

namespace RawLayer {

namespace {

bool IsProgramFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A path names the file itself; a bare name is looked up on PATH. Empty when no program.
std::string FindProgram(const std::string& name) {
  if (name.empty()) return name;
  if (name.find('/') != std::string::npos) return IsProgramFile(name) ? name : std::string();
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t begin = 0;
  for (;;) {
    size_t end = folders.find(':', begin);
    std::string folder = folders.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
    if (IsProgramFile(candidate)) return candidate;
    if (end == std::string::npos) return std::string();
    begin = end + 1;
  }
}

// "scheme:..." with a scheme of two or more characters, so that "C:" stays a path.
bool IsUrl(const std::string& text) {
  size_t colon = text.find(':');
  if (colon == std::string::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    char c = text[i];
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) return false;
  }
  return true;
}

// Blanks separate arguments except inside double quotes; the quotes themselves are dropped,
// and a pair of quotes alone makes an empty argument.
std::vector<std::string> SplitArguments(const std::string& text) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      inArgument = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}

class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  posix_spawn_file_actions_t* Get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

uint32_t StatusCode(int status) {
  if (WIFEXITED(status)) return static_cast<uint32_t>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 128u + static_cast<uint32_t>(WTERMSIG(status));
  return kStillRunning;
}

}  // namespace

bool RawShell::Execute(const RawString& parameters, const RawString& verb) {
  (void)verb;
  CloseProcess();
  const bool parametersAreFile = file_.IsEmpty();
  std::string file = (parametersAreFile ? parameters : file_).ToUtf8();
  std::vector<std::string> arguments;
  std::string program = FindProgram(file);
  if (!program.empty()) {
    arguments.push_back(file);
    if (!parametersAreFile) {
      for (std::string& argument : SplitArguments(parameters.ToUtf8())) arguments.push_back(std::move(argument));
    }
  } else {
    struct stat info;
    if (file.empty() || (::stat(file.c_str(), &info) != 0 && !IsUrl(file))) return false;
    program = FindProgram("xdg-open");
    if (program.empty()) return false;
    arguments = {"xdg-open", file};
  }

  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  SpawnActions actions;
  std::string folder = workingFolder_.ToUtf8();
  if (!folder.empty() && posix_spawn_file_actions_addchdir_np(actions.Get(), folder.c_str()) != 0) return false;
  pid_t child = 0;
  // glibc reports a failed exec (or chdir) as the result here, not as a child that exits.
  if (posix_spawn(&child, program.c_str(), actions.Get(), nullptr, argv.data(), environ) != 0) return false;
  handle_ = child;
  processId_ = static_cast<uint32_t>(child);
  ended_ = false;
  return true;
}

RawShell::WaitResult RawShell::Wait(uint32_t milliseconds) {
  uint32_t code = 0;
  if (!ExitCode(code)) return WaitFailed;
  if (ended_) return WaitEnded;
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    // Short naps keep the answer prompt without a signal handler for SIGCHLD.
    timespec nap{0, 2000000};
    nanosleep(&nap, nullptr);
    if (!ExitCode(code)) return WaitFailed;
    if (ended_) return WaitEnded;
    if (milliseconds == kWaitForever) continue;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    int64_t elapsed = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (elapsed >= static_cast<int64_t>(milliseconds)) return WaitTimedOut;
  }
}

RawShell::WaitResult RawShell::WaitForIdle(uint32_t milliseconds) {
  (void)milliseconds;
  return WaitFailed;
}

bool RawShell::ExitCode(uint32_t& code) {
  if (handle_ == 0) return false;
  if (!ended_) {
    int status = 0;
    pid_t got = waitpid(static_cast<pid_t>(handle_), &status, WNOHANG);
    if (got < 0) return false;
    if (got != 0) {
      ended_ = true;
      exitCode_ = StatusCode(status);
    }
  }
  code = ended_ ? exitCode_ : kStillRunning;
  return true;
}

void RawShell::CloseProcess() {
  // A child that has ended is reaped here; one still running is left to run, and
  // the system reaps it when this program ends.
  if (handle_ != 0 && !ended_) waitpid(static_cast<pid_t>(handle_), nullptr, WNOHANG);
  handle_ = 0;
  processId_ = 0;
  ended_ = false;
  exitCode_ = 0;
}

}  // namespace RawLayer

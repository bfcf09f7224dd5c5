#include "raw/shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

namespace RawLayer {
namespace {

namespace fs = std::filesystem;

RawString Utf8(const std::string& text) { return RawString::FromUtf8(text); }

struct StartRow {
  const char* file;
  const char* parameters;
  uint32_t exitCode;
};

// Commands of the platform's shell whose exit codes prove what the program got.
#ifdef _WIN32
const StartRow kStartRows[] = {
    {"cmd.exe", "/c exit 7", 7},
    {"cmd.exe", "/c exit -1", 4294967295u},
    {"", "hostname.exe", 0},  // an empty file: the parameters name the program
};
const StartRow kInFolder = {"cmd.exe", "/c if exist marker.txt (exit 5) else exit 6", 5};
const StartRow kLongRunning = {"notepad.exe", "", 0};
void EndProcess(const RawShell& shell) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, shell.ProcessId());
  if (process == nullptr) return;
  TerminateProcess(process, 1);
  CloseHandle(process);
}
#else
const StartRow kStartRows[] = {
    {"sh", "-c \"exit 7\"", 7},
    {"/bin/sh", "-c \"exit 255\"", 255},
    {"sh", "-c \"kill -9 $$\"", 128 + 9},  // ended by a signal
    {"sh", "-c \"exit $#\" zero a \"b c\" \"\"  d", 4},  // quotes group blanks; "" is an argument
    {"sh", "-c \"exit ${#1}\" zero \"x  y\"", 4},  // the blanks inside quotes are kept
    {"", "true", 0},  // an empty file: the parameters name the program
    {"", "false", 1},
};
const StartRow kInFolder = {"sh", "-c \"test -f marker.txt && exit 5 || exit 6\"", 5};
const StartRow kLongRunning = {"sleep", "60", 0};
void EndProcess(const RawShell& shell) { kill(static_cast<pid_t>(shell.ProcessId()), SIGKILL); }
#endif

TEST(ShowState, NamesCompareExactly) {
  const std::pair<const char*, int32_t> rows[] = {
      {"Normal", 1}, {"Maximize", 3}, {"Minimize", 6}, {"Hide", 0},
      {"maximize", 1}, {"HIDE", 1}, {"", 1}, {"Maximized", 1}, {"Unknown", 1},
  };
  for (const auto& [name, command] : rows) EXPECT_EQ(ShowStateOf(Utf8(name)), command) << name;
}

TEST(Shell, StartsAProgramAndReadsItsExitCode) {
  for (const StartRow& row : kStartRows) {
    RawShell shell(Utf8(row.file));
    ASSERT_TRUE(shell.Execute(Utf8(row.parameters), RawString())) << row.file << " " << row.parameters;
    EXPECT_TRUE(shell.HasProcess());
    EXPECT_NE(shell.ProcessId(), 0u);
    ASSERT_EQ(shell.Wait(kWaitForever), RawShell::WaitEnded);
    uint32_t code = 0;
    ASSERT_TRUE(shell.ExitCode(code));
    EXPECT_EQ(code, row.exitCode) << row.file << " " << row.parameters;
    EXPECT_EQ(shell.Wait(0), RawShell::WaitEnded) << "an ended process stays ended";
  }
}

TEST(Shell, RunsInTheWorkingFolder) {
  const fs::path dir = fs::path(KESTREL_TEST_TMP_DIR) / "shell-folder";
  fs::create_directories(dir);
  std::ofstream(dir / "marker.txt") << "here";
  RawShell shell(Utf8(kInFolder.file));
  shell.SetWorkingFolder(Utf8(dir.string()));
  ASSERT_TRUE(shell.Execute(Utf8(kInFolder.parameters), RawString()));
  ASSERT_EQ(shell.Wait(kWaitForever), RawShell::WaitEnded);
  uint32_t code = 0;
  ASSERT_TRUE(shell.ExitCode(code));
  EXPECT_EQ(code, kInFolder.exitCode);
  // Wine may still hold the ended program's working folder for a moment: leave it in the scratch folder.
}

TEST(Shell, ARunningProcessReportsStillRunning) {
  RawShell shell(Utf8(kLongRunning.file));
  shell.SetShowState(ShowStateOf("Minimize"));
  ASSERT_TRUE(shell.Execute(Utf8(kLongRunning.parameters), RawString()));
  uint32_t code = 0;
  ASSERT_TRUE(shell.ExitCode(code));
  EXPECT_EQ(code, kStillRunning);
  EXPECT_EQ(shell.Wait(0), RawShell::WaitTimedOut);
  EndProcess(shell);
  ASSERT_EQ(shell.Wait(kWaitForever), RawShell::WaitEnded);
  ASSERT_TRUE(shell.ExitCode(code));
  EXPECT_NE(code, kStillRunning);
}

TEST(Shell, FailsQuietlyWithoutAProcess) {
  const std::string missing = (fs::path(KESTREL_TEST_TMP_DIR) / "no-such-file.kestrel-missing").string();
  const std::pair<const char*, std::string> rows[] = {
      {"missing document", missing},
      {"missing program", "no-such-program-kestrel.exe"},
      {"empty file and parameters", ""},
  };
  for (const auto& [what, file] : rows) {
    RawShell shell(Utf8(file));
    EXPECT_FALSE(shell.Execute(RawString(), RawString())) << what;
    EXPECT_FALSE(shell.HasProcess()) << what;
    EXPECT_EQ(shell.ProcessId(), 0u) << what;
    uint32_t code = 0;
    EXPECT_FALSE(shell.ExitCode(code)) << what;
    EXPECT_EQ(shell.Wait(0), RawShell::WaitFailed) << what;
  }
}

TEST(Shell, ANewStartLetsGoOfTheLastProcess) {
  RawShell shell(Utf8(kStartRows[0].file));
  ASSERT_TRUE(shell.Execute(Utf8(kStartRows[0].parameters), RawString()));
  const uint32_t first = shell.ProcessId();
  ASSERT_EQ(shell.Wait(kWaitForever), RawShell::WaitEnded);
  ASSERT_TRUE(shell.Execute(Utf8(kStartRows[0].parameters), RawString()));
  EXPECT_NE(shell.ProcessId(), first);
  ASSERT_EQ(shell.Wait(kWaitForever), RawShell::WaitEnded);
  uint32_t code = 0;
  ASSERT_TRUE(shell.ExitCode(code));
  EXPECT_EQ(code, kStartRows[0].exitCode);
}

}  // namespace
}  // namespace RawLayer

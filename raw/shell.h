// Starting programs, documents, folders and URLs, and the process that a start
// gives back. Waiting and reporting are the callers' business; RawShell only
// keeps the process so that they can.
#pragma once

#include <cstdint>

#include "raw/string.h"

namespace RawLayer {

// Win32 show commands by name ("Normal" 1, "Maximize" 3, "Minimize" 6, "Hide" 0),
// compared exactly, case included; 1 for any other name.
int32_t ShowStateOf(const RawString& name);

// The exit code a process reports while it is still running (STILL_ACTIVE).
inline constexpr uint32_t kStillRunning = 259;
// A wait without a time limit.
inline constexpr uint32_t kWaitForever = 0xFFFFFFFF;

class RawShell {
 public:
  enum WaitResult { WaitEnded, WaitTimedOut, WaitFailed };

  // `file`: the program, document, folder or URL to open.
  explicit RawShell(const RawString& file);
  RawShell(const RawShell&) = delete;
  RawShell& operator=(const RawShell&) = delete;
  virtual ~RawShell();

  void SetWorkingFolder(const RawString& folder) { workingFolder_ = folder; }  // empty: inherit
  void SetShowState(int32_t showState) { showState_ = showState; }

  // Starts the file with `parameters` and `verb` (empty: the default verb). An
  // empty file makes the parameters the file, started without parameters. True
  // when the system accepted the request; the process handle is there only when
  // a new process came of it (a document handed to a program that was already
  // running has none, and nothing to wait for). Never shows a message.
  //
  // Windows: ShellExecuteEx. POSIX: a file that names a program (a path, or a
  // name found on PATH, that may be executed) is started with the parameters
  // split into arguments, blanks separating them unless inside double quotes;
  // an existing document or folder, or a URL, goes to xdg-open when it is
  // installed. The show state and the verb have no meaning there.
  [[nodiscard]] virtual bool Execute(const RawString& parameters, const RawString& verb);

  // Whether the last start gave a process to wait for, and its id (0 when none).
  bool HasProcess() const { return handle_ != 0; }
  uint32_t ProcessId() const { return processId_; }

  // Waits up to `milliseconds` (kWaitForever: no limit) for the process to end.
  [[nodiscard]] WaitResult Wait(uint32_t milliseconds);
  // Waits up to `milliseconds` until the process waits for user input. WaitFailed when the
  // system cannot tell: a console program has no input queue, and POSIX has no such wait.
  [[nodiscard]] WaitResult WaitForIdle(uint32_t milliseconds);
  // The exit code, kStillRunning while the process runs (on Windows also when it
  // returned 259 itself). False when there is no process. On POSIX a process
  // ended by a signal reports 128 plus the signal number.
  [[nodiscard]] bool ExitCode(uint32_t& code);

 private:
  // Lets go of the process of the last start (POSIX: reaps it if it has ended).
  void CloseProcess();

  intptr_t handle_ = 0;
  uint32_t processId_ = 0;
  // POSIX: the exit code once the child has been reaped.
  bool ended_ = false;
  uint32_t exitCode_ = 0;
  RawString file_;
  RawString workingFolder_;
  int32_t showState_ = 1;
};

}  // namespace RawLayer
